#include "app/connection.h"

#include "app/file_menu.h"
#include "app/main_window.h"
#include "lang/texts.h"
#include "link/link_thread.h"
#include "link/port_list.h"
#include "link/power_watcher.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QUrl>

namespace quenda {

ConnectionControl::ConnectionControl(TfrmQuenda& window) : QObject(&window), w_(window) {
    if (auto* m = w_.findChild<QMenu*>(QStringLiteral("mnuConnectionMenu")))
        connect(m, &QMenu::aboutToShow, this, &ConnectionControl::mnuConnectionClick);
    connectMenu_ = w_.findChild<QMenu*>(QStringLiteral("mnuConnectMenu"));
    if (auto* a = w_.findChild<QAction*>(QStringLiteral("mnuDisconnect")))
        connect(a, &QAction::triggered, this, &ConnectionControl::mnuDisconnectClick);
    for (const char* item : {"mnuHardware", "mnuSoftware", "mnuFAQ"})
        if (auto* a = w_.findChild<QAction*>(QString::fromLatin1(item)))
            connect(a, &QAction::triggered, this, &ConnectionControl::mnuHelpPageClick);

    if (w_.options().watchSystem) {
        PortArrivalWatcher::Options o;
        o.enumerate = w_.options().enumeratePorts;
        arrivals_ = new PortArrivalWatcher(o, this);
        connect(arrivals_, &PortArrivalWatcher::portsArrived, this, &ConnectionControl::portsArrived);
        power_ = new SuspendWatcher(this);
        connect(power_, &SuspendWatcher::suspending, this, &ConnectionControl::systemSuspending);
        connect(power_, &SuspendWatcher::resuming, this, &ConnectionControl::systemResuming);
    }
}

void ConnectionControl::ListSerialPorts() {
    quenda::ListSerialPorts(w_.portList(), [this](const QString& t) { w_.AddLog(t); }, w_.options().enumeratePorts);
}

void ConnectionControl::LoadLastPort() {
    QString port = w_.portName();
    if (quenda::LoadLastPort(port, [this](const QString& t) { w_.AddLog(t); })) w_.setPortName(port);
}

void ConnectionControl::SaveLastPort() {
    if (w_.portName().isEmpty()) return;
    quenda::SaveLastPort(w_.portName(), [this](const QString& t) { w_.AddLog(t); });
}

void ConnectionControl::ForgetLastPort() { quenda::ForgetLastPort(); }

void ConnectionControl::WriteBackup() {
    if (w_.fileMenu()) w_.fileMenu()->WriteBackup(w_.portName());
}

void ConnectionControl::mnuConnectionClick() {
    const bool running = w_.linkRunning();
    if (!running) w_.setPortName(QString());
    ListSerialPorts();
    if (connectMenu_) {
        connectMenu_->clear();
        const QStringList& list = w_.portList();
        for (int i = 0; i < list.size(); ++i) {
            QAction* a = connectMenu_->addAction(list[i]);
            a->setData(i);
            a->setCheckable(true);
            a->setChecked(list[i] == w_.portName());
            connect(a, &QAction::triggered, this, &ConnectionControl::mnuPortClick);
        }
        connectMenu_->menuAction()->setEnabled(!list.isEmpty());
    }
    if (auto* a = w_.findChild<QAction*>(QStringLiteral("mnuDisconnect"))) a->setEnabled(running);
}

void ConnectionControl::mnuPortClick() {
    auto* a = qobject_cast<QAction*>(sender());
    if (!a) return;
    const int i = a->data().toInt();
    if (i < 0 || i >= w_.portList().size()) return;
    const QString entry = w_.portList()[i];
    if (entry == w_.portName()) return;
    if (entry.isEmpty()) {
        w_.StopLink();
        return;
    }
    WriteBackup();
    w_.setPortName(entry);
    if (w_.linkRunning()) {
        w_.link()->SetPortName(entry, w_.debugMessages());
        return;
    }
    w_.StopLink();
    w_.startLink();
}

void ConnectionControl::mnuDisconnectClick() {
    w_.StopLink();
    w_.setPortName(QString());
    ForgetLastPort();
}

void ConnectionControl::memDblClick() {
    if (w_.linkRunning()) return;
    ListSerialPorts();
    w_.setPortName(QString());
    LoadLastPort();
    const QStringList& list = w_.portList();
    if (list.isEmpty()) return;
    if (!list.contains(w_.portName())) {
        w_.setPortName(list.last());
        w_.AddLog(QStringLiteral("Most recently added: ") + list.last());
    }
    w_.startLink();
}

void ConnectionControl::portsArrived(const QStringList& entries) {
    if (w_.debugMessages()) w_.AddLog(QStringLiteral("New ports: ") + entries.join(QStringLiteral(", ")));
    if (w_.linkRunning()) return;
    ListSerialPorts();
    if (w_.portList().isEmpty()) return;
    w_.setPortName(w_.portList().last());
    w_.AddLog(QStringLiteral("New serial port detected: ") + w_.portName());
    w_.startLink();
}

void ConnectionControl::systemSuspending() {
    w_.AddLog(Msg(QStringLiteral("SystemSuspending")));
    w_.StopLink();
}

void ConnectionControl::systemResuming() {
    w_.AddLog(Msg(QStringLiteral("SystemResuming")));
    if (!w_.portName().isEmpty()) w_.startLink();
}

QString ConnectionControl::helpPage(const QString& item) const {
    const auto* lang = w_.findChild<QComboBox*>(QStringLiteral("cmbLanguage"));
    const bool german = lang ? lang->currentIndex() == 1 : ActiveLanguage() == 1;
    QString name = item == QLatin1String("mnuHardware")   ? QStringLiteral("hardware")
                   : item == QLatin1String("mnuSoftware") ? QStringLiteral("software")
                                                          : QStringLiteral("faq");
    name += german ? QStringLiteral("-de.html") : QStringLiteral("-en.html");
    // Beside the program in a build, under share/ when installed; a source checkout keeps
    // them in resources/help.
    for (const QString& dir : {QCoreApplication::applicationDirPath() + QStringLiteral("/help"),
                               QCoreApplication::applicationDirPath() + QStringLiteral("/../share/quenda/help"),
                               QStringLiteral(QUENDA_SOURCE_DIR "/resources/help")}) {
        const QFileInfo fi(QDir(dir).filePath(name));
        if (fi.exists()) return QUrl::fromLocalFile(fi.absoluteFilePath()).toString();
    }
    return QString();
}

void ConnectionControl::mnuHelpPageClick() {
    auto* a = qobject_cast<QAction*>(sender());
    if (!a) return;
    const QString url = helpPage(a->objectName());
    if (url.isEmpty()) {
        w_.AddLog(QStringLiteral("Help page not found: ") + a->objectName());
        return;
    }
    QDesktopServices::openUrl(QUrl(url));
}

} // namespace quenda
