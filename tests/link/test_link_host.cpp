// The Qt host: hand-overs run on the window's thread while the caller waits, and
// closing refuses new ones and releases posted ones, so a link never hangs on a
// window that stopped its event loop and never touches it after it is gone.
#include "lang/texts.h"
#include "link/link_host.h"
#include "link/link_thread.h"
#include "link/qt_serial_port.h"
#include "link_test_util.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <poll.h>
#include <mutex>
#include <stdexcept>
#include <unistd.h>

using namespace quenda;
using namespace quenda::testing;

namespace {

// Runs fn on a thread of its own; the result is available once done.
struct Caller {
    std::atomic<bool> done{false};
    std::atomic<int> result{-1}; // -1 running, 0 refused, 1 ran
    std::thread thread;
    explicit Caller(std::function<bool()> fn) {
        thread = std::thread([this, fn] {
            result = fn() ? 1 : 0;
            done = true;
        });
    }
    ~Caller() {
        if (thread.joinable()) thread.join();
    }
};

// Spins the window's event loop until cond or the time-out.
bool spinUntil(const std::function<bool()>& cond, int ms) {
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

// Counts every call onto the window, also after the window is gone (it outlives it).
struct CallCounter {
    std::atomic<int> calls{0};
};

class CountingWindow : public RecordingWindow {
public:
    CountingWindow(std::shared_ptr<DeviceState> s, std::shared_ptr<CallCounter> c)
        : RecordingWindow(std::move(s)), counter_(std::move(c)) {
        onEvent = [this](const WindowEvent&) { ++counter_->calls; };
    }

private:
    std::shared_ptr<CallCounter> counter_;
};

} // namespace

class TestLinkHost : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { LoadLanguage(LanguageChoice::English); }
    void cleanupTestCase() { QVERIFY(TthdCom::WaitForThreads(10000)); }

    // A call from another thread runs on the window's thread, the caller waiting.
    void callRunsOnWindowThread() {
        auto state = std::make_shared<DeviceState>();
        RecordingWindow window(state);
        QtLinkHost qtHost(window);
        auto host = qtHost.Host();
        QThread* ranOn = nullptr;
        Caller c([&] { return host->RunOnWindow([&](LinkWindow&) { ranOn = QThread::currentThread(); }); });
        QVERIFY(spinUntil([&] { return c.done.load(); }, 2000));
        QCOMPARE(c.result.load(), 1);
        QCOMPARE(ranOn, QThread::currentThread());

        // The typed hand-overs reach the window's operations.
        TransferBuffer b;
        b.Payload[0] = 3; // RowCount
        Caller typed([&] {
            return host->Status(QStringLiteral("s")) && host->Log(QStringLiteral("l")) &&
                   host->ConnectedChanged(true) && host->StoreRecord(LinkRecord::Info, b) &&
                   host->Progress(QStringLiteral("p"), 2, 9);
        });
        QVERIFY(spinUntil([&] { return typed.done.load(); }, 2000));
        QCOMPARE(typed.result.load(), 1);
        QStringList kinds;
        for (const auto& e : window.events) {
            kinds << e.kind;
            QVERIFY2(e.onMainThread, qPrintable(e.kind));
        }
        QCOMPARE(kinds, (QStringList{"status", "log", "enable", "ShowDeviceInfo", "progress", "log"}));
        QCOMPARE(state->Schedule.size(), size_t(3));
    }

    // On the window's own thread a call runs at once instead of posting to itself.
    void callFromWindowThreadRunsDirectly() {
        auto state = std::make_shared<DeviceState>();
        RecordingWindow window(state);
        QtLinkHost qtHost(window);
        bool ran = false;
        QVERIFY(qtHost.Host()->RunOnWindow([&](LinkWindow&) { ran = true; }));
        QVERIFY(ran);
    }

    // After closing began nothing runs, and the refusal is immediate.
    void refusedAfterClose() {
        auto state = std::make_shared<DeviceState>();
        RecordingWindow window(state);
        auto qtHost = std::make_unique<QtLinkHost>(window);
        auto host = qtHost->Host();
        qtHost->BeginClose();
        QVERIFY(qtHost->Closing());
        std::atomic<bool> ran{false};
        Caller c([&] { return host->RunOnWindow([&](LinkWindow&) { ran = true; }); });
        QVERIFY(waitFor([&] { return c.done.load(); }, 1000)); // no event processing needed
        QCOMPARE(c.result.load(), 0);
        qtHost.reset(); // the shared part outlives the window's object
        QVERIFY(!host->Log(QStringLiteral("late")));
        QCoreApplication::processEvents();
        QVERIFY(!ran);
    }

    // A call posted while the window's thread was busy is released by closing, and the
    // posted event left behind does nothing when the loop runs after all.
    void postedCallReleasedByClose() {
        auto state = std::make_shared<DeviceState>();
        RecordingWindow window(state);
        QtLinkHost qtHost(window);
        auto host = qtHost.Host();
        std::atomic<bool> posting{false}, ran{false};
        Caller c([&] {
            posting = true;
            return host->RunOnWindow([&](LinkWindow&) { ran = true; });
        });
        QVERIFY(waitFor([&] { return posting.load(); }, 1000));
        QThread::msleep(30); // the caller is now waiting on its posted call
        QVERIFY(!c.done);
        QElapsedTimer t;
        t.start();
        qtHost.BeginClose();
        QVERIFY(t.elapsed() < 200); // closing never waits for the link (which would wait forever)
        QVERIFY(waitFor([&] { return c.done.load(); }, 1000));
        QCOMPARE(c.result.load(), 0);
        QCoreApplication::processEvents();
        QVERIFY(!ran);
    }

    // An error thrown by the window's side reaches the link's thread.
    void windowErrorCrossesBack() {
        auto state = std::make_shared<DeviceState>();
        RecordingWindow window(state);
        QtLinkHost qtHost(window);
        auto host = qtHost.Host();
        std::atomic<bool> caught{false};
        Caller c([&] {
            try {
                host->RunOnWindow([](LinkWindow&) { throw std::runtime_error("display failed"); });
            } catch (const std::runtime_error& e) {
                caught = QByteArray(e.what()) == "display failed";
            }
            return true;
        });
        QVERIFY(spinUntil([&] { return c.done.load(); }, 2000));
        QVERIFY(caught);
    }

    // A posted hand-over returns before the window runs it, runs in order with the ones
    // waited for, and an error it throws reaches the link at its next hand-over.
    void postedCallsKeepOrderWithoutWaiting() {
        auto state = std::make_shared<DeviceState>();
        RecordingWindow window(state);
        QtLinkHost qtHost(window);
        auto host = qtHost.Host();
        QStringList ran; // touched on the window's thread only
        Caller posting([&] {
            return host->PostToWindow([&](LinkWindow&) { ran << "posted"; }) &&
                   host->PostToWindow([](LinkWindow&) { throw std::runtime_error("display failed"); });
        });
        QVERIFY(waitFor([&] { return posting.done.load(); }, 1000)); // the window's loop does not run
        QCOMPARE(posting.result.load(), 1);
        QVERIFY(ran.isEmpty());
        std::atomic<bool> caught{false};
        Caller waiting([&] {
            try {
                host->RunOnWindow([&](LinkWindow&) { ran << "waited"; });
            } catch (const std::runtime_error& e) {
                caught = QByteArray(e.what()) == "display failed";
            }
            return true;
        });
        QVERIFY(spinUntil([&] { return waiting.done.load(); }, 2000));
        QCOMPARE(ran, (QStringList{"posted", "waited"}));
        QVERIFY(caught);
    }

    // The window stores what the link read later than the link goes on: with the
    // window's loop running only every 100 ms, each first read still happens once.
    void readsOnceWhileTheWindowIsBusy() {
        auto state = std::make_shared<DeviceState>();
        RecordingWindow window(state);
        QtLinkHost qtHost(window);
        auto port = std::make_shared<ScriptedPort>();
        auto device = std::make_shared<ScriptedDevice>();
        std::mutex m;
        QList<QByteArray> codes;
        device->beforeAnswer = [&](const QByteArray& line) {
            std::lock_guard g(m);
            codes << line.left(2);
        };
        port->setResponder([device](const QByteArray& l) { return device->answer(l); });
        TthdCom::Options o;
        o.makePort = [port] { return std::make_unique<TappedPort>(port, std::make_shared<PortTap>()); };
        auto link = TthdCom::Create(state, qtHost.Host(), QStringLiteral("COM5"), false, o);
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 400) { // the poll comes after 500 ms
            QThread::msleep(100);
            QCoreApplication::processEvents();
        }
        qtHost.BeginClose();
        link->Terminate();
        QVERIFY(waitFor([&] { return link->Finished(); }, 3000));
        link.reset();
        QVERIFY(TthdCom::WaitForThreads(3000));
        std::lock_guard g(m);
        for (const char* code : {"81", "82", "85"})
            QVERIFY2(codes.count(code) == 1, qPrintable(codes.join(' ')));
    }

    // A whole link on a real event loop: connect, then close in the middle of a
    // schedule download; the window and its host are freed at once while the link still
    // runs, and the link ends without calling them again.
    void closeDuringScheduleDownload() {
        auto state = std::make_shared<DeviceState>();
        auto counter = std::make_shared<CallCounter>();
        auto window = std::make_unique<CountingWindow>(state, counter);
        auto qtHost = std::make_unique<QtLinkHost>(*window);

        auto port = std::make_shared<ScriptedPort>();
        auto device = std::make_shared<ScriptedDevice>();
        device->rows = 200;
        std::atomic<int> rows{0};
        device->beforeAnswer = [&rows](const QByteArray& line) {
            if (line.startsWith("83")) {
                ++rows;
                QThread::msleep(1);
            }
        };
        port->setResponder([device](const QByteArray& l) { return device->answer(l); });
        TthdCom::Options o;
        o.makePort = [port] { return std::make_unique<TappedPort>(port, std::make_shared<PortTap>()); };
        o.timing = LinkTiming{5, 1, 5};
        auto link = TthdCom::Create(state, qtHost->Host(), QStringLiteral("COM5"), false, o);

        QVERIFY(spinUntil([&] { return rows >= 20; }, 5000));
        qtHost->BeginClose();
        const int callsAtClose = counter->calls;
        const int rowsAtClose = rows;
        qtHost.reset();
        window.reset(); // gone while the link is mid-download
        // The window's thread runs no events from here on.
        QVERIFY(waitFor([&] { return link->Finished(); }, 3000));
        QCOMPARE(counter->calls.load(), callsAtClose);
        QVERIFY2(rows <= rowsAtClose + 1, qPrintable(QStringLiteral("%1 %2").arg(rows).arg(rowsAtClose)));
        QVERIFY(!state->isRaised(rqGetSchedule));
        QVERIFY(link->Terminated());
        link.reset();
        QVERIFY(TthdCom::WaitForThreads(3000));
        QCoreApplication::processEvents(); // stale posted events of the freed host do nothing
    }

    // Close while the link blocks in a port read on a real serial port (a pty whose
    // other side never answers): the window does not wait, and the link ends when the
    // read times out, without touching the freed window.
    void closeDuringBlockingRead() {
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0);
        QVERIFY(grantpt(master) == 0 && unlockpt(master) == 0);
        const QString slave = QString::fromLocal8Bit(ptsname(master));

        auto state = std::make_shared<DeviceState>();
        auto counter = std::make_shared<CallCounter>();
        auto window = std::make_unique<CountingWindow>(state, counter);
        auto qtHost = std::make_unique<QtLinkHost>(*window);
        TthdCom::Options o;
        o.makePort = [] { return std::make_unique<QtSerialPort>(1500); };
        o.timing = LinkTiming{5, 1, 5};
        auto link = TthdCom::Create(state, qtHost->Host(), slave, false, o);

        // Wait (serving the window) until GetDevice reached the other side.
        QByteArray got;
        QVERIFY(spinUntil(
            [&] {
                pollfd p{master, POLLIN, 0};
                if (::poll(&p, 1, 0) > 0) {
                    char buf[64];
                    const auto n = ::read(master, buf, sizeof buf);
                    if (n > 0) got.append(buf, int(n));
                }
                return got.contains("80\n");
            },
            3000));
        // The window's shutdown: close the host, wait at most 10 x 50 ms, then go.
        QElapsedTimer t;
        t.start();
        qtHost->BeginClose();
        const int callsAtClose = counter->calls;
        QVERIFY(t.elapsed() < 200);
        QVERIFY(!link->WaitFinished(10, 50));
        QVERIFY(t.elapsed() >= 500 && t.elapsed() < 1000);
        qtHost.reset();
        window.reset();
        QVERIFY(waitFor([&] { return link->Finished(); }, 3000));
        QVERIFY(t.elapsed() < 2000); // the read's time-out, not five identification tries
        QCOMPARE(counter->calls.load(), callsAtClose);
        link.reset();
        QVERIFY(TthdCom::WaitForThreads(3000));
        ::close(master);
    }
};

QTEST_GUILESS_MAIN(TestLinkHost)
#include "test_link_host.moc"
