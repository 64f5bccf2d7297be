#include "pages/services.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileDialog>
#include <QInputDialog>
#include <QVariantMap>

namespace quenda {

bool Dialogs::askYesNo(QWidget* parent, const QString& caption, const QString& text) {
    return QMessageBox::warning(parent, caption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

QString Dialogs::openFileName(QWidget* parent, const QString& title, const QString& dir, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, title, dir, filter);
}

void Dialogs::about(QWidget* parent, const QString& caption, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Information, caption, text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

QString Dialogs::askText(QWidget* parent, const QString& caption, const QString& label, const QStringList& offered) {
    bool ok = false;
    const QString text = QInputDialog::getItem(parent, caption, label, offered, 0, true, &ok);
    return ok ? text : QString();
}

QString Dialogs::saveFileName(QWidget* parent, const QString& title, const QString& dir, const QString& filter,
                              const QString& defaultSuffix) {
    QFileDialog d(parent, title, dir, filter);
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setFileMode(QFileDialog::AnyFile);
    d.setDefaultSuffix(defaultSuffix); // the overwrite question then names the full file
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return QString();
    return d.selectedFiles().constFirst();
}

namespace {

// Docks and panels on Linux show progress for a launcher entry announced on the
// session bus; without a bus there is no service.
class LauncherEntryProgress : public TaskbarProgress {
public:
    void setProgress(uint64_t completed, uint64_t total) override {
        progress_ = total ? double(completed) / double(total) : 0.0;
        send();
    }
    void setState(State s) override {
        state_ = s;
        send();
    }

private:
    void send() {
        QDBusMessage m = QDBusMessage::createSignal(QStringLiteral("/com/canonical/unity/launcherentry/quenda"),
                                                    QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                    QStringLiteral("Update"));
        QVariantMap props;
        props.insert(QStringLiteral("progress"), progress_);
        props.insert(QStringLiteral("progress-visible"), true);
        props.insert(QStringLiteral("urgent"), state_ == State::Error);
        m << QStringLiteral("application://quenda.desktop") << props;
        QDBusConnection::sessionBus().send(m);
    }
    double progress_ = 0;
    State state_ = State::Normal;
};

} // namespace

std::unique_ptr<TaskbarProgress> createTaskbarProgress() {
    if (!QDBusConnection::sessionBus().isConnected()) return nullptr;
    return std::make_unique<LauncherEntryProgress>();
}

} // namespace quenda
