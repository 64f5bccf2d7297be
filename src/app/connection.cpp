#include "app/connection.h"

#include "app/bluetooth_control.h"
#include "app/file_menu.h"
#include "app/command_line.h"
#include "app/demo_device.h"
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
#include <QSettings>
#include <QUrl>

namespace quenda {

namespace {
constexpr int kTypedPortsKept = 5;

// Apart from the remembered port, which Disconnect deletes with its whole key.
QSettings typedPortSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(kSettingsOrganization),
                     QStringLiteral("quenda"));
}

bool isPath(const QString& portText) { return TthdCom::PortNameOf(portText).contains(QLatin1Char('/')); }
} // namespace

ConnectionControl::ConnectionControl(TfrmQuenda& window) : QObject(&window), w_(window) {
    if (auto* m = w_.findChild<QMenu*>(QStringLiteral("mnuConnectionMenu")))
        connect(m, &QMenu::aboutToShow, this, &ConnectionControl::mnuConnectionClick);
    connectMenu_ = w_.findChild<QMenu*>(QStringLiteral("mnuConnectMenu"));
    if (auto* a = w_.findChild<QAction*>(QStringLiteral("mnuDisconnect")))
        connect(a, &QAction::triggered, this, &ConnectionControl::mnuDisconnectClick);
    if (auto* m = w_.findChild<QMenu*>(QStringLiteral("mnuConnectionMenu"))) {
        demoAction_ = m->addAction(Msg(QStringLiteral("DemoDevice")));
        demoAction_->setObjectName(QStringLiteral("mnuDemoDevice"));
        connect(demoAction_, &QAction::triggered, this, &ConnectionControl::mnuDemoDeviceClick);
    }
    for (const char* item : {"mnuHardware", "mnuSoftware", "mnuFAQ"})
        if (auto* a = w_.findChild<QAction*>(QString::fromLatin1(item)))
            connect(a, &QAction::triggered, this, &ConnectionControl::mnuHelpPageClick);

    arrivalOrder_ = enumerate();
    if (w_.options().watchSystem) {
        PortArrivalWatcher::Options o;
        // A typed path that exists again counts as an arrival too.
        o.enumerate = [this] {
            QStringList now = enumerate();
            const QString port = TthdCom::PortNameOf(w_.portName());
            if (isPath(port) && QFileInfo::exists(port)) now << port;
            return now;
        };
        arrivals_ = new PortArrivalWatcher(o, this);
        connect(arrivals_, &PortArrivalWatcher::portsArrived, this, &ConnectionControl::portsArrived);
        // A controller just paired and made reachable arrives like a plugged-in adapter.
        if (w_.bluetooth())
            connect(w_.bluetooth(), &BluetoothControl::portsChanged, arrivals_, &PortArrivalWatcher::rescan);
        power_ = new SuspendWatcher(this);
        connect(power_, &SuspendWatcher::suspending, this, &ConnectionControl::systemSuspending);
        connect(power_, &SuspendWatcher::resuming, this, &ConnectionControl::systemResuming);
    }
}

ConnectionControl::~ConnectionControl() = default;

QStringList ConnectionControl::enumerate() const {
    if (w_.options().enumeratePorts) return w_.options().enumeratePorts();
    // The system's serial ports, then the reachable Bluetooth controllers.
    QStringList entries = SerialPortEntries();
    if (w_.bluetooth()) entries += w_.bluetooth()->portEntries();
    return entries;
}

void ConnectionControl::ListSerialPorts() {
    quenda::ListSerialPorts(w_.portList(), [this](const QString& t) { w_.AddLog(t); }, [this] { return enumerate(); });
    w_.portList() = InArrivalOrder(arrivalOrder_, w_.portList());
    arrivalOrder_ = w_.portList();
}

bool ConnectionControl::demoActive() const { return demo_ && demo_->isEntry(w_.portName()); }

QString ConnectionControl::present(const QString& portText) const {
    const QString name = TthdCom::PortNameOf(portText);
    if (name.isEmpty()) return QString();
    for (const QString& e : w_.portList())
        if (TthdCom::PortNameOf(e) == name) return e;
    return isPath(name) && QFileInfo::exists(name) ? portText : QString();
}

void ConnectionControl::startAtLaunch(bool demoAsked) {
    if (demoAsked || w_.portName() == QLatin1String(DemoDevice::kRememberedName)) {
        mnuDemoDeviceClick();
        return;
    }
    if (!w_.portName().isEmpty()) {
        w_.startLink();
        return;
    }
    if (!w_.options().demoWhenIdle) return;
    ListSerialPorts();
    if (!NewestChoosablePort(w_.portList()).isEmpty()) return;
    w_.AddLog(Msg(QStringLiteral("NoHardwareStartingDemo")));
    mnuDemoDeviceClick();
}

void ConnectionControl::LoadLastPort() {
    QString port = w_.portName();
    if (quenda::LoadLastPort(port, [this](const QString& t) { w_.AddLog(t); })) w_.setPortName(port);
}

void ConnectionControl::SaveLastPort() {
    if (w_.portName().isEmpty()) return;
    // The demo's terminal path changes with every start; remember the device instead.
    const QString port = demoActive() ? QString::fromLatin1(DemoDevice::kRememberedName) : w_.portName();
    quenda::SaveLastPort(port, [this](const QString& t) { w_.AddLog(t); });
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
        if (!list.isEmpty()) connectMenu_->addSeparator();
        otherAction_ = connectMenu_->addAction(Msg(QStringLiteral("OtherPort")));
        otherAction_->setObjectName(QStringLiteral("mnuOtherPort"));
        connect(otherAction_, &QAction::triggered, this, &ConnectionControl::mnuOtherPortClick);
    }
    if (auto* a = w_.findChild<QAction*>(QStringLiteral("mnuDisconnect"))) a->setEnabled(running);
    if (demoAction_) {
        demoAction_->setText(Msg(QStringLiteral("DemoDevice"))); // the language may have changed
        demoAction_->setCheckable(true);
        demoAction_->setChecked(running && demoActive());
    }
}

void ConnectionControl::connectTo(const QString& entry) {
    userStopped_ = false;
    if (entry == w_.portName() && w_.linkRunning()) return;
    WriteBackup();
    w_.setPortName(entry);
    w_.setStatusNote(demoActive() ? Msg(QStringLiteral("DemoDevice")) : QString());
    if (w_.linkRunning() && w_.link()) {
        w_.link()->SetPortName(entry, w_.debugMessages());
        return;
    }
    w_.StopLink();
    w_.startLink();
}

void ConnectionControl::mnuDemoDeviceClick() {
    if (!demo_) demo_ = std::make_unique<DemoDevice>();
    QString error;
    if (!demo_->start(&error)) {
        w_.AddLog(MsgFmt(QStringLiteral("DemoDeviceFailed"), {error}));
        return;
    }
    connectTo(demo_->entry());
}

QStringList ConnectionControl::typedPorts() {
    return typedPortSettings().value(QStringLiteral("TypedPorts")).toStringList();
}

void ConnectionControl::mnuOtherPortClick() {
    QString caption = Msg(QStringLiteral("OtherPort"));
    caption.remove(QStringLiteral("..."));
    const QString typed =
        w_.dialogs().askText(&w_, caption, Msg(QStringLiteral("OtherPortPrompt")), typedPorts()).trimmed();
    if (typed.isEmpty()) return;
    const QString port = normalisePortName(typed);
    QStringList recent = typedPorts();
    recent.removeAll(port);
    recent.prepend(port);
    QSettings settings = typedPortSettings();
    settings.setValue(QStringLiteral("TypedPorts"), QStringList(recent.mid(0, kTypedPortsKept)));
    connectTo(port);
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
    connectTo(entry);
}

void ConnectionControl::mnuDisconnectClick() {
    userStopped_ = true;
    w_.StopLink();
    w_.setPortName(QString());
    ForgetLastPort();
}

void ConnectionControl::memDblClick() {
    if (w_.linkRunning()) return;
    ListSerialPorts();
    w_.setPortName(QString());
    LoadLastPort();
    if (w_.portName() == QLatin1String(DemoDevice::kRememberedName)) {
        mnuDemoDeviceClick();
        return;
    }
    const QString remembered = present(w_.portName());
    if (!remembered.isEmpty()) {
        connectTo(remembered);
        return;
    }
    const QString newest = NewestChoosablePort(w_.portList());
    if (newest.isEmpty()) {
        w_.AddLog(Msg(QStringLiteral("NoPortToChoose")));
        return;
    }
    w_.AddLog(QStringLiteral("Most recently added: ") + newest);
    connectTo(newest);
}

void ConnectionControl::portsArrived(const QStringList& entries) {
    if (w_.debugMessages()) w_.AddLog(QStringLiteral("New ports: ") + entries.join(QStringLiteral(", ")));
    if (w_.linkRunning() || userStopped_) return;
    ListSerialPorts();
    // The port the tool was on (or remembers) is back: take it again.
    QString wanted = w_.portName();
    if (wanted.isEmpty()) quenda::LoadLastPort(wanted, {});
    if (wanted != QLatin1String(DemoDevice::kRememberedName) && !(demo_ && demo_->isEntry(wanted))) {
        const QString back = present(wanted);
        if (!back.isEmpty()) {
            w_.AddLog(MsgFmt(QStringLiteral("PortIsBack"), {back}));
            w_.setPortName(back);
            w_.setStatusNote(QString());
            w_.startLink();
            return;
        }
    }
    const QString newest = NewestChoosablePort(w_.portList());
    if (newest.isEmpty() || !entries.contains(newest)) return;
    w_.setPortName(newest);
    w_.setStatusNote(QString());
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
    if (!QDesktopServices::openUrl(QUrl(url))) w_.AddLog(MsgFmt(QStringLiteral("NoBrowser"), {url}));
}

} // namespace quenda
