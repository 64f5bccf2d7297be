// The simulated controller as a state machine, without a terminal: replies, records,
// clock, schedule playback, chart and health, bootloader, persistence, faults.
#include "common/read_commands.h"
#include "sim/faults.h"
#include "sim/sim_device.h"
#include "sim/simulator.h"

#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <cstring>

using namespace quenda;
using namespace quenda::sim;

namespace {

// A hand-driven clock, so that time only moves when a test says so.
struct ManualClock {
    std::shared_ptr<std::atomic<int64_t>> ms = std::make_shared<std::atomic<int64_t>>(1000);
    SimDevice::Clock fn() const {
        auto p = ms;
        return [p] { return p->load(); };
    }
    void advance(int64_t d) { *ms += d; }
};

DeviceOptions at(const QDateTime& t) {
    DeviceOptions o;
    o.clock = t;
    return o;
}

QByteArray hexOf(const void* p, int n) {
    return QByteArray(static_cast<const char*>(p), n).toHex().toUpper();
}

template <class R> R decode(const QByteArray& reply) {
    R r;
    const QByteArray bytes = QByteArray::fromHex(reply.mid(2, 2 * int(sizeof(R))));
    std::memcpy(&r, bytes.constData(), sizeof(R));
    return r;
}

TInfo infoOf(SimDevice& d) {
    return decode<TInfo>(d.handle("81").bytes);
}

// A SetInfo line that changes nothing but what the caller fills in.
TInfo maskedInfo() {
    TInfo in{};
    in.Minute = -1;
    in.CurrentRow = -1;
    for (size_t k = 0; k < std::size(in.Channel); ++k)
        in.Channel[k] = -1;
    return in;
}
QByteArray setInfoLine(const TInfo& in) {
    return "01" + hexOf(&in, sizeof in);
}

} // namespace

class TestSimDevice : public QObject {
    Q_OBJECT
private slots:
    // Exact reply lengths, echo and line end for every read command.
    void readRepliesHaveExactLengths_data() {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<int>("n");
        for (const testing::ReadCommand& c : testing::kReadCommands)
            QTest::newRow(c.name) << QByteArray::number(c.code, 16).toUpper() << c.n;
    }
    void readRepliesHaveExactLengths() {
        QFETCH(QByteArray, code);
        QFETCH(int, n);
        SimDevice d;
        const Response r = d.handle(code);
        QCOMPARE(r.kind, Response::Kind::Record);
        QCOMPARE(int(r.bytes.size()), 2 * (n + 1) + 1);
        QVERIFY(r.bytes.startsWith(code));
        QVERIFY(r.bytes.endsWith('\n'));
        QCOMPARE(QByteArray::fromHex(r.bytes.chopped(1)).toHex().toUpper(), r.bytes.chopped(1));
    }

    void identityAndOptions() {
        DeviceOptions o;
        o.hardwareType = 7;
        o.version = 4;
        o.lowerCaseHex = true;
        o.lineEnd = '\r';
        o.waterSensor = false;
        o.slave = false;
        SimDevice d(o);
        QCOMPARE(d.handle("80").bytes, QByteArray("800704\r"));
        const QByteArray info = d.handle("81").bytes;
        QCOMPARE(info.mid(2).toLower(), info.mid(2));
        const TInfo in = decode<TInfo>(info);
        QCOMPARE(in.TempWater, kNoMeasurement);
        QCOMPARE(in.TempSlave, kNoMeasurement);
        QVERIFY(in.TempBoard > 200 && in.TempBoard < 600);
        QVERIFY(in.Voltage > 1100 && in.Voltage < 1300);
    }

    // Defaults describe a day: dark night with moon light, bright noon.
    void defaultScheduleIsADay_data() {
        QTest::addColumn<int>("rows");
        QTest::newRow("12") << 12;
        QTest::newRow("24") << 24;
        QTest::newRow("48") << 48;
    }
    void defaultScheduleIsADay() {
        QFETCH(int, rows);
        DeviceOptions o;
        o.rows = rows;
        const Records r = SimDevice::defaults(o);
        QCOMPARE(int(r.schedule.size()), rows);
        QCOMPARE(int(r.info.RowCount), rows);
        int prev = -1, noonSum = 0, midnightSum = 0;
        for (const auto& row : r.schedule) {
            const int t = row.Hour * 60 + row.Minute;
            QVERIFY(t > prev);
            prev = t;
            int sum = 0;
            for (int c = 0; c < kChannels; ++c) {
                QVERIFY(row.Color16[c] >= 0 && row.Color16[c] <= kLevelMax);
                sum += row.Color16[c];
            }
            if (row.Hour == 12) noonSum = std::max(noonSum, sum);
            if (row.Hour == 0) midnightSum = sum;
        }
        QVERIFY(noonSum > 20000);
        QVERIFY(midnightSum > 0 && midnightSum < 500); // moon light only
        QVERIFY(r.schedule[0].Color16[11] > 0);
        for (int c = 0; c < kChannels; ++c)
            QVERIFY(r.config.ColorName[c] <= 15);
    }

    void scheduleRowsFollowEachOtherAndWrap() {
        DeviceOptions o;
        o.rows = 3;
        SimDevice d(o);
        QList<int> seen;
        for (int i = 0; i < 7; ++i)
            seen << int(decode<TScheduleWire>(d.handle("83").bytes).Index);
        QCOMPARE(seen, QList<int>({0, 1, 2, 0, 1, 2, 0}));
    }

    void writtenRecordsReadBack() {
        SimDevice d;
        TConfig c = decode<TConfig>(d.handle("82").bytes);
        c.Mode = 0;
        c.ColorName[5] = 9;
        c.Lat = -337;
        QCOMPARE(d.handle("02" + hexOf(&c, sizeof c)).kind, Response::Kind::Ack);
        QCOMPARE(d.handle("82").bytes, "82" + hexOf(&c, sizeof c) + '\n');

        TExpert e = decode<TExpert>(d.handle("85").bytes);
        e.Bias = 120;
        e.Step = 0x1035;
        QCOMPARE(d.handle("05" + hexOf(&e, sizeof e)).kind, Response::Kind::Ack);
        QCOMPARE(d.handle("85").bytes, "85" + hexOf(&e, sizeof e) + '\n');

        TExpertWeather w = decode<TExpertWeather>(d.handle("86").bytes);
        w.WeatherDelay[11] = 255;
        w.MoonColor16[0] = 4096;
        QCOMPARE(d.handle("06" + hexOf(&w, sizeof w)).kind, Response::Kind::Ack);
        QCOMPARE(d.handle("86").bytes, "86" + hexOf(&w, sizeof w) + '\n');

        TScheduleWire row{};
        row.Index = 5;
        row.Row.Hour = 23;
        row.Row.Minute = 59;
        row.Row.Color16[3] = 1234;
        row.Row.Switch = 0x1F;
        QCOMPARE(d.handle("03" + hexOf(&row, sizeof row)).kind, Response::Kind::Ack);
        QCOMPARE(std::memcmp(&d.records().schedule[5], &row.Row, sizeof row.Row), 0);
        row.Index = 24; // beyond the schedule
        QCOMPARE(d.handle("03" + hexOf(&row, sizeof row)).kind, Response::Kind::Rejected);
    }

    // SetInfo: 0xFF/0xFFFF fields stay untouched, the others apply.
    void setInfoHonoursMasks() {
        ManualClock clk;
        SimDevice d(at(QDateTime(QDate(2026, 3, 1), QTime(10, 0))), clk.fn());
        d.update([](Records& r) { r.config.Mode = 0; });
        TInfo in = maskedInfo();
        in.Channel[0] = 2048;
        in.Channel[11] = 5000; // clamped
        QCOMPARE(d.handle(setInfoLine(in)).kind, Response::Kind::Ack);
        TInfo got = infoOf(d);
        QCOMPARE(int(got.Channel[0]), 2048);
        QCOMPARE(int(got.Channel[11]), 4096);
        QCOMPARE(int(got.Hour), 10); // clock untouched
        const int before1 = got.Channel[1];

        in = maskedInfo();
        in.Year = 26, in.Month = 12, in.Day = 6, in.Hour = 21, in.Minute = 30, in.Second = 15,
        in.Centisecond = 0;
        QCOMPARE(d.handle(setInfoLine(in)).kind, Response::Kind::Ack);
        got = infoOf(d);
        QCOMPARE(d.clock(), QDateTime(QDate(2026, 12, 6), QTime(21, 30, 15)));
        QCOMPARE(int(got.Channel[0]), 2048);
        QCOMPARE(int(got.Channel[1]), before1);

        in = maskedInfo();
        in.CurrentRow = 7;
        d.handle(setInfoLine(in));
        QCOMPARE(int(infoOf(d).CurrentRow), 7);

        in = maskedInfo();
        in.Year = 26, in.Month = 2, in.Day = 30, in.Hour = 1, in.Minute = 2; // no such date
        d.handle(setInfoLine(in));
        QCOMPARE(d.clock().date(), QDate(2026, 12, 6));
    }

    // The clock runs with real time times the time-lapse factor.
    void clockRunsWithTimeLapse() {
        ManualClock clk;
        SimDevice d(at(QDateTime(QDate(2025, 12, 31), QTime(23, 59, 58))), clk.fn());
        clk.advance(2500);
        QCOMPARE(d.clock(), QDateTime(QDate(2026, 1, 1), QTime(0, 0, 0, 500)));
        const TInfo in = infoOf(d);
        QCOMPARE(int(in.Year), 26);
        QCOMPARE(int(in.Centisecond), 50);
        d.update([](Records& r) { r.config.TimeLapse = 60; });
        clk.advance(1000);
        QCOMPARE(d.clock(), QDateTime(QDate(2026, 1, 1), QTime(0, 1, 0, 500)));
    }

    // Mode Auto: linear between rows; a cloud dims, Manual ignores toggles.
    void autoLevelsFollowTheSchedule() {
        ManualClock clk;
        SimDevice d(at(QDateTime(QDate(2026, 6, 1), QTime(7, 0))), clk.fn());
        d.update([](Records& r) {
            r.schedule.assign(2, TScheduleRow{});
            r.schedule[0].Hour = 6;
            r.schedule[1].Hour = 8;
            r.schedule[1].Color16[0] = 4096;
            r.schedule[1].Color16[1] = 1000;
            r.config.Mode = 1;
            // Nothing starts by chance; a cloud lasts until stopped, a storm a few seconds.
            r.config.CloudP = r.config.StormP = 0;
            r.config.CloudD = 0;
            r.config.StormD = 0xFFFF;
        });
        TInfo in = infoOf(d);
        QCOMPARE(int(in.RowCount), 2);
        QCOMPARE(int(in.CurrentRow), 0);
        QCOMPARE(int(in.Channel[0]), 2048);
        QCOMPARE(int(in.Channel[1]), 500);
        clk.advance(90 * 60000); // 08:30: after the last row, flat until 06:00 next day
        in = infoOf(d);
        QCOMPARE(int(in.CurrentRow), 1);
        QCOMPARE(int(in.Channel[0]), 4096 - int(std::lround(4096 * 30.0 / 1320)));

        QCOMPARE(d.handle("7F02").kind, Response::Kind::Ack);
        in = infoOf(d);
        QCOMPARE(in.ActiveFlags & 0x01, 1);
        QVERIFY(in.Channel[0] < 4096 * 0.7); // cloud alpha 60 %
        d.handle("7F03");
        QCOMPARE(infoOf(d).ActiveFlags & 0x03, 3);
        d.handle("7F02");
        QCOMPARE(infoOf(d).ActiveFlags & 0x03, 2);
        clk.advance(11 * 60000); // the storm blows over
        QCOMPARE(infoOf(d).ActiveFlags & 0x03, 0);

        d.update([](Records& r) { r.config.Mode = 0; });
        d.handle("7F02");
        QCOMPARE(infoOf(d).ActiveFlags & 0x01, 0);
    }

    // Clouds and thunderstorms come and go by the chances of the configuration: the
    // long-run share under each and the number per day follow them, the same for
    // the same seed.
    void weatherFollowsTheChances() {
        struct Run {
            QByteArray flags; // one sample every 20 s
            int clouds = 0, storms = 0;
            double cloudShare = 0, stormShare = 0;
        };
        constexpr int kDays = 8, kSamples = kDays * 24 * 180;
        auto run = [](uint64_t seed) {
            ManualClock clk;
            DeviceOptions o = at(QDateTime(QDate(2026, 6, 1), QTime(0, 0)));
            o.weatherSeed = seed;
            SimDevice d(o, clk.fn());
            d.update([](Records& r) {
                r.config.Mode = 2;
                r.config.CloudP = 60; // 100 a day of 300 s
                r.config.CloudD = 174;
                r.config.StormP = 97; // 70 a week of 60 min
                r.config.StormD = 233;
            });
            Run out;
            uint8_t before = 0;
            for (int i = 0; i < kSamples; ++i) {
                clk.advance(20000);
                const uint8_t f = d.records().info.ActiveFlags & 0x03;
                out.flags.append(char(f));
                out.clouds += (f & 1) && !(before & 1);
                out.storms += (f & 2) && !(before & 2);
                out.cloudShare += (f & 1) / double(kSamples);
                out.stormShare += (f & 2) / 2.0 / double(kSamples);
                before = f;
            }
            return out;
        };
        const Run a = run(1);
        // Share: start / (start + end), 25.6 % and 29.4 %; count: one per mean gap plus
        // mean length, 73 clouds and 7 storms a day. The bounds allow the draws' spread.
        QVERIFY2(a.cloudShare > 0.22 && a.cloudShare < 0.30, qPrintable(QString::number(a.cloudShare)));
        QVERIFY2(a.stormShare > 0.18 && a.stormShare < 0.45, qPrintable(QString::number(a.stormShare)));
        QVERIFY2(a.clouds > kDays * 60 && a.clouds < kDays * 85, qPrintable(QString::number(a.clouds)));
        QVERIFY2(a.storms > kDays * 4 && a.storms < kDays * 10, qPrintable(QString::number(a.storms)));
        QCOMPARE(run(1).flags, a.flags);
        QVERIFY(run(2).flags != a.flags);
    }

    void chartAndHealthAreRecorded() {
        ManualClock clk;
        SimDevice d(at(QDateTime(QDate(2026, 6, 1), QTime(12, 0))), clk.fn());
        d.update([](Records& r) {
            r.expert.ChartInterval = 1;
            r.expert.ChartMode = 2; // voltage
            r.config.TimeLapse = 10;
            for (size_t k = 0; k < std::size(r.chart.Sample); ++k)
                r.chart.Sample[k] = kNoMeasurement;
        });
        const uint32_t healthBefore =
            healthCounter(d.records().health, 7) + healthCounter(d.records().health, 8);
        clk.advance(6000 * 3 + 100); // three device minutes
        const Records r = d.records();
        for (int i = 0; i < 3; ++i)
            QVERIFY2(r.chart.Sample[i] > 1150 && r.chart.Sample[i] < 1250, qPrintable(QString::number(i)));
        QCOMPARE(r.chart.Sample[3], kNoMeasurement);
        // 180 device seconds are 12 periods of 15 s, in one voltage band.
        QCOMPARE(healthCounter(r.health, 7) + healthCounter(r.health, 8), healthBefore + 12);
        QCOMPARE(decode<TChart>(d.handle("87").bytes).Sample[0], r.chart.Sample[0]);
    }

    void saveSetsStatusBrieflyAndPersists() {
        QTemporaryDir dir;
        const QString path = dir.filePath("state.txt");
        ManualClock clk;
        DeviceOptions o;
        o.statePath = path;
        o.rows = 16;
        {
            SimDevice d(o, clk.fn());
            d.update([](Records& r) {
                r.config.Lat = 123;
                r.schedule[3].Color16[2] = 777;
                r.weather.Balance[4] = 50;
            });
            QCOMPARE(d.handle("7F01").kind, Response::Kind::Ack);
            QCOMPARE(infoOf(d).StatusFlags & 0x10, 0x10);
            clk.advance(2000);
            QCOMPARE(infoOf(d).StatusFlags & 0x10, 0);
            QCOMPARE(d.saves(), 1);
        }
        o.rows = 30; // the saved schedule wins
        SimDevice again(o, clk.fn());
        const Records r = again.records();
        QCOMPARE(int(r.config.Lat), 123);
        QCOMPARE(int(r.schedule.size()), 16);
        QCOMPARE(int(r.schedule[3].Color16[2]), 777);
        QCOMPARE(int(r.weather.Balance[4]), 50);
    }

    void damagedStateFileIsIgnored() {
        QTemporaryDir dir;
        const QString path = dir.filePath("state.txt");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        DeviceOptions o;
        // A line of the right length with one digit that is not hexadecimal.
        const TConfig fresh = SimDevice::defaults(o).config;
        QByteArray config = QByteArray(reinterpret_cast<const char*>(&fresh), sizeof fresh).toHex().toUpper();
        config[5] = 'G';
        f.write("Config=00\nRow=zz\n=\nExpert=" + QByteArray(112, 'G') + "\n\x01\x02garbage\nConfig=" + config +
                "\n");
        f.close();
        o.statePath = path;
        SimDevice d(o);
        const Records r = d.records();
        QCOMPARE(int(r.schedule.size()), 24);
        QVERIFY(std::memcmp(&r.config, &fresh, sizeof fresh) == 0);
    }

    void loadReefChangesThePreset() {
        SimDevice d;
        const Records before = d.records();
        QCOMPARE(d.handle("7F04").kind, Response::Kind::Ack);
        const Records after = d.records();
        QCOMPARE(after.schedule.size(), before.schedule.size());
        QVERIFY(std::memcmp(after.config.ColorName, before.config.ColorName, 12) != 0);
        QVERIFY(std::memcmp(after.schedule.data(), before.schedule.data(),
                            before.schedule.size() * sizeof(TScheduleRow)) != 0);
    }

    void bootloaderTakesBlocksAndResets() {
        SimDevice d;
        d.update([](Records& r) { r.config.Lat = 1; });
        const Response start = d.handle("7F00");
        QCOMPARE(start.kind, Response::Kind::None);
        QVERIFY(start.bytes.isEmpty());
        QVERIFY(d.inBootloader());
        QCOMPARE(d.handle("80").bytes, QByteArray("800405\n"));
        const TBootInfo b = decode<TBootInfo>(d.handle("81").bytes);
        QCOMPARE(int(b.PageSize), 128);
        QCOMPARE(b.FlashSize, 65536u);
        QCOMPARE(d.handle("82").kind, Response::Kind::Rejected);

        uint32_t sum = 0;
        for (int a = 0; a < 0x100; a += 64) {
            TFirmwareBlock blk{};
            blk.Address = uint16_t(a);
            for (int i = 0; i < 64; ++i)
                sum += (blk.Data[i] = uint8_t(a + i * 3));
            QCOMPARE(d.handle("02" + hexOf(&blk, sizeof blk)).kind, Response::Kind::Ack);
        }
        TFirmwareBlock high{};
        high.Address = uint16_t(65536 - 1024); // the bootloader's own kilobyte
        QCOMPARE(d.handle("02" + hexOf(&high, sizeof high)).kind, Response::Kind::Rejected);
        QCOMPARE(d.blocksWritten(), 4);
        QCOMPARE(d.imageSum(), sum);
        QCOMPARE(int(d.flash()[0x41]), (64 + 3) & 0xFF);

        const Response reset = d.handle("01000000000000");
        QCOMPARE(reset.kind, Response::Kind::Ack);
        QCOMPARE(reset.events,
                 QStringList{QString("reset blocks=4 first=0x0000 last=0x00ff sum=%1").arg(sum)});
        QVERIFY(!d.inBootloader());
        QCOMPARE(d.handle("80").bytes, QByteArray("800505\n"));
        QCOMPARE(int(d.records().config.Lat), 501); // new firmware, default settings
    }

    void resetWithoutBlocksKeepsSettings() {
        DeviceOptions o;
        o.startInBootloader = true;
        o.pageSize = 64;
        o.flashSize = 32768;
        SimDevice d(o);
        d.update([](Records& r) { r.config.Lat = 1; });
        const TBootInfo b = decode<TBootInfo>(d.handle("81").bytes);
        QCOMPARE(int(b.PageSize), 64);
        QCOMPARE(b.FlashSize, 32768u);
        QCOMPARE(d.handle("01000000000000").events, QStringList{"reset blocks=0"});
        QCOMPARE(int(d.records().config.Lat), 1);
        QCOMPARE(d.resets(), 1);
    }

    // Nothing the line carries may crash the device; useless lines get the reject byte.
    void survivesAnyLine_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("kind");
        const int rej = int(Response::Kind::Rejected);
        QTest::newRow("empty") << QByteArray() << rej;
        QTest::newRow("one digit") << QByteArray("8") << rej;
        QTest::newRow("odd length") << QByteArray("811") << rej;
        QTest::newRow("not hex") << QByteArray("8G") << rej;
        QTest::newRow("binary") << QByteArray("\x00\xFF\x80\x7F", 4) << rej;
        QTest::newRow("unknown read") << QByteArray("89") << rej;
        QTest::newRow("unknown write") << QByteArray("04") << rej;
        QTest::newRow("short SetInfo") << QByteArray("0100") << rej;
        QTest::newRow("special without byte") << QByteArray("7F") << rej;
        QTest::newRow("special 05") << QByteArray("7F05") << rej;
        QTest::newRow("overlong") << QByteArray(2000, 'A') << rej;
        QTest::newRow("longest accepted length") << ("02" + QByteArray(264, '0')) << rej;
        QTest::newRow("read with payload") << QByteArray("80FF") << int(Response::Kind::Record);
        QTest::newRow("lower-case code") << QByteArray("7f01") << int(Response::Kind::Ack);
    }
    void survivesAnyLine() {
        QFETCH(QByteArray, line);
        QFETCH(int, kind);
        SimDevice d;
        const Response r = d.handle(line);
        QCOMPARE(int(r.kind), kind);
        if (r.kind == Response::Kind::Rejected) QCOMPARE(r.bytes, QByteArray("?"));
        QCOMPARE(d.handle("80").bytes, QByteArray("800505\n"));
    }

    // Each fault shapes a reply as documented, the same way for the same seed.
    void faultShapes() {
        const Response record{Response::Kind::Record, "810102030405\n", {}};
        const Response ack{Response::Kind::Ack, "K", {}};
        auto shaped = [](FaultOptions o, const Response& r) {
            FaultInjector f(o);
            f.hears();
            return f.shape(r, nullptr);
        };
        FaultOptions o;
        QCOMPARE(shaped(o, record), record.bytes);
        o.wrongEcho = true;
        QCOMPARE(shaped(o, record), QByteArray("820102030405\n"));
        QCOMPARE(shaped(o, ack), QByteArray("K"));
        o = {};
        o.truncate = true;
        QCOMPARE(shaped(o, record), QByteArray("810102"));
        o = {};
        o.noAck = true;
        QCOMPARE(shaped(o, ack), QByteArray());
        QCOMPARE(shaped(o, record), record.bytes);
        o = {};
        o.garbage = true;
        const QByteArray g = shaped(o, record);
        QCOMPARE(g.size(), record.bytes.size());
        QVERIFY(g.startsWith("81") && g.endsWith('\n'));
        QVERIFY(!QByteArray("0123456789ABCDEFabcdef").contains(g[2]));
        QCOMPARE(shaped(o, record), g);
        o.seed = 2;
        QVERIFY(shaped(o, record) != g);
    }

    void faultCountsAndRate() {
        FaultOptions o;
        o.answerAfter = 2;
        FaultInjector f(o);
        QCOMPARE(QList<bool>({f.hears(), f.hears(), f.hears()}), QList<bool>({false, false, true}));
        o = {};
        o.closeAfter = 1;
        f.reset(o);
        f.hears();
        QVERIFY(!f.closesNow());
        f.hears();
        QVERIFY(f.closesNow());

        // Half the replies hit, the same ones for the same seed, none while skipped.
        o = {};
        o.noAck = true;
        o.rate = 0.5;
        o.skip = 3;
        o.seed = 42;
        auto pattern = [](const FaultOptions& o) {
            FaultInjector f(o);
            QString s;
            for (int i = 0; i < 200; ++i) {
                f.hears();
                s += f.shape({Response::Kind::Ack, "K", {}}, nullptr).isEmpty() ? 'x' : '.';
            }
            return s;
        };
        const QString a = pattern(o);
        QCOMPARE(pattern(o), a);
        QVERIFY(a.startsWith("..."));
        QVERIFY(a.count('x') > 60 && a.count('x') < 140);
        o.seed = 43;
        QVERIFY(pattern(o) != a);
        o.silent = true;
        f.reset(o);
        QVERIFY(!f.hears());
    }

    void commandLine() {
        SimConfig c;
        QString msg;
        QVERIFY(parseArguments({"quenda-sim", "--rows", "12", "--hardware", "7", "--no-slave", "--line-speed",
                                "--garbage", "--fault-rate", "0.25", "--seed", "9", "--close-after", "4",
                                "--link", "/tmp/x", "--log-file", "/tmp/l", "--cr"},
                               c, &msg));
        QCOMPARE(c.device.rows, 12);
        QCOMPARE(int(c.device.hardwareType), 7);
        QVERIFY(!c.device.slave && c.device.waterSensor);
        QVERIFY(c.server.lineSpeed && c.server.faults.garbage);
        QCOMPARE(c.server.faults.rate, 0.25);
        QCOMPARE(c.server.faults.seed, 9u);
        QCOMPARE(c.server.faults.closeAfter, 4);
        QCOMPARE(c.server.linkPath, QString("/tmp/x"));
        QVERIFY(c.log);
        QCOMPARE(c.device.lineEnd, '\r');
        SimConfig bad;
        QVERIFY(!parseArguments({"quenda-sim", "--rows", "300"}, bad, &msg));
        QVERIFY(msg.contains("rows"));
        // The row index on the line is a signed byte.
        QVERIFY(!parseArguments({"quenda-sim", "--rows", "128"}, bad, &msg));
        QVERIFY(msg.contains("--rows") && msg.contains("127"));
        QVERIFY(parseArguments({"quenda-sim", "--rows", "127"}, c, &msg));
        QCOMPARE(c.device.rows, 127);
        QVERIFY(!parseArguments({"quenda-sim", "--fault-rate", "2"}, bad, &msg));
        QVERIFY(!parseArguments({"quenda-sim", "--nonsense"}, bad, &msg));
    }
};

QTEST_GUILESS_MAIN(TestSimDevice)
#include "test_sim_device.moc"
