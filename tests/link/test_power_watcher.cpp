// The suspend/resume notice against a stand-in login manager on a private bus: the
// delay inhibitor is taken, held until the suspending() receivers ran, released, and
// taken again on resume.
#include "link/power_watcher.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using namespace quenda;

namespace {

// Hands out one pipe end per inhibitor; the pipe reads end-of-file once every copy
// of that end was closed, which is how the real manager sees a released lock.
class FakeLoginManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    ~FakeLoginManager() override {
        for (int fd : readEnds)
            ::close(fd);
    }
    QList<int> readEnds;
    QStringList modes;

    // True once the inhibitor with this index was released.
    bool released(int i) const {
        pollfd p{readEnds[i], POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0) return false;
        char c;
        return ::read(readEnds[i], &c, 1) == 0;
    }

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode) {
        Q_UNUSED(what);
        Q_UNUSED(who);
        Q_UNUSED(why);
        modes << mode;
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return {};
        readEnds << fds[0];
        QDBusUnixFileDescriptor out(fds[1]); // keeps its own copy
        ::close(fds[1]);
        return out;
    }
};

} // namespace

class TestPowerWatcher : public QObject {
    Q_OBJECT
    QProcess daemon_;
    QString address_;

private slots:
    void initTestCase() {
        const QString exe = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (exe.isEmpty()) QSKIP("dbus-daemon is not installed");
        daemon_.start(exe, {"--session", "--nofork", "--nopidfile", "--print-address=1"});
        QVERIFY(daemon_.waitForStarted(5000));
        QVERIFY(daemon_.waitForReadyRead(5000));
        address_ = QString::fromLocal8Bit(daemon_.readLine()).trimmed();
        QVERIFY(!address_.isEmpty());
    }
    void cleanupTestCase() {
        if (daemon_.state() != QProcess::NotRunning) {
            daemon_.terminate();
            daemon_.waitForFinished(3000);
        }
    }

    void noBusMeansSilent() {
        SuspendWatcher w(QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                                       QStringLiteral("nobus")));
        QVERIFY(!w.available());
        QVERIFY(!w.holdsDelayLock());
    }

    void delayLockAroundSuspend() {
        QDBusConnection service = QDBusConnection::connectToBus(address_, QStringLiteral("login"));
        QVERIFY(service.isConnected());
        FakeLoginManager manager;
        QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/login1"), &manager,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(QStringLiteral("org.freedesktop.login1")));

        QDBusConnection client = QDBusConnection::connectToBus(address_, QStringLiteral("client"));
        SuspendWatcher watcher(client);
        QVERIFY(watcher.available());
        QSignalSpy taken(&watcher, &SuspendWatcher::delayLockTaken);
        QVERIFY(taken.wait(3000));
        QVERIFY(watcher.holdsDelayLock());
        QCOMPARE(manager.modes, QStringList{"delay"});
        QVERIFY(!manager.released(0));

        // The lock is still held while the receivers of suspending() run.
        bool heldDuringHandler = false;
        connect(&watcher, &SuspendWatcher::suspending, this,
                [&] { heldDuringHandler = watcher.holdsDelayLock() && !manager.released(0); });
        QSignalSpy suspending(&watcher, &SuspendWatcher::suspending);
        QSignalSpy resuming(&watcher, &SuspendWatcher::resuming);
        auto prepare = [&](bool start) {
            QDBusMessage s = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                        QStringLiteral("org.freedesktop.login1.Manager"),
                                                        QStringLiteral("PrepareForSleep"));
            s << start;
            QVERIFY(service.send(s));
        };
        prepare(true);
        QVERIFY(suspending.wait(3000));
        QVERIFY(heldDuringHandler);
        QVERIFY(!watcher.holdsDelayLock());
        QTRY_VERIFY(manager.released(0));
        QCOMPARE(resuming.size(), 0);

        prepare(false);
        QVERIFY(resuming.wait(3000));
        QVERIFY(taken.wait(3000));
        QCOMPARE(manager.modes.size(), 2);
        QVERIFY(watcher.holdsDelayLock());
        QCOMPARE(suspending.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestPowerWatcher)
#include "test_power_watcher.moc"
