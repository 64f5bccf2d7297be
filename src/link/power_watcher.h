// Notice of the machine going to standby and coming back, from the login manager's
// PrepareForSleep signal on the system bus.
//
// While it runs, the watcher holds a "delay" sleep inhibitor, so the system waits
// (for a bounded time the login manager decides) until the suspending() receivers
// have run: the window stops the link and writes its backup there. The lock is
// released right after them and taken again on resume. Without a system bus or a
// login manager the watcher stays silent.
#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>

namespace quenda {

class SuspendWatcher : public QObject {
    Q_OBJECT
public:
    explicit SuspendWatcher(QObject* parent = nullptr); // the system bus
    SuspendWatcher(const QDBusConnection& bus, QObject* parent = nullptr);

    // The bus is reachable and the signal subscribed.
    bool available() const { return available_; }
    // A delay inhibitor is held.
    bool holdsDelayLock() const { return lock_.isValid(); }

signals:
    void suspending();
    void resuming();
    // A delay inhibitor was granted (after start and after every resume).
    void delayLockTaken();

private slots:
    void onPrepareForSleep(bool start);

private:
    void takeDelayLock();

    QDBusConnection bus_;
    QDBusUnixFileDescriptor lock_;
    bool available_ = false;
};

} // namespace quenda
