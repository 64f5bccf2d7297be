// Protocol and QtSerialPort against the simulator over a real pseudo-terminal:
// round trips of every command, records written and read back, and the failure
// each line fault leads to. The simulator runs in-process on its own thread, and
// once as the quenda-sim program.
#include "common/read_commands.h"
#include "lang/texts.h"
#include "link/protocol.h"
#include "link/qt_serial_port.h"
#include "sim/simulator.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTest>
#include <cstring>
#include <memory>

using namespace quenda;
using namespace quenda::sim;

namespace {

constexpr int kTimeout = 400;

struct Rig {
    Simulator sim;
    QtSerialPort port{kTimeout};
    QStringList log;
    Protocol proto{port, [this](const QString& s) { log << s; }};

    explicit Rig(SimConfig cfg = {}) : sim(std::move(cfg)) {}
    bool start() {
        QString error;
        if (!sim.start(&error)) {
            qWarning() << error;
            return false;
        }
        if (!port.open(sim.portPath())) {
            qWarning() << port.errorString();
            return false;
        }
        return true;
    }
    template <class R> R payloadAs() {
        R r;
        std::memcpy(&r, proto.buffer().Payload, sizeof r);
        return r;
    }
    template <class R> bool send(uint8_t code, const R& r) {
        TransferBuffer b;
        std::memcpy(b.Payload, &r, sizeof r);
        return proto.Send(b, code, int(sizeof r));
    }
    bool special(uint8_t fn) {
        TransferBuffer b;
        b.Payload[0] = fn;
        return proto.Send(b, 0x7F, 1);
    }
};

SimConfig withFaults(const FaultOptions& f) {
    SimConfig c;
    c.server.faults = f;
    return c;
}

} // namespace

class TestSimPty : public QObject {
    Q_OBJECT
private slots:
    void openCloseReopen() {
        Rig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.port.errorString().isEmpty());
        QVERIFY(rig.proto.Query(0x80, 2));
        rig.port.close();
        QVERIFY(!rig.port.isOpen());
        QVERIFY(rig.port.open(rig.sim.portPath()));
        QVERIFY(rig.proto.Query(0x80, 2));
        QtSerialPort missing(kTimeout);
        QVERIFY(!missing.open("/dev/quenda-no-such-port"));
        QVERIFY(!missing.errorString().isEmpty());
    }

    // The link owns its port on a QThread that runs no event loop: open, use, close
    // and destroy all happen there, without notifier warnings.
    void portOnAThreadWithoutEventLoop() {
        Rig rig;
        QString error;
        QVERIFY(rig.sim.start(&error));
        QTest::failOnWarning(QRegularExpression(".*"));
        class Worker : public QThread {
        public:
            QString path;
            int ok = 0;
            void run() override {
                QtSerialPort port(kTimeout);
                Protocol proto(port, {});
                if (!port.open(path)) return;
                for (int i = 0; i < 20; ++i)
                    ok += proto.Query(0x81, 52);
                TransferBuffer b;
                b.Payload[0] = 2;
                ok += proto.Send(b, 0x7F, 1);
                port.close();
            }
        } worker;
        worker.path = rig.sim.portPath();
        worker.start();
        QVERIFY(worker.wait(10000));
        QCOMPARE(worker.ok, 21);
    }

    void everyReadCommandRoundTrips_data() { testing::addReadCommandRows(); }
    void everyReadCommandRoundTrips() {
        QFETCH(int, code);
        QFETCH(int, n);
        Rig rig;
        QVERIFY(rig.start());
        QElapsedTimer t;
        t.start();
        QVERIFY(rig.proto.Query(uint8_t(code), n));
        QVERIFY(t.elapsed() < kTimeout); // exact lengths: no waiting for the time-out
        QCOMPARE(int(rig.proto.buffer().Echo), code);
        QVERIFY(rig.log.isEmpty());
    }

    // Each record written, read back equal; the device's copy changed too.
    void writtenRecordsReadBack() {
        Rig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.proto.Query(0x82, 31));
        auto config = rig.payloadAs<TConfig>();
        config.Mode = 0;
        config.ColorName[11] = 15;
        config.Lon = -1234;
        QVERIFY(rig.send(0x02, config));
        QVERIFY(rig.proto.Query(0x82, 31));
        QCOMPARE(std::memcmp(rig.proto.buffer().Payload, &config, sizeof config), 0);

        QVERIFY(rig.proto.Query(0x85, 56));
        auto expert = rig.payloadAs<TExpert>();
        expert.Up ^= 0x1000;
        expert.TempOffset = -7;
        QVERIFY(rig.send(0x05, expert));
        QVERIFY(rig.proto.Query(0x85, 56));
        QCOMPARE(std::memcmp(rig.proto.buffer().Payload, &expert, sizeof expert), 0);

        QVERIFY(rig.proto.Query(0x86, 69));
        auto weather = rig.payloadAs<TExpertWeather>();
        weather.LightningMask[6] = 0xA5;
        weather.CloudStep = 65535;
        QVERIFY(rig.send(0x06, weather));
        QVERIFY(rig.proto.Query(0x86, 69));
        QCOMPARE(std::memcmp(rig.proto.buffer().Payload, &weather, sizeof weather), 0);

        TScheduleWire row{};
        row.Index = 2;
        row.Row.Hour = 9;
        row.Row.Minute = 45;
        row.Row.Color16[7] = 4096;
        QVERIFY(rig.send(0x03, row));
        for (int i = 0; i < 3; ++i)
            QVERIFY(rig.proto.Query(0x83, 32)); // rows 0, 1, 2
        QCOMPARE(std::memcmp(rig.proto.buffer().Payload, &row, sizeof row), 0);

        // Channel A to 2048 in mode Manual, nothing else.
        TInfo info{};
        info.Minute = -1;
        info.CurrentRow = -1;
        for (size_t k = 0; k < std::size(info.Channel); ++k)
            info.Channel[k] = -1;
        info.Channel[0] = 2048;
        const int before = rig.sim.device().records().info.Channel[1];
        QVERIFY(rig.send(0x01, info));
        const Records r = rig.sim.device().records();
        QCOMPARE(int(r.info.Channel[0]), 2048);
        QCOMPARE(int(r.info.Channel[1]), before);
        QCOMPARE(int(r.config.Lon), -1234);
        QVERIFY(rig.proto.Query(0x81, 52));
        QCOMPARE(int(rig.payloadAs<TInfo>().Channel[0]), 2048);
        QVERIFY(rig.log.isEmpty());
    }

    void specialFunctionsAndBootloader() {
        Rig rig;
        QVERIFY(rig.start());
        for (uint8_t fn : {1, 2, 3, 4})
            QVERIFY(rig.special(fn));
        QCOMPARE(rig.sim.device().saves(), 1);
        rig.proto.SendRaw("7F00");
        QTRY_VERIFY(rig.sim.device().inBootloader());
        QVERIFY(rig.proto.Query(0x80, 2));
        QCOMPARE(int(rig.proto.buffer().Payload[0]), 4);
        QVERIFY(rig.proto.Query(0x81, 6));
        QCOMPARE(int(rig.payloadAs<TBootInfo>().PageSize), 128);
        TFirmwareBlock blk{};
        blk.Address = 0x40;
        std::memset(blk.Data, 0x5A, sizeof blk.Data);
        QVERIFY(rig.send(0x02, blk));
        TransferBuffer reset;
        std::memcpy(reset.Payload, &blk, sizeof blk);
        QVERIFY(rig.proto.Send(reset, 0x01, 6));
        QVERIFY(!rig.sim.device().inBootloader());
        QVERIFY(rig.sim.server().log().contains(
            QString("EV reset blocks=1 first=0x0040 last=0x007f sum=%1").arg(64 * 0x5A)));
    }

    // What reached the device, in the server's log format.
    void serverLogsLines() {
        Rig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.proto.Query(0x80, 2));
        QVERIFY(rig.special(2));
        QCOMPARE(rig.sim.server().received(), QStringList({"80", "7F02"}));
        const QStringList log = rig.sim.server().log();
        QCOMPARE(log.mid(0, 2), QStringList({"RX 80", "TX 800505\\n"}));
        QVERIFY(log.contains("EV cloud on"));
        QCOMPARE(log.last(), QString("TX K"));
    }

    // Junk on the line does not upset the device; the next command is answered.
    void survivesJunk() {
        Rig rig;
        QVERIFY(rig.start());
        QVERIFY(
            rig.port.write(QByteArray(5000, 'Z') + "\n" + QByteArray("\x00\xFF\x80\r\r\n\n", 7) + "7F\n"));
        QTest::qWait(100);
        QVERIFY(rig.proto.Query(0x80, 2));
        QVERIFY(rig.sim.server().log().contains("EV overlong line"));
    }

    void silentDeviceClosesThePort() {
        FaultOptions f;
        f.silent = true;
        Rig rig(withFaults(f));
        QVERIFY(rig.start());
        QElapsedTimer t;
        t.start();
        QVERIFY(!rig.proto.Query(0x80, 2));
        QVERIFY(t.elapsed() >= kTimeout - 20);
        QCOMPARE(rig.log, QStringList{Msg("NoData")});
        QVERIFY(!rig.port.isOpen());
    }

    void answersOnlyAfterSomeCommands() {
        FaultOptions f;
        f.answerAfter = 2;
        Rig rig(withFaults(f));
        QVERIFY(rig.start());
        QList<bool> results;
        for (int i = 0; i < 3; ++i) {
            if (!rig.port.isOpen()) QVERIFY(rig.port.open(rig.sim.portPath()));
            results << rig.proto.Query(0x80, 2);
        }
        QCOMPARE(results, QList<bool>({false, false, true}));
        QCOMPARE(rig.log, QStringList({Msg("NoData"), Msg("NoData")}));
    }

    void garbageLogsTheConversionError() {
        FaultOptions f;
        f.garbage = true;
        f.skip = 1;
        Rig rig(withFaults(f));
        QVERIFY(rig.start());
        QVERIFY(rig.proto.Query(0x80, 2)); // skipped
        QVERIFY(!rig.proto.Query(0x81, 52));
        QCOMPARE(rig.log.size(), 1);
        QVERIFY2(rig.log[0].endsWith("is not a valid hexadecimal number"), qPrintable(rig.log[0]));
        QVERIFY(rig.port.isOpen());
        QVERIFY(rig.special(1)); // a garbage acknowledgement is still one
    }

    void wrongEchoFailsSilentlyAtOnce() {
        FaultOptions f;
        f.wrongEcho = true;
        Rig rig(withFaults(f));
        QVERIFY(rig.start());
        QElapsedTimer t;
        t.start();
        QVERIFY(!rig.proto.Query(0x81, 52));
        QVERIFY(t.elapsed() < kTimeout);
        QVERIFY(rig.log.isEmpty());
        QVERIFY(rig.port.isOpen());
    }

    void truncatedReplyWaitsAndFailsSilently() {
        FaultOptions f;
        f.truncate = true;
        Rig rig(withFaults(f));
        QVERIFY(rig.start());
        rig.proto.setDebug(true);
        QElapsedTimer t;
        t.start();
        QVERIFY(!rig.proto.Query(0x80, 2));
        QVERIFY(t.elapsed() >= kTimeout - 20);
        QCOMPARE(rig.log.size(), 2); // the OUT and IN lines only
        QVERIFY2(rig.log[1].startsWith("IN: \"800\" "), qPrintable(rig.log[1]));
        QVERIFY(rig.port.isOpen());
    }

    void missingAcknowledgementFailsTheWrite() {
        FaultOptions f;
        f.noAck = true;
        Rig rig(withFaults(f));
        QVERIFY(rig.start());
        QVERIFY(!rig.special(2));
        QVERIFY(rig.log.isEmpty());
        QVERIFY(rig.port.isOpen());
        QVERIFY(rig.proto.Query(0x80, 2)); // reads are not touched
        // The device still carried the write out.
        QCOMPARE(rig.sim.device().records().info.ActiveFlags & 1, 1);
    }

    // The pty vanishes in the middle of a reply: a port error, logged with its text.
    void closedMidTransferIsAPortError() {
        FaultOptions f;
        f.closeAfter = 1;
        Rig rig(withFaults(f));
        QVERIFY(rig.start());
        QVERIFY(rig.proto.Query(0x80, 2));
        QVERIFY(!rig.proto.Query(0x81, 52));
        QTRY_VERIFY(rig.sim.server().closedByFault());
        QCOMPARE(rig.log, QStringList{"Connection closed by the other side"});
        QVERIFY(!rig.proto.Query(0x80, 2));
        QCOMPARE(rig.log.size(), 2); // and every later command fails with a port error
        QVERIFY(!rig.log[1].isEmpty());
    }

    // The same seed hits the same commands.
    void faultsRepeatWithTheSeed() {
        FaultOptions f;
        f.wrongEcho = true;
        f.rate = 0.5;
        f.seed = 7;
        auto run = [&] {
            Rig rig(withFaults(f));
            if (!rig.start()) return QString("no start");
            QString s;
            for (int i = 0; i < 24; ++i)
                s += rig.proto.Query(0x80, 2) ? '.' : 'x';
            return s;
        };
        const QString a = run();
        QCOMPARE(run(), a);
        QVERIFY2(a.contains('x') && a.contains('.'), qPrintable(a));
    }

    void faultsChangeWhileRunning() {
        Rig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.proto.Query(0x80, 2));
        FaultOptions f;
        f.wrongEcho = true;
        rig.sim.server().setFaults(f);
        QVERIFY(!rig.proto.Query(0x80, 2));
        rig.sim.server().setFaults({});
        QVERIFY(rig.proto.Query(0x80, 2));
    }

    // Paced at 11520 bytes/s, a chart read (3 + 163 bytes on the line) takes over 14 ms.
    void lineSpeedPacesReplies() {
        SimConfig c;
        c.server.lineSpeed = true;
        c.server.latencyMs = 10;
        Rig rig(c);
        QVERIFY(rig.start());
        QElapsedTimer t;
        t.start();
        QVERIFY(rig.proto.Query(0x87, 80));
        QVERIFY2(t.elapsed() >= 24, qPrintable(QString::number(t.elapsed())));
    }

    // The program: first line is the pty; --link and --log-file work; SIGTERM ends it.
    void runsAsAProcess() {
        const QString bin = qEnvironmentVariable("QUENDA_BIN");
        if (bin.isEmpty()) QSKIP("QUENDA_BIN not set");
        QTemporaryDir dir;
        const QString link = dir.filePath("ttySIM"), logFile = dir.filePath("sim.log");
        QProcess p;
        p.start(bin + "/quenda-sim", {"--link", link, "--log-file", logFile, "--rows", "12", "--lower-case"});
        QVERIFY(p.waitForReadyRead(5000));
        const QString slave = QString::fromLocal8Bit(p.readLine()).trimmed();
        QVERIFY2(slave.startsWith("/dev/"), qPrintable(slave));
        QCOMPARE(QFileInfo(link).symLinkTarget(), slave);

        QtSerialPort port(kTimeout);
        QStringList log;
        Protocol proto(port, [&](const QString& s) { log << s; });
        QVERIFY(port.open(link));
        QVERIFY(proto.Query(0x81, 52));
        QCOMPARE(int(proto.buffer().Payload[0]), 12);
        port.close();

        p.terminate();
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(!QFileInfo::exists(link));
        QFile f(logFile);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.value(0), QByteArray("RX 81"));
        QVERIFY(lines.value(1).startsWith("TX 810c"));
        QVERIFY(lines.value(1).endsWith("\\n"));
    }
};

QTEST_GUILESS_MAIN(TestSimPty)
#include "test_sim_pty.moc"
