// The link thread against a scripted device, with the window run headless: connect
// sequence, service order, schedule transfers, termination, port switch and the
// failure modes. Time-outs are virtual and the waits shortened, so it runs in seconds.
#include "lang/texts.h"
#include "link/link_host.h"
#include "link/link_thread.h"
#include "link_test_util.h"

#include <QElapsedTimer>
#include <QTest>
#include <chrono>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

using namespace quenda;
using namespace quenda::testing;

namespace {

constexpr int kStep = 5; // ms per wait step: a "1 s" wait is 50 ms here

struct Rig : LinkRig {
    std::shared_ptr<ScriptedPort> port = std::make_shared<ScriptedPort>();
    std::shared_ptr<PortTap> tap = std::make_shared<PortTap>();
    ScriptedDevice device;
    LinkTiming timing{kStep, 1, 5};

    Rig() {
        port->setResponder([this](const QByteArray& line) { return device.answer(line); });
    }
    ~Rig() { stopLink(); } // the link thread answers through the device
    void start(const QString& portText = QStringLiteral("COM5"), bool debug = false) {
        TthdCom::Options o;
        o.makePort = [p = port, t = tap] { return std::make_unique<TappedPort>(p, t); };
        o.timing = timing;
        startLink(portText, debug, std::move(o));
    }
};

const QString kConnected = QStringLiteral("Connected to Drevanilux 2.x.5 on COM5");

TInfo infoOf(const QByteArray& line) {
    TInfo info;
    const QByteArray payload = QByteArray::fromHex(line.mid(2, 2 * int(sizeof(TInfo))));
    std::memcpy(&info, payload.constData(), sizeof info);
    return info;
}

} // namespace

class TestLinkThread : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { LoadLanguage(LanguageChoice::English); }

    void portNameIsTextBeforeFirstBlank_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::newRow("entry") << "COM5 Bluetooth link"
                               << "COM5";
        QTest::newRow("list entry") << "ttyUSB0 (/dev/ttyUSB0)"
                                    << "ttyUSB0";
        QTest::newRow("bare") << "/dev/pts/7"
                              << "/dev/pts/7";
        QTest::newRow("empty") << ""
                               << "";
    }
    void portNameIsTextBeforeFirstBlank() {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QCOMPARE(TthdCom::PortNameOf(text), name);
    }

    void hardwareNames_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("name");
        QTest::newRow("0") << 0 << "Drevanilux 1.x";
        QTest::newRow("3") << 3 << "Ostrevik 1.x";
        QTest::newRow("7") << 7 << "Ostrevik 2.x";
        QTest::newRow("9") << 9 << "Pellumar 1.x";
        QTest::newRow("12") << 12 << "12";
        QTest::newRow("254") << 254 << "254";
    }
    void hardwareNames() {
        QFETCH(int, type);
        QFETCH(QString, name);
        QCOMPARE(TthdCom::HardwareName(type), name);
    }

    // Opening, identifying, all reads raised at once and served in priority order.
    void connectReadsEveryRecordInOrder() {
        Rig rig;
        rig.device.rows = 5;
        rig.start(QStringLiteral("COM5 Bluetooth link"));
        QVERIFY2(rig.untilEvent(QStringLiteral("ShowWeatherSettings")), qPrintable(rig.dump()));

        QCOMPARE(rig.tap->openedNames(), QStringList{QStringLiteral("COM5")});
        QStringList codes = commandCodes(rig.tap->lines());
        const QStringList expected = {"80", "82", "81", "85", "83", "83", "83", "83", "83", "87", "86"};
        QCOMPARE(codes.mid(0, expected.size()), expected);

        const bool reportsInOrder = rig.onWindow([&](RecordingWindow& w) {
            const QStringList statuses = w.texts(QStringLiteral("status"));
            // Controls enabled before the identification is reported; all reads raised then.
            const int enable = w.indexOf(QStringLiteral("enable"));
            const int ident = w.indexOf(QStringLiteral("status"), kConnected);
            return statuses.mid(0, 3) ==
                       QStringList{"Connecting to COM5...", "Connected to COM5", kConnected} &&
                   enable >= 0 && enable < ident && w.events[ident].requests == rqOnConnect;
        });
        QVERIFY2(reportsInOrder, qPrintable(rig.dump()));

        // The displays follow their reads; the schedule was sized by the info record.
        const QStringList shows = rig.onWindow([](RecordingWindow& w) {
            QStringList s;
            for (const auto& e : w.events)
                if (e.kind.startsWith(QLatin1String("Show")) || e.kind.startsWith(QLatin1String("Draw")))
                    s << e.kind;
            return s;
        });
        QCOMPARE(shows, (QStringList{"ShowModeAndSettings", "ShowDeviceInfo", "ShowExpertSettings",
                                     "ShowSchedule", "DrawChart", "ShowWeatherSettings"}));
        const int rows = rig.onWindow([](RecordingWindow& w) { return int(w.State().Schedule.size()); });
        QCOMPARE(rows, 5);
        const TConfig config = rig.onWindow([](RecordingWindow& w) { return w.State().Config; });
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(&config), sizeof config),
                 ScriptedDevice::pattern(sizeof(TConfig), 2));
        const int row4 = rig.onWindow([](RecordingWindow& w) { return int(w.State().Schedule[4].Hour); });
        QCOMPARE(row4, int(ScriptedDevice::pattern(sizeof(TScheduleWire), 7)[1]));
        QVERIFY(rig.finish());
    }

    // A request burst raised at once (on the window's side, right after the initial
    // read) is served in the fixed order, one command per pass.
    void serviceOrder_data() {
        QTest::addColumn<uint>("raise");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("writes before reads") << uint(rqGetConfig | rqSetConfig | rqGetExpert | rqSetExpert |
                                                     rqGetExpertWeather | rqSetExpertWeather)
                                             << QStringList{"02", "82", "05", "85", "06", "86"};
        QTest::newRow("info reads wait for the three info writes")
            << uint(rqGetInfo | rqSetRow | rqSetChannels | rqSetTime) << QStringList{"01", "01", "01", "81"};
        QTest::newRow("chart, health, special functions")
            << uint(rqToggleStorm | rqToggleCloud | rqSaveEEPROM | rqGetHealth | rqGetChart)
            << QStringList{"87", "88", "7F", "7F", "7F"};
        QTest::newRow("reef preset raises all reads")
            << uint(rqSaveEEPROM | rqLoadReef)
            << QStringList{"7F", "82", "81", "85", "83", "83", "83", "83", "86", "7F"};
        QTest::newRow("schedule upload before download")
            << uint(rqGetSchedule) << QStringList{"03", "03", "83", "83", "83", "83"};
    }
    void serviceOrder() {
        QFETCH(uint, raise);
        QFETCH(QStringList, expected);
        Rig rig;
        rig.device.rows = 4;
        std::atomic<int> from{-1};
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        const bool markRows = tag.startsWith(QLatin1String("schedule"));
        rig.window.onEvent = [&](const WindowEvent& e) {
            if (e.kind != QLatin1String("ShowWeatherSettings") || from >= 0) return;
            from = int(rig.tap->lines().size());
            // Schedule edits mark rows and raise rqSetSchedule together.
            if (markRows) {
                rig.state->markRowsForUpload(3, 3);
                rig.state->markRowsForUpload(1, 1);
            }
            rig.state->raise(raise);
        };
        rig.start();
        QVERIFY(
            waitFor([&] { return from >= 0 && rig.tap->lines().size() >= from + expected.size(); }, 5000));
        const QList<QByteArray> lines = rig.tap->lines();
        QCOMPARE(commandCodes(lines, from).mid(0, expected.size()), expected);

        if (tag.startsWith(QLatin1String("info reads"))) {
            // Each SetInfo carries only the group its request means.
            const TInfo time = infoOf(lines[from]), channels = infoOf(lines[from + 1]),
                        row = infoOf(lines[from + 2]);
            QCOMPARE(int(time.Channel[0]), -1);
            QCOMPARE(time.CurrentRow, int8_t(-1));
            QVERIFY(time.Minute != -1);
            QCOMPARE(channels.Minute, int8_t(-1));
            QCOMPARE(channels.CurrentRow, int8_t(-1));
            QCOMPARE(row.Minute, int8_t(-1));
            QCOMPARE(int(row.Channel[11]), -1);
        } else if (tag.startsWith(QLatin1String("chart"))) {
            QCOMPARE(lines[from + 2], QByteArray("7F01\n"));
            QCOMPARE(lines[from + 3], QByteArray("7F02\n"));
            QCOMPARE(lines[from + 4], QByteArray("7F03\n"));
        } else if (tag.startsWith(QLatin1String("reef"))) {
            QCOMPARE(lines[from], QByteArray("7F04\n"));
        } else if (tag.startsWith(QLatin1String("schedule"))) {
            QVERIFY(lines[from].startsWith("0301")); // lowest marked row first
            QVERIFY(lines[from + 1].startsWith("0303"));
        }
        QVERIFY(rig.finish());
    }

    // An idle link serves a raised request at once, with the levels the window had
    // when it raised it, and keeps polling every half second however often the window
    // raises requests.
    void raiseWakesIdleLinkAndPollKeepsItsPace() {
        using Clock = std::chrono::steady_clock;
        std::mutex m;
        std::vector<std::pair<QByteArray, Clock::time_point>> written;
        auto startTimed = [&](Rig& rig) {
            rig.port->setResponder([&](const QByteArray& line) {
                {
                    std::lock_guard g(m);
                    written.emplace_back(line, Clock::now());
                }
                return rig.device.answer(line);
            });
            rig.start();
            return rig.untilEvent(QStringLiteral("ShowWeatherSettings"));
        };
        // The window sets a channel's level and raises its SetInfo.
        auto edit = [](Rig& rig, int channel, int level) {
            rig.onWindow([&](RecordingWindow& w) {
                w.State().Info.Channel[channel] = int16_t(level);
                w.State().raiseFromWindow(rqSetChannels);
                return 0;
            });
        };
        // Edits every `ms` for `forMs`.
        auto editFor = [&](Rig& rig, int channel, int forMs, int ms) {
            QElapsedTimer t;
            t.start();
            for (int i = 0; t.elapsed() < forMs; ++i) {
                edit(rig, channel, i);
                QTest::qWait(ms);
            }
        };
        auto lastSetInfo = [&]() -> std::optional<std::pair<QByteArray, Clock::time_point>> {
            std::lock_guard g(m);
            for (auto it = written.rbegin(); it != written.rend(); ++it)
                if (it->first.startsWith("01")) return *it;
            return std::nullopt;
        };
        {
            // An idle wait of a second: a link that sleeps it out misses the bound.
            Rig rig;
            rig.timing.idleSleepMs = 1000;
            QVERIFY(startTimed(rig));
            for (int level = 100; level < 106; ++level) {
                QTest::qWait(7 * (level % 3) + 3);
                const auto raisedAt = Clock::now();
                edit(rig, 0, level);
                QVERIFY(waitFor([&] { return lastSetInfo() && lastSetInfo()->second >= raisedAt; }, 2000));
                const auto [line, at] = *lastSetInfo();
                QVERIFY2(at - raisedAt < std::chrono::milliseconds(50),
                         qPrintable(QString::number((at - raisedAt) / std::chrono::microseconds(1))));
                QCOMPARE(int(infoOf(line).Channel[0]), level);
            }
            QVERIFY(rig.finish());
        }
        {
            std::lock_guard g(m);
            written.clear();
        }
        Rig rig;
        rig.timing.idleSleepMs = 20; // the product's pace: a poll every 25 idle passes' time
        QVERIFY(startTimed(rig));
        editFor(rig, 1, 2600, 2); // a burst
        std::vector<Clock::time_point> polls;
        {
            std::lock_guard g(m);
            for (const auto& [line, at] : written)
                if (line.startsWith("82")) polls.push_back(at);
        }
        QVERIFY2(polls.size() >= 4, qPrintable(QString::number(polls.size())));
        for (size_t i = 2; i < polls.size(); ++i) { // the first follows the initial read
            const auto gap = (polls[i] - polls[i - 1]) / std::chrono::milliseconds(1);
            QVERIFY2(gap >= 400 && gap <= 800, qPrintable(QString::number(gap)));
        }

        // Edits at a hand's pace: each poll goes right after an edit, so the next edit
        // does not find its replies on the line.
        size_t from = 0;
        {
            std::lock_guard g(m);
            from = written.size();
        }
        editFor(rig, 2, 1600, 40);
        QVERIFY(rig.finish());
        int handPolls = 0;
        for (size_t i = from + 1; i < written.size(); ++i) {
            if (!written[i].first.startsWith("82")) continue;
            ++handPolls;
            QVERIFY(written[i - 1].first.startsWith("01"));
            const auto after = (written[i].second - written[i - 1].second) / std::chrono::microseconds(1);
            QVERIFY2(after < 15000, qPrintable(QString::number(after)));
        }
        QVERIFY2(handPolls >= 2, qPrintable(QString::number(handPolls)));
    }

    // Rows 3 and 7: one row per pass, and a third pass that only clears the bit.
    void scheduleUploadTakesThreePasses() {
        Rig rig;
        rig.device.rows = 10;
        std::atomic<int> from{-1};
        rig.window.onEvent = [&](const WindowEvent& e) {
            if (e.kind == QLatin1String("ShowWeatherSettings") && from < 0) {
                from = int(rig.tap->lines().size());
                rig.state->markRowsForUpload(7, 7);
                rig.state->markRowsForUpload(3, 3);
            }
        };
        rig.start();
        QVERIFY(waitFor([&] { return from >= 0; }, 5000));
        QVERIFY(waitFor([&] { return !rig.state->isRaised(rqSetSchedule); }, 5000));
        const QList<QByteArray> lines = rig.tap->lines();
        QStringList uploads;
        for (int i = from; i < lines.size(); ++i)
            if (lines[i].startsWith("03")) uploads << QString::fromLatin1(lines[i].left(4));
        QCOMPARE(uploads, (QStringList{"0303", "0307"}));
        QCOMPARE(lines[from].size(), 2 + 64 + 1);
        QVERIFY(!rig.state->isMarked(3) && !rig.state->isMarked(7));
        QVERIFY(rig.finish());
    }

    // A read asked for again while its reply is on the line (a chart mode chosen, a
    // Refresh during the download) is served once more: the reply may predate the change.
    void readAskedForAgainOnTheLineIsServedAgain() {
        Rig rig;
        rig.device.rows = 5;
        std::atomic<int> charts{0}, rows{0};
        rig.device.beforeAnswer = [&](const QByteArray& line) {
            if (line.startsWith("87") && ++charts == 1) rig.state->raise(rqGetChart);
            if (line.startsWith("83") && ++rows == 3) rig.state->raise(rqGetSchedule);
        };
        rig.start();
        QVERIFY2(rig.until([](RecordingWindow& w) {
            return w.count(QStringLiteral("DrawChart")) == 2 && w.count(QStringLiteral("ShowSchedule")) == 2;
        }),
                 qPrintable(rig.dump()));
        QVERIFY(waitFor([&] { return !rig.state->isRaised(rqGetChart | rqGetSchedule); }, 2000));
        const QStringList codes = commandCodes(rig.tap->lines());
        QCOMPARE(codes.count(QStringLiteral("87")), 2);
        QCOMPARE(codes.count(QStringLiteral("83")), 10);
    }

    // Terminate while rows arrive: the download stops after the current row, its bit
    // is cleared, and the link ends with its last report.
    void terminateDuringScheduleDownload() {
        Rig rig;
        rig.device.rows = 40;
        std::atomic<int> rowsAnswered{0};
        rig.device.beforeAnswer = [&](const QByteArray& line) {
            if (!line.startsWith("83")) return;
            if (++rowsAnswered == 5) rig.link->Terminate();
        };
        rig.start();
        QVERIFY(waitFor([&] { return rig.link->Finished(); }, 5000));
        QVERIFY(rig.until([](RecordingWindow& w) { return w.count(QStringLiteral("disable")) > 0; }));
        QCOMPARE(rowsAnswered.load(), 5);
        QVERIFY(!rig.state->isRaised(rqGetSchedule));
        const bool endedCleanly = rig.onWindow([](RecordingWindow& w) {
            const auto& last = w.events.last();
            const auto& beforeLast = w.events[w.events.size() - 2];
            return last.kind == QLatin1String("disable") &&
                   beforeLast.text == QLatin1String("Disconnected from COM5") &&
                   w.count(QStringLiteral("ShowSchedule")) == 0;
        });
        QVERIFY2(endedCleanly, qPrintable(rig.dump()));
    }

    // A schedule read that fails while the identity changes to the application (a
    // bootloader that restarted into new firmware): the identification raises all reads,
    // and the schedule read among them survives the end of the failed download.
    void scheduleReadRaisedByIdentificationSurvives() {
        Rig rig;
        rig.device.type = kHardwareBootloader;
        rig.device.version = 1;
        std::atomic<int> from{-1};
        rig.device.intercept = [&](const QByteArray& line, QByteArray& reply) {
            if (!line.startsWith("83") || from >= 0) return false;
            from = int(rig.tap->lines().size()) + 1; // after this line
            rig.device.type = kHardwareApplication;
            rig.device.version = kSupportedVersion;
            reply = "8301\r"; // too short: the read fails, the port stays open
            return true;
        };
        rig.start();
        QVERIFY(rig.untilEvent(QStringLiteral("status"),
                               QStringLiteral("Connected to Drevanilux bootloader on COM5")));
        rig.host->Inspect([](LinkWindow& w) {
            w.State().Info.RowCount = 2;
            w.State().raise(rqGetSchedule);
        });
        QVERIFY2(rig.untilEvent(QStringLiteral("ShowWeatherSettings")), qPrintable(rig.dump()));
        QVERIFY(rig.finish());
        const QStringList codes = commandCodes(rig.tap->lines(), from);
        QCOMPARE(codes.mid(0, 4), (QStringList{"80", "82", "81", "85"}));
        QCOMPARE(codes.count(QStringLiteral("83")), rig.device.rows.load());
        QCOMPARE(rig.onWindow([](RecordingWindow& w) { return int(w.State().Schedule.size()); }),
                 rig.device.rows.load());
    }

    // Another port chosen while connected: controls off, the old port closed, and the
    // connect sequence runs on the new one with the requests cleared.
    void portSwitchWhileConnected() {
        Rig rig;
        rig.start();
        QVERIFY(rig.untilEvent(QStringLiteral("ShowWeatherSettings")));
        const int before = rig.onWindow([](RecordingWindow& w) { return int(w.events.size()); });
        rig.state->raise(rqGetHealth | rqSaveEEPROM); // must not survive the switch
        rig.link->SetPortName(QStringLiteral("COM7 (usb)"), false);
        QVERIFY(rig.untilEvent(QStringLiteral("status"),
                               QStringLiteral("Connected to Drevanilux 2.x.5 on COM7")));
        QCOMPARE(rig.link->WantedPortName(), QStringLiteral("COM7"));
        QCOMPARE(rig.tap->openedNames(), (QStringList{"COM5", "COM7"}));
        QCOMPARE(rig.port->closes(), 1);
        const bool switched = rig.onWindow([&](RecordingWindow& w) {
            const int off = w.indexOf(QStringLiteral("disable"), QString(), before);
            const int connecting =
                w.indexOf(QStringLiteral("status"), QStringLiteral("Connecting to COM7..."), before);
            return off >= 0 && connecting > off && w.events[connecting].requests == 0;
        });
        QVERIFY2(switched, qPrintable(rig.dump()));
        QVERIFY(rig.finish());
        QVERIFY(rig.until([](RecordingWindow& w) {
            return w.count(QStringLiteral("status"), QStringLiteral("Disconnected from COM7")) == 1;
        }));
    }

    // A device that never answers: one 5 s read, "No data.", the connection error, a
    // one-second wait and a new connect sequence, over and over.
    void silentDevice() {
        Rig rig;
        rig.device.fault = ScriptedDevice::Fault::Silent;
        rig.start();
        QVERIFY(rig.until([](RecordingWindow& w) {
            return w.count(QStringLiteral("status"), QStringLiteral("Connecting to COM5...")) >= 3;
        }));
        QVERIFY(rig.finish());
        const bool reported = rig.onWindow([&](RecordingWindow& w) {
            const QStringList s = w.texts(QStringLiteral("status"));
            const QStringList l = w.texts(QStringLiteral("log"));
            if (s.mid(0, 4) != QStringList{"Connecting to COM5...", "Connected to COM5",
                                           "Connection error or wrong serial port", "Connecting to COM5..."})
                return false;
            // One try only: the zero-character reply closed the port.
            if (l.mid(0, 3) != QStringList{"No data.", "Timeout while waiting for data.", "No data."})
                return false;
            // The wait between the error and the next attempt is ten wait steps.
            const int err =
                w.indexOf(QStringLiteral("status"), QStringLiteral("Connection error or wrong serial port"));
            const int again =
                w.indexOf(QStringLiteral("status"), QStringLiteral("Connecting to COM5..."), err);
            return w.events[again].ms - w.events[err].ms >= 10 * kStep - 1 &&
                   w.count(QStringLiteral("enable")) == 0;
        });
        QVERIFY2(reported, qPrintable(rig.dump()));
        // One read per identification: the zero-character reply closed the port.
        const int writes = int(rig.tap->lines().size());
        QCOMPARE(rig.port->timeouts(), writes);
        QCOMPARE(rig.port->nowMs(), qint64(writes) * 5000);
    }

    // Replies that arrive but are unusable keep the port open: five identification
    // tries, then the lost-device path.
    void unusableRepliesAfterConnect_data() {
        QTest::addColumn<int>("fault");
        QTest::newRow("garbage") << int(ScriptedDevice::Fault::Garbage);
        QTest::newRow("wrong echo") << int(ScriptedDevice::Fault::WrongEcho);
        QTest::newRow("truncated") << int(ScriptedDevice::Fault::Truncated);
    }
    void unusableRepliesAfterConnect() {
        QFETCH(int, fault);
        Rig rig;
        std::atomic<int> closesAtError{-1};
        rig.window.onEvent = [&](const WindowEvent& e) {
            if (e.text == QLatin1String("Connection error or wrong serial port") && closesAtError < 0)
                closesAtError = rig.port->closes();
        };
        rig.start();
        QVERIFY(rig.untilEvent(QStringLiteral("ShowWeatherSettings")));
        const int from = int(rig.tap->lines().size());
        rig.device.fault = ScriptedDevice::Fault(fault);
        QVERIFY(rig.untilEvent(QStringLiteral("status"),
                               QStringLiteral("Connection error or wrong serial port")));
        const bool lost = rig.onWindow([&](RecordingWindow& w) {
            const int off = w.indexOf(QStringLiteral("disable"));
            return off >= 0 && w.events[off].requests == 0 &&
                   w.count(QStringLiteral("log"), QStringLiteral("Timeout while waiting for data.")) == 5 &&
                   w.count(QStringLiteral("log"), QStringLiteral("No data.")) == 0;
        });
        QVERIFY2(lost, qPrintable(rig.dump()));
        // Five GetDevice tries on a port that stays open.
        const QStringList codes = commandCodes(rig.tap->lines(), from);
        const int firstTry = int(codes.indexOf(QStringLiteral("80")));
        QVERIFY(firstTry >= 1);
        QCOMPARE(codes.mid(firstTry, 5), QStringList(5, QStringLiteral("80")));
        QCOMPARE(closesAtError.load(), 0);

        // The device recovers: the reconnect finds it again.
        rig.device.fault = ScriptedDevice::Fault::None;
        QVERIFY(
            rig.until([](RecordingWindow& w) { return w.count(QStringLiteral("status"), kConnected) == 2; }));
        QVERIFY(rig.finish());
    }

    // The device falls silent while connected: one 5 s try, controls off, reconnect.
    void deviceFallsSilent() {
        Rig rig;
        rig.start();
        QVERIFY(rig.untilEvent(QStringLiteral("ShowWeatherSettings")));
        rig.device.fault = ScriptedDevice::Fault::Silent;
        // The failed poll closed the port; the identification after it fails at once.
        QVERIFY(rig.until([](RecordingWindow& w) {
            return w.count(QStringLiteral("log"), QStringLiteral("Timeout while waiting for data.")) == 2;
        }));
        const bool lost = rig.onWindow([](RecordingWindow& w) {
            const QStringList l = w.texts(QStringLiteral("log"));
            return w.count(QStringLiteral("disable")) == 1 &&
                   l.mid(0, 3) ==
                       QStringList{"No data.", "Port not open", "Timeout while waiting for data."} &&
                   w.count(QStringLiteral("status"), QStringLiteral("Connecting to COM5...")) == 2;
        });
        QVERIFY2(lost, qPrintable(rig.dump()));
        QVERIFY(rig.finish());
    }

    // Wrong firmware version: reported once, controls stay off, nothing but
    // identifications on the line, and the port stays open.
    void wrongVersion() {
        Rig rig;
        rig.device.version = 4;
        rig.start();
        QVERIFY(rig.untilEvent(
            QStringLiteral("status"),
            QStringLiteral(
                "Drevanilux 2.x.4 on COM5 detected (different firmware version). Please use the correct "
                "software version or update the firmware (see menu \"File\")!")));
        QVERIFY(waitFor([&] { return rig.tap->lines().size() >= 4; }, 5000)); // re-identified every 25 passes
        QVERIFY(rig.finish());
        QCOMPARE(commandCodes(rig.tap->lines()), QStringList(rig.tap->lines().size(), QStringLiteral("80")));
        QCOMPARE(rig.port->closes(), 1); // only the end sequence closed it
        const bool quiet = rig.onWindow([](RecordingWindow& w) {
            return w.count(QStringLiteral("enable")) == 0 && w.count(QStringLiteral("status")) == 4;
        });
        QVERIFY2(quiet, qPrintable(rig.dump()));
    }

    // The bootloader: reported, and within 25 passes the firmware step reads the boot
    // information, asks for a file, resets the device when none is chosen, identifies
    // again and clears its bit.
    void bootloader() {
        Rig rig;
        rig.device.type = kHardwareBootloader;
        rig.device.version = 1;
        rig.start();
        QVERIFY(rig.untilEvent(QStringLiteral("status"),
                               QStringLiteral("Connected to Drevanilux bootloader on COM5")));
        QVERIFY(rig.untilEvent(QStringLiteral("firmware")));
        QVERIFY(waitFor([&] { return !rig.state->isRaised(rqFirmwareUpdate); }, 2000));
        QVERIFY(rig.finish());
        const QStringList codes = commandCodes(rig.tap->lines());
        QCOMPARE(codes.mid(0, 4), (QStringList{"80", "81", "01", "80"}));
        QCOMPARE(rig.tap->lines()[2], QByteArray("01000000000000\n"));
        QCOMPARE(rig.onWindow([](RecordingWindow& w) { return w.count(QStringLiteral("enable")); }), 0);
    }

    // Other hardware: reported by name, and the link ends.
    void otherHardware_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("name");
        QTest::newRow("7") << 7 << "Ostrevik 2.x";
        QTest::newRow("12") << 12 << "12";
    }
    void otherHardware() {
        QFETCH(int, type);
        QFETCH(QString, name);
        Rig rig;
        rig.device.type = uint8_t(type);
        rig.start();
        QVERIFY(waitFor([&] { return rig.link->Finished(); }, 5000));
        QVERIFY(rig.until([](RecordingWindow& w) { return w.count(QStringLiteral("disable")) == 2; }));
        const QStringList statuses =
            rig.onWindow([](RecordingWindow& w) { return w.texts(QStringLiteral("status")); });
        QCOMPARE(statuses,
                 (QStringList{"Connecting to COM5...", "Connected to COM5",
                              QStringLiteral("Different hardware \"%1\" detected. Please use the correct "
                                             "software!")
                                  .arg(name),
                              "Disconnected from COM5"}));
        QVERIFY(rig.link->Terminated());
    }

    // Five failed opens, a second apart, then the link gives up.
    void openFailsFiveTimes() {
        Rig rig;
        for (int i = 0; i < 5; ++i)
            rig.port->failNextOpen(QStringLiteral("No such file or directory"));
        QElapsedTimer t;
        t.start();
        rig.start();
        QVERIFY(waitFor([&] { return rig.link->Finished(); }, 5000));
        QVERIFY(t.elapsed() >= 5 * 10 * kStep - 5);
        QVERIFY(rig.until([](RecordingWindow& w) { return w.count(QStringLiteral("disable")) == 1; }));
        const bool gaveUp = rig.onWindow([](RecordingWindow& w) {
            const QStringList s = w.texts(QStringLiteral("status"));
            return s.count(QStringLiteral("Trying again...")) == 4 &&
                   w.count(QStringLiteral("log"), QStringLiteral("No such file or directory")) == 5 &&
                   s.mid(s.size() - 2) ==
                       QStringList{"Error while connecting to COM5", "Disconnected from COM5"};
        });
        QVERIFY2(gaveUp, qPrintable(rig.dump()));
        QVERIFY(rig.tap->lines().isEmpty());
    }

    // Terminate while the open is retried: the wait is left at once.
    void terminateDuringOpenRetries() {
        Rig rig;
        rig.timing.waitStepMs = 100; // the product's step
        for (int i = 0; i < 5; ++i)
            rig.port->failNextOpen(QStringLiteral("busy"));
        rig.start();
        QVERIFY(rig.until(
            [](RecordingWindow& w) { return w.count(QStringLiteral("log"), QStringLiteral("busy")) == 1; }));
        QElapsedTimer t;
        t.start();
        rig.link->Terminate();
        QVERIFY(waitFor([&] { return rig.link->Finished(); }, 1000));
        QVERIFY2(t.elapsed() < 300, qPrintable(QString::number(t.elapsed()))); // not the rest of the second
    }

    // The window refuses hand-overs once it closes: the link takes that as the end. A
    // schedule line goes to the window while the next one is on the wire, so that one
    // line may still be asked for, and no more.
    void refusedHandOverEndsTheLink() {
        Rig rig;
        rig.device.rows = 30;
        rig.device.beforeAnswer = [&](const QByteArray& line) {
            if (line.startsWith("83")) rig.host->Close();
        };
        rig.start();
        QVERIFY(waitFor([&] { return rig.link->Finished(); }, 5000));
        QVERIFY(rig.link->Terminated());
        QVERIFY(!rig.state->isRaised(rqGetSchedule));
        const int calls = rig.host->Calls();
        QTest::qWait(30);
        QCOMPARE(rig.host->Calls(), calls);
        const QStringList codes = commandCodes(rig.tap->lines());
        QVERIFY2(codes.count(QStringLiteral("83")) <= 2, qPrintable(codes.join(QLatin1Char(' '))));
    }

    // In debug mode each command is announced and its lines logged; SetPortName
    // switches the mode on a running link.
    void debugLinesFollowTheSwitch() {
        Rig rig;
        rig.start(QStringLiteral("COM5"), true);
        QVERIFY(rig.untilEvent(QStringLiteral("ShowWeatherSettings")));
        const bool announced = rig.onWindow([](RecordingWindow& w) {
            const QStringList l = w.texts(QStringLiteral("log"));
            const int at = int(l.indexOf(QStringLiteral("GetInfo")));
            return l.first() == QLatin1String("GetDevice") && at >= 0 &&
                   l[at + 1].startsWith(QLatin1String("OUT: \"81\" ")) &&
                   l[at + 2].startsWith(QLatin1String("IN: \"81")) &&
                   l.contains(QStringLiteral("GetExpertWeather"));
        });
        QVERIFY2(announced, qPrintable(rig.dump()));
        rig.link->SetPortName(QStringLiteral("COM5"), false);
        // A pass that began after the switch has ended once the chart is drawn.
        rig.state->raise(rqGetChart);
        QVERIFY(rig.until([](RecordingWindow& w) { return w.count(QStringLiteral("DrawChart")) == 2; }));
        const int logs = rig.onWindow([](RecordingWindow& w) { return w.count(QStringLiteral("log")); });
        rig.state->raise(rqGetHealth);
        QVERIFY(rig.untilEvent(QStringLiteral("DrawHealth")));
        QCOMPARE(rig.onWindow([](RecordingWindow& w) { return w.count(QStringLiteral("log")); }), logs);
        QVERIFY(rig.finish());
    }

    // A read that fails is retried once the device answers the same again; a write
    // that fails is logged and tried again.
    void failedReadAndWriteRetried() {
        Rig rig;
        std::atomic<int> failWrites{0}, failReads{0};
        rig.device.intercept = [&](const QByteArray& line, QByteArray& reply) {
            if (line.startsWith("02") && failWrites.fetch_sub(1) == 1) return true; // no acknowledgement
            if (line.startsWith("88") && failReads.fetch_sub(1) == 1) {
                reply = "8801\r"; // too short
                return true;
            }
            return false;
        };
        rig.start();
        QVERIFY(rig.untilEvent(QStringLiteral("ShowWeatherSettings")));
        const int from = int(rig.tap->lines().size());
        failWrites = 1;
        failReads = 1;
        rig.state->raise(rqSetConfig | rqGetHealth);
        QVERIFY(rig.untilEvent(QStringLiteral("DrawHealth")));
        QVERIFY(rig.finish());
        QStringList codes = commandCodes(rig.tap->lines(), from);
        codes.removeAll(QStringLiteral("81"));
        codes.removeAll(QStringLiteral("82"));
        // The unacknowledged SetConfig goes again; the short health reply is read again.
        QCOMPARE(codes.count(QStringLiteral("02")), 2);
        QCOMPARE(codes.count(QStringLiteral("88")), 2);
        QCOMPARE(rig.onWindow([](RecordingWindow& w) {
            return int(w.texts(QStringLiteral("log")).filter(QStringLiteral("SetConfig was not acknowledged")).size());
        }),
                 1);
    }
};

QTEST_GUILESS_MAIN(TestLinkThread)
#include "test_link_thread.moc"
