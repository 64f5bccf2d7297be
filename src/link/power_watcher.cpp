#include "link/power_watcher.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace quenda {

namespace {
const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
} // namespace

SuspendWatcher::SuspendWatcher(QObject* parent) : SuspendWatcher(QDBusConnection::systemBus(), parent) {}

SuspendWatcher::SuspendWatcher(const QDBusConnection& bus, QObject* parent) : QObject(parent), bus_(bus) {
    if (!bus_.isConnected()) return;
    available_ = bus_.connect(kService, kPath, kManager, QStringLiteral("PrepareForSleep"), this,
                              SLOT(onPrepareForSleep(bool)));
    if (available_) takeDelayLock();
}

void SuspendWatcher::takeDelayLock() {
    if (lock_.isValid()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kManager, QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Drevanilux")
         << QStringLiteral("Closing the serial link and saving a backup") << QStringLiteral("delay");
    // Asynchronous: the window's thread does not wait for the bus.
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
        w->deleteLater();
        if (reply.isError() || !reply.value().isValid()) return; // no login manager: no delay
        lock_ = reply.value();
        emit delayLockTaken();
    });
}

void SuspendWatcher::onPrepareForSleep(bool start) {
    if (start) {
        emit suspending();
        lock_ = QDBusUnixFileDescriptor(); // closing our copy lets the system go on
    } else {
        emit resuming();
        takeDelayLock();
    }
}

} // namespace quenda
