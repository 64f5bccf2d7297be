// The link thread on a real serial port: the simulated device on a pseudo-terminal,
// the window run headless. Port time-outs are shortened to keep the run short.
#include "lang/texts.h"
#include "link/link_host.h"
#include "link/link_thread.h"
#include "link/qt_serial_port.h"
#include "link_test_util.h"
#include "common/firmware_file.h"
#include "sim/simulator.h"

#include <QTemporaryDir>
#include <QTest>
#include <mutex>
#include <vector>

using namespace quenda;
using namespace quenda::testing;
using quenda::sim::FaultOptions;
using quenda::sim::SimConfig;
using quenda::sim::Simulator;
using quenda::testing::firmwareData;
using quenda::testing::firmwareFile;
using quenda::testing::writeFile;

namespace {

constexpr int kPortTimeout = 300;
constexpr int kStep = 5;

// A simulator reached through a link name of its own, so a vanished pty can never be
// mistaken for another test's pty that got the same number. The lines that reach the
// device are collected from the server's log sink into a plain container.
struct SimPort {
    QTemporaryDir dir;
    std::unique_ptr<Simulator> sim;
    mutable std::mutex m;
    std::vector<QString> received;

    explicit SimPort(SimConfig cfg = {}, const QString& name = QStringLiteral("ttySIM")) {
        cfg.server.linkPath = dir.filePath(name);
        sim = std::make_unique<Simulator>(std::move(cfg));
        sim->server().setLogSink([this](const QString& line) {
            if (!line.startsWith(QLatin1String("RX "))) return;
            std::lock_guard g(m);
            received.push_back(line.mid(3));
        });
    }
    ~SimPort() { sim->stop(); } // before the sink's container goes
    bool start() {
        QString error;
        const bool ok = sim->start(&error);
        if (!ok) qWarning() << error;
        return ok;
    }
    QString path() const { return sim->portPath(); }
    QStringList codes() const {
        std::lock_guard g(m);
        QStringList out;
        for (const QString& line : received)
            out << line.left(2);
        return out;
    }
};

struct Rig : LinkRig {
    Rig() : LinkRig(10000) {}
    void start(const QString& port) {
        TthdCom::Options o;
        o.makePort = [] { return std::make_unique<QtSerialPort>(kPortTimeout); };
        o.timing = LinkTiming{kStep, 1, 20};
        o.timing.firmwareRetryMs = 20;
        startLink(port, false, std::move(o));
    }
};

// A simulated device in its bootloader, firmware files in a folder of their own, and
// a link whose file dialog chooses the given files in turn, then is cancelled.
struct BootloaderRig {
    QTemporaryDir dir;
    SimPort sp;
    Rig rig; // last: the link ends before the device goes

    explicit BootloaderRig(SimConfig cfg = {}) : sp(inBootloader(std::move(cfg))) {}
    static SimConfig inBootloader(SimConfig cfg) {
        cfg.device.startInBootloader = true;
        return cfg;
    }
    sim::SimDevice& device() { return sp.sim->device(); }
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        return writeFile(path, bytes) ? path : QString();
    }
    bool start(const QStringList& answers) {
        rig.window.firmwareAnswers = answers;
        if (!sp.start()) return false;
        rig.start(sp.path());
        return true;
    }
    int count(const QString& kind, const QString& text = QString()) {
        return rig.onWindow([&](RecordingWindow& w) { return w.count(kind, text); });
    }
};

} // namespace

class TestLinkSim : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { LoadLanguage(LanguageChoice::English); }
    void cleanupTestCase() { QVERIFY(TthdCom::WaitForThreads(10000)); }

    // Connect: Application with every read raised, and the reads reach the device in
    // the service order.
    void connectReadsInServiceOrder() {
        SimConfig cfg;
        cfg.device.rows = 6;
        SimPort sp(cfg);
        sp.sim->device().update([](sim::Records& r) { r.config.Mode = 0; }); // Manual: levels stay as set
        QVERIFY(sp.start());
        Rig rig;
        rig.start(sp.path() + QStringLiteral(" (simulated device)"));
        QVERIFY2(rig.untilEvent(QStringLiteral("ShowWeatherSettings")), qPrintable(rig.dump()));

        const QStringList expected = {"80", "82", "81", "85", "83", "83", "83", "83", "83", "83", "87", "86"};
        QCOMPARE(sp.codes().mid(0, expected.size()), expected);
        const QString connected = QStringLiteral("Connected to Drevanilux 2.x.5 on ") + sp.path();
        const uint32_t requests = rig.onWindow([&](RecordingWindow& w) {
            const int i = w.indexOf(QStringLiteral("status"), connected);
            return i < 0 ? 0u : w.events[i].requests;
        });
        QCOMPARE(requests, rqOnConnect);
        // What the device holds arrived in the block.
        const auto device = sp.sim->device().records();
        const bool same = rig.onWindow([&](RecordingWindow& w) {
            const DeviceState& s = w.State();
            return s.Schedule.size() == 6 &&
                   std::memcmp(&s.Config, &device.config, sizeof device.config) == 0 &&
                   std::memcmp(&s.Schedule[5], &device.schedule[5], sizeof(TScheduleRow)) == 0 &&
                   std::memcmp(&s.ExpertWeather, &device.weather, sizeof device.weather) == 0;
        });
        QVERIFY(same);

        // A channel write reaches the device with the clock and row masked.
        rig.host->Inspect([](LinkWindow& w) {
            w.State().Info.Channel[3] = 1234;
            w.State().raise(rqSetChannels);
        });
        QVERIFY(waitFor([&] { return sp.sim->device().records().info.Channel[3] == 1234; }, 3000));
        QVERIFY(rig.finish());
    }

    // Line faults after a good connection: each ends in the lost-device path, and the
    // link reconnects once the device answers properly again.
    void lineFaults_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<int>("timeouts"); // "Timeout while waiting" lines per identification
        QTest::newRow("silent") << 0 << 1;
        QTest::newRow("garbage") << 1 << 5;
        QTest::newRow("wrong echo") << 2 << 5;
        QTest::newRow("truncated") << 3 << 5;
    }
    void lineFaults() {
        QFETCH(int, which);
        QFETCH(int, timeouts);
        SimPort sp;
        QVERIFY(sp.start());
        Rig rig;
        rig.start(sp.path());
        QVERIFY(rig.untilEvent(QStringLiteral("ShowWeatherSettings")));
        FaultOptions f;
        f.silent = which == 0;
        f.garbage = which == 1;
        f.wrongEcho = which == 2;
        f.truncate = which == 3;
        sp.sim->server().setFaults(f);
        QVERIFY2(rig.untilStatus(QStringLiteral("Connection error or wrong serial port")),
                 qPrintable(rig.dump()));
        const bool lost = rig.onWindow([&](RecordingWindow& w) {
            return w.count(QStringLiteral("disable")) == 1 &&
                   w.count(QStringLiteral("log"), QStringLiteral("Timeout while waiting for data.")) ==
                       timeouts &&
                   (which == 0) == (w.count(QStringLiteral("log"), QStringLiteral("No data.")) > 0);
        });
        QVERIFY2(lost, qPrintable(rig.dump()));
        sp.sim->server().setFaults({});
        const QString connected = QStringLiteral("Connected to Drevanilux 2.x.5 on ") + sp.path();
        QVERIFY(
            rig.until([&](RecordingWindow& w) { return w.count(QStringLiteral("status"), connected) == 2; }));
        QVERIFY(rig.finish());
    }

    // The pty goes away in the middle of the schedule download: the failed read, the
    // lost device, five failed opens a second apart, and the link ends.
    void ptyVanishesMidDownload() {
        SimConfig cfg;
        cfg.device.rows = 20;
        cfg.server.faults.closeAfter = 8; // 80 82 81 85 and four rows, then the line dies
        SimPort sp(cfg);
        QVERIFY(sp.start());
        Rig rig;
        rig.start(sp.path());
        QVERIFY2(waitFor([&] { return rig.link->Finished(); }, 10000), qPrintable(rig.dump()));
        QVERIFY(rig.until([](RecordingWindow& w) { return w.count(QStringLiteral("disable")) == 2; }));
        const QString name = sp.path();
        const bool ended = rig.onWindow([&](RecordingWindow& w) {
            const QStringList s = w.texts(QStringLiteral("status"));
            return w.count(QStringLiteral("enable")) == 1 &&
                   s.count(QStringLiteral("Trying again...")) == 4 &&
                   s.contains(QStringLiteral("Connection error or wrong serial port")) &&
                   s.mid(s.size() - 2) == QStringList{QStringLiteral("Error while connecting to ") + name,
                                                      QStringLiteral("Disconnected from ") + name} &&
                   w.count(QStringLiteral("ShowWeatherSettings")) == 0;
        });
        QVERIFY2(ended, qPrintable(rig.dump()));
        QVERIFY(!rig.state->isRaised(rqGetSchedule));
        QCOMPARE(sp.codes().count(QStringLiteral("83")), 5);
    }

    // A download cut short by a bad reply at line 9 and a column swap right after it:
    // the lines not read are never uploaded, the download goes on, and in the end the
    // device and the window hold the same lines, none of them zeroed.
    void partialDownloadNeverUploadsUnreadLines() {
        SimConfig cfg;
        cfg.device.rows = 24;
        cfg.server.faults.truncate = true;
        cfg.server.faults.skip = 4 + 9; // identification, three records and lines 0..8
        SimPort sp(cfg);
        QVERIFY(sp.start());
        const auto original = sp.sim->device().records().schedule;
        Rig rig;
        bool swapped = false;
        rig.window.onEvent = [&](const WindowEvent& e) {
            if (e.kind != QStringLiteral("ShowSchedule") || swapped) return;
            swapped = true;
            sp.sim->server().setFaults({});
            DeviceState& st = *rig.state;
            for (TScheduleRow& line : st.Schedule) {
                const int16_t a = line.Color16[0];
                line.Color16[0] = line.Color16[1];
                line.Color16[1] = a;
            }
            st.markRowsForUpload(0, int(st.Schedule.size()) - 1);
        };
        rig.start(sp.path());
        QVERIFY2(rig.until([](RecordingWindow& w) {
            return w.count(QStringLiteral("ShowSchedule")) >= 2 && w.State().allRead() &&
                   !w.State().isRaised(rqGetSchedule | rqSetSchedule);
        }),
                 qPrintable(rig.dump()));
        const auto device = sp.sim->device().records().schedule;
        QCOMPARE(int(device.size()), 24);
        for (int n = 0; n < 24; ++n) {
            TScheduleRow want = original[std::size_t(n)];
            if (n < 9) { // read before the swap: swapped on the device too
                want.Color16[0] = original[std::size_t(n)].Color16[1];
                want.Color16[1] = original[std::size_t(n)].Color16[0];
            }
            QVERIFY2(std::memcmp(&device[std::size_t(n)], &want, sizeof want) == 0, qPrintable(QString::number(n)));
        }
        const bool same = rig.onWindow([&](RecordingWindow& w) {
            return std::memcmp(w.State().Schedule.data(), device.data(), sizeof(TScheduleRow) * 24) == 0;
        });
        QVERIFY(same);
        QVERIFY(rig.finish());
    }

    // The user edits a line while a refresh downloads the schedule: the device's old
    // line does not replace the edit, and the edit reaches the device.
    void downloadSparesEditedLine() {
        SimConfig cfg;
        cfg.device.rows = 6;
        SimPort sp(cfg);
        QVERIFY(sp.start());
        Rig rig;
        const QString reading = QStringLiteral("Downloading schedule...");
        rig.window.onEvent = [&](const WindowEvent& e) {
            if (e.kind != QStringLiteral("status") || e.text != reading ||
                rig.window.count(QStringLiteral("status"), reading) != 2)
                return;
            rig.state->Schedule[2].Timer = 777; // typed during the second download
            rig.state->markRowsForUpload(2, 2);
        };
        rig.start(sp.path());
        QVERIFY(rig.untilEvent(QStringLiteral("ShowWeatherSettings")));
        rig.state->raise(rqGetSchedule); // F5
        QVERIFY(waitFor([&] { return sp.sim->device().records().schedule[2].Timer == 777; }, 5000));
        QVERIFY(rig.until([](RecordingWindow& w) {
            return w.count(QStringLiteral("ShowSchedule")) == 2 && !w.State().isRaised(rqSetSchedule);
        }));
        QCOMPARE(rig.onWindow([](RecordingWindow& w) { return int(w.State().Schedule[2].Timer); }), 777);
        QVERIFY(rig.finish());
    }

    // Writes the device never acknowledges: each failure is logged with its record and
    // line, tried again a bounded number of times, and then the record is read back so
    // the window holds what the device holds.
    void unacknowledgedWritesAreReadBack() {
        SimConfig cfg;
        cfg.device.rows = 4;
        SimPort sp(cfg);
        QVERIFY(sp.start());
        Rig rig;
        rig.start(sp.path());
        QVERIFY(rig.untilEvent(QStringLiteral("ShowWeatherSettings")));
        FaultOptions f;
        f.noAck = true;
        sp.sim->server().setFaults(f);
        const int firstFaulty = int(sp.codes().size());
        rig.host->Inspect([](LinkWindow& w) {
            DeviceState& st = w.State();
            st.Schedule[1].Timer = int16_t(st.Schedule[1].Timer + 1000);
            st.markRowsForUpload(1, 1);
            reinterpret_cast<uint8_t*>(&st.Expert)[0] ^= 0x5A;
            st.raise(rqSetExpert);
        });
        auto logs = [](RecordingWindow& w, const QString& what) {
            int n = 0;
            for (const QString& t : w.texts(QStringLiteral("log")))
                if (t.startsWith(what)) ++n;
            return n;
        };
        // The device takes writes it does not acknowledge; what counts is that the
        // window reads back what it holds.
        QVERIFY2(rig.until(
                     [&](RecordingWindow& w) {
                         DeviceState& st = w.State();
                         const auto device = sp.sim->device().records();
                         return logs(w, QStringLiteral("SetSchedule (line 1) ")) == TthdCom::kWriteTries &&
                                logs(w, QStringLiteral("SetExpert ")) == TthdCom::kWriteTries && st.isRead(1) &&
                                !st.isRaised(rqSetSchedule | rqGetSchedule | rqSetExpert | rqGetExpert) &&
                                std::memcmp(&st.Schedule[1], &device.schedule[1], sizeof(TScheduleRow)) == 0 &&
                                std::memcmp(&st.Expert, &device.expert, sizeof device.expert) == 0;
                     },
                     15000),
                 qPrintable(rig.onWindow([](RecordingWindow& w) { return w.texts(QStringLiteral("log")).join('\n'); })));
        const QStringList after = sp.codes().mid(firstFaulty);
        QCOMPARE(after.count(QStringLiteral("03")), TthdCom::kWriteTries);
        QCOMPARE(after.count(QStringLiteral("05")), TthdCom::kWriteTries);
        // Read back after the last try: the expert record and the schedule lines.
        QVERIFY(after.lastIndexOf(QStringLiteral("85")) > after.lastIndexOf(QStringLiteral("05")));
        QVERIFY(after.lastIndexOf(QStringLiteral("83")) > after.lastIndexOf(QStringLiteral("03")));
        QVERIFY(rig.finish());
    }

    // What answers decides the state: wrong version and bootloader keep the link,
    // other hardware ends it.
    void identities_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("version");
        QTest::addColumn<bool>("bootloader");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("ends");
        QTest::newRow("version 4")
            << 5 << 4 << false
            << "Drevanilux 2.x.4 on %1 detected (different firmware version). Please use the "
               "correct software version or update the firmware (see menu \"File\")!"
            << false;
        QTest::newRow("bootloader") << 5 << 5 << true << "Connected to Drevanilux bootloader on %1" << false;
        QTest::newRow("type 7")
            << 7 << 1 << false
            << "Different hardware \"Ostrevik 2.x\" detected. Please use the correct software!" << true;
        QTest::newRow("type 12") << 12 << 1 << false
                                 << "Different hardware \"12\" detected. Please use the correct software!"
                                 << true;
    }
    void identities() {
        QFETCH(int, type);
        QFETCH(int, version);
        QFETCH(bool, bootloader);
        QFETCH(QString, status);
        QFETCH(bool, ends);
        SimConfig cfg;
        cfg.device.hardwareType = uint8_t(type);
        cfg.device.version = uint8_t(version);
        cfg.device.startInBootloader = bootloader;
        SimPort sp(cfg);
        QVERIFY(sp.start());
        Rig rig;
        rig.start(sp.path());
        const QString text = status.contains(QLatin1String("%1")) ? status.arg(sp.path()) : status;
        QVERIFY2(rig.untilStatus(text), qPrintable(rig.dump()));
        if (ends) {
            QVERIFY(waitFor([&] { return rig.link->Finished(); }, 3000));
            QVERIFY(rig.untilStatus(QStringLiteral("Disconnected from ") + sp.path()));
        } else {
            QTest::qWait(100); // several polls: the link stays, the controls stay off
            QVERIFY(!rig.link->Finished());
            if (bootloader) QVERIFY(rig.untilEvent(QStringLiteral("firmware")) && rig.untilEvent(QStringLiteral("enable")));
            QVERIFY(rig.finish());
        }
        // With no firmware chosen the bootloader is released into the application.
        QCOMPARE(rig.onWindow([](RecordingWindow& w) { return w.count(QStringLiteral("enable")); }),
                 bootloader ? 1 : 0);
    }

    // An image through the bootloader with one block lost on the line: losses within the
    // tries are retried away and the flash ends equal to the file; a block lost on every
    // try fails the update, but the rest still goes out and the reset follows. Either way
    // the window sees every block's progress and the device comes back running.
    void flashesFirmware_data() {
        QTest::addColumn<int>("last");
        QTest::addColumn<int>("lostBlock");
        QTest::addColumn<int>("losses");
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<QString>("lastProgress");
        QTest::newRow("60 KiB, a block lost three times") << 60 * 1024 - 1 << 0x0400 << 3 << true << "0xEFC0 (100 %)";
        QTest::newRow("1 KiB, a block lost ten times") << 0x3FF << 0x0100 << 10 << false << "0x03C0 (94 %)";
    }
    void flashesFirmware() {
        QFETCH(int, last);
        QFETCH(int, lostBlock);
        QFETCH(int, losses);
        QFETCH(bool, succeeds);
        QFETCH(QString, lastProgress);
        BootloaderRig b;
        const QString path = b.file(QStringLiteral("Drevanilux2x5.qfw"), firmwareFile(0, last));
        b.device().failBlock(uint16_t(lostBlock), losses);
        QVERIFY(b.start({path}));
        const QString result = Msg(succeeds ? QStringLiteral("FirmwareUpdateSuccessful")
                                            : QStringLiteral("FirmwareUpdateFailed"));
        QVERIFY2(b.rig.untilStatus(result, 60000), qPrintable(b.rig.dump()));
        QByteArray expected = firmwareData(0, last);
        if (!succeeds) expected.replace(lostBlock, 64, QByteArray(64, '\xFF'));
        const std::vector<uint8_t> flash = b.device().flash();
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(flash.data()), last + 1), expected);
        QVERIFY(b.rig.untilStatus(QStringLiteral("Connected to Drevanilux 2.x.5 on ") + b.sp.path()));
        QVERIFY(b.rig.finish());
        const int blocks = (last + 1) / 64;
        QCOMPARE(b.count(QStringLiteral("progress")), blocks);
        QCOMPARE(b.count(QStringLiteral("log"), QStringLiteral("0x0000 (0 %)")), 1);
        QCOMPARE(b.count(QStringLiteral("log"), lastProgress), 1);
        QCOMPARE(b.count(QStringLiteral("log"), Msg(QStringLiteral("TransferError"))), succeeds ? 0 : 1);
        QCOMPARE(b.device().blocksWritten(), succeeds ? blocks : blocks - 1);
        QCOMPARE(b.count(QStringLiteral("transferEnded")), 1);
        QCOMPARE(b.device().resets(), 1);
    }

    // Refused files bring the dialog back with their messages; the cancelled dialog then
    // releases the device from its bootloader with a zero reset.
    void refusedFilesThenCancel() {
        SimConfig cfg;
        cfg.device.flashSize = 4096; // room for 3072 bytes
        BootloaderRig b(cfg);
        QVERIFY(b.start({b.file(QStringLiteral("bad.qfw"), firmwareFile(0, 0xFF, 1)),
                         b.file(QStringLiteral("big.qfw"), firmwareFile(0, 0xFFF))}));
        QVERIFY2(b.rig.untilStatus(QStringLiteral("Connected to Drevanilux 2.x.5 on ") + b.sp.path()),
                 qPrintable(b.rig.dump()));
        QVERIFY(b.rig.finish());
        const QString events = b.rig.dump();
        QCOMPARE(b.count(QStringLiteral("firmware")), 3);
        QVERIFY2(events.contains(QStringLiteral("status Checksum error in file (")), qPrintable(events));
        QVERIFY(events.contains(QStringLiteral("status Error: File is 1024 bytes too big!")));
        QVERIFY(events.contains(QStringLiteral("log Resetting...")));
        QVERIFY(!events.contains(QStringLiteral("Starting firmware update")));
        std::lock_guard g(b.sp.m);
        QVERIFY(std::find(b.sp.received.begin(), b.sp.received.end(), QStringLiteral("01000000000000")) !=
                b.sp.received.end());
        QCOMPARE(b.device().blocksWritten(), 0);
    }

    // The link told to end mid-transfer leaves at once: no further block, no reset.
    void terminateMidTransfer() {
        BootloaderRig b;
        const QString path = b.file(QStringLiteral("fw.qfw"), firmwareFile(0, 0x7FFF));
        QElapsedTimer sinceTerminate;
        b.rig.window.onEvent = [&](const WindowEvent& e) {
            if (e.kind == QLatin1String("progress") && e.text.startsWith(QLatin1String("640/"))) {
                b.rig.link->Terminate();
                sinceTerminate.start();
            }
        };
        QVERIFY(b.start({path}));
        QVERIFY2(b.rig.untilEvent(QStringLiteral("transferEnded"), QString(), 20000), qPrintable(b.rig.dump()));
        QVERIFY(waitFor([&] { return b.rig.link->Finished(); }, 2000));
        QVERIFY(sinceTerminate.elapsed() < 1000);
        QCOMPARE(b.device().resets(), 0);
        QCOMPARE(b.device().blocksWritten(), 11); // up to the one on the line while its progress showed
        QVERIFY(b.device().inBootloader());
    }

    // Another port picked while connected: the new device is read from scratch.
    void switchToAnotherDevice() {
        SimConfig a, b;
        a.device.rows = 3;
        b.device.rows = 5;
        SimPort first(a, QStringLiteral("ttyA")), second(b, QStringLiteral("ttyB"));
        QVERIFY(first.start() && second.start());
        Rig rig;
        rig.start(first.path());
        QVERIFY(rig.untilEvent(QStringLiteral("ShowWeatherSettings")));
        rig.link->SetPortName(second.path() + QStringLiteral(" (second)"), false);
        QVERIFY(rig.until(
            [](RecordingWindow& w) { return w.count(QStringLiteral("ShowWeatherSettings")) == 2; }));
        QCOMPARE(rig.onWindow([](RecordingWindow& w) { return int(w.State().Schedule.size()); }), 5);
        QCOMPARE(second.codes().count(QStringLiteral("83")), 5);
        const int firstCommands = int(first.codes().size());
        QTest::qWait(60);
        QCOMPARE(int(first.codes().size()), firstCommands); // the old port is left alone
        QVERIFY(rig.finish());
    }

    // Terminate while rows arrive at line speed: the download ends after the row in
    // flight and the link ends.
    void terminateDuringPacedDownload() {
        SimConfig cfg;
        cfg.device.rows = 48;
        cfg.server.lineSpeed = true;
        SimPort sp(cfg);
        QVERIFY(sp.start());
        Rig rig;
        rig.start(sp.path());
        QVERIFY(waitFor([&] { return sp.codes().count(QStringLiteral("83")) >= 10; }, 10000));
        rig.link->Terminate();
        const int rowsAtTerminate = int(sp.codes().count(QStringLiteral("83")));
        QVERIFY(waitFor([&] { return rig.link->Finished(); }, 2000));
        QVERIFY(sp.codes().count(QStringLiteral("83")) <= rowsAtTerminate + 1);
        QVERIFY(!rig.state->isRaised(rqGetSchedule));
        QVERIFY(rig.untilStatus(QStringLiteral("Disconnected from ") + sp.path()));
    }
};

QTEST_GUILESS_MAIN(TestLinkSim)
#include "test_link_sim.moc"
