// The pages against the simulated device: the window connects through its own link
// to the simulator on a pseudo-terminal, and the user works its controls.
#include "app/application.h"
#include "common/chart_labels.h"
#include "pages/number_text.h"
#include "lang/texts.h"
#include "link/device_codes.h"
#include "link/link_thread.h"
#include "link/port_list.h"
#include "link/qt_serial_port.h"
#include "page_test_util.h"
#include "pages/channel_page.h"
#include "pages/geo_page.h"
#include "schedule/chart_page.h"
#include "schedule/schedule_grid.h"
#include "schedule/schedule_page.h"
#include "schedule/visualize_page.h"
#include "sim/simulator.h"

#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstring>

using namespace quenda;
using namespace quenda::testing;

namespace {

constexpr int kPortTimeout = 300;
constexpr int kWait = 15000;

TScheduleRow deviceLine(int n) {
    TScheduleRow r{};
    r.Hour = int8_t(6 + n);
    r.Minute = int8_t(5 * n);
    r.Alt = int16_t(-2000 + 1111 * n);
    for (int ch = 0; ch < 12; ++ch)
        r.Color16[ch] = int16_t((n * 509 + ch * 131) % 4097);
    r.Timer = int16_t(n * 3);
    r.Switch = uint8_t(0x20 * (n % 8) | (n & 0x1F));
    return r;
}

bool sameSchedule(const std::vector<TScheduleRow>& a, const std::vector<TScheduleRow>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0);
}

// A window that connects itself to a simulated device given on its command line.
struct Connected {
    QTemporaryDir dir;
    std::unique_ptr<sim::Simulator> sim;
    std::unique_ptr<TfrmQuenda> w;
    std::shared_ptr<Clock> clock; // the computer's when empty
    std::function<void(sim::Records&)> setup; // device records beyond the defaults

    bool start(int lines, bool slave = true) {
        sim::SimConfig cfg;
        cfg.device.rows = lines;
        cfg.device.slave = slave;
        cfg.server.linkPath = dir.filePath(QStringLiteral("ttyPAGES"));
        sim = std::make_unique<sim::Simulator>(cfg);
        sim->device().update([&](sim::Records& r) {
            r.config.Mode = 0; // Manual: the levels stay as they are set
            r.schedule.resize(std::size_t(lines));
            for (int n = 0; n < lines; ++n)
                r.schedule[std::size_t(n)] = deviceLine(n);
            if (setup) setup(r);
        });
        QString error;
        if (!sim->start(&error)) {
            qWarning() << error;
            return false;
        }
        WindowOptions o;
        o.args = {sim->portPath(), QStringLiteral("-expert")};
        o.useTaskbar = false;
        o.watchSystem = false;
        o.clock = clock;
        const QString port = sim->portPath();
        o.enumeratePorts = [port] { return QStringList{port}; };
        o.makeLink = [](std::shared_ptr<DeviceState> state, std::shared_ptr<LinkHost> host,
                        const QString& name, bool debug) {
            TthdCom::Options lo;
            lo.makePort = [] { return std::make_unique<QtSerialPort>(kPortTimeout); };
            lo.timing = LinkTiming{5, 1, 20};
            return TthdCom::Create(std::move(state), std::move(host), name, debug, lo);
        };
        w = std::make_unique<TfrmQuenda>(std::move(o));
        return showActive(*w);
    }
    // Connected and every read of the connection served.
    bool initialReadDone() {
        // Lines reach the window after the link has moved on, so "read" is the window's marks.
        return w->isConnected() && (w->state().requests() & rqOnConnect) == 0 &&
               w->state().Schedule.size() == std::size_t(sim->device().records().schedule.size()) &&
               w->state().allRead();
    }
    ~Connected() {
        if (w) w->close();
        w.reset(); // stops the link, with the window's bounded wait
        if (!TthdCom::WaitForThreads(kWait)) qFatal("a link thread outlives its window");
        ForgetLastPort();
    }
};

} // namespace

class TestPagesLink : public QObject {
    Q_OBJECT
private slots:
    void init() {
        setDesktopLocaleName(QStringLiteral("C"));
        LoadLanguage(LanguageChoice::English);
    }

    void dragReachesDevice() {
        Connected c;
        QVERIFY(c.start(6));
        QTRY_VERIFY_WITH_TIMEOUT(c.initialReadDone(), kWait);
        c.w->ShowPage(c.w->page(QStringLiteral("tsChannels")));
        auto* page = qobject_cast<ChannelPage*>(c.w->page(QStringLiteral("tsChannels")));
        QSlider* s = page->trb(0);
        QTRY_VERIFY_WITH_TIMEOUT(s->isEnabled(), kWait);
        QVERIFY(dragToExactly(c.w.get(), s, 2048));
        QCOMPARE(page->edt(0)->text(), QStringLiteral("50"));
        QTRY_COMPARE_WITH_TIMEOUT(int(c.sim->device().records().info.Channel[0]), 2048, kWait);
        // Someone turns the level on the device while the user still holds the slider:
        // the polls bring the new value in, but the held slider stays where it is.
        c.sim->device().update([](sim::Records& r) { r.info.Channel[0] = 1000; });
        QTRY_COMPARE_WITH_TIMEOUT(int(c.w->state().Info.Channel[0]), 1000, kWait);
        QCOMPARE(page->edt(0)->text(), QStringLiteral("24.41"));
        QVERIFY(s->isSliderDown());
        QCOMPARE(s->value(), 2048);
        release(s);
        // Let go, the next poll moves it.
        s->clearFocus();
        QTRY_COMPARE_WITH_TIMEOUT(s->value(), 1000, kWait);
        QCOMPARE(int(c.sim->device().records().info.Channel[0]), 1000); // releasing wrote nothing
    }

    // "Trigger/stop now" starts a cloud on the device, which the ratio line reports once
    // the configuration is read again; a second press stops it.
    void triggerStartsACloud() {
        Connected c;
        c.setup = [](sim::Records& r) {
            r.config.Mode = 1;
            r.config.CloudP = 0; // none by chance; one that is started lasts about an hour and a half
            r.config.CloudD = 1;
        };
        QVERIFY(c.start(6));
        QTRY_VERIFY_WITH_TIMEOUT(c.initialReadDone(), kWait);
        c.w->ShowPage(c.w->page(QStringLiteral("tsWeather")));
        auto* button = c.w->findChild<QPushButton*>(QStringLiteral("btnCloud"));
        auto* ratio = c.w->findChild<QLabel*>(QStringLiteral("lblCloudRatio"));
        QTRY_VERIFY_WITH_TIMEOUT(button->isEnabled(), kWait);
        QCOMPARE(ratio->text(), QStringLiteral("Cloud ratio: 0%"));
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(c.sim->device().records().info.ActiveFlags & ActiveFlags::Cloud, kWait);
        QTRY_COMPARE_WITH_TIMEOUT(ratio->text(), QStringLiteral("Cloud currently active \u2022 Cloud ratio: 0%"),
                                  kWait);
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!(c.sim->device().records().info.ActiveFlags & ActiveFlags::Cloud), kWait);
        QTRY_COMPARE_WITH_TIMEOUT(ratio->text(), QStringLiteral("Cloud ratio: 0%"), kWait);
    }

    void scheduleRoundTrip() {
        Connected c;
        QVERIFY(c.start(8));
        QTRY_VERIFY_WITH_TIMEOUT(c.initialReadDone(), kWait);
        const auto device = c.sim->device().records().schedule;
        QVERIFY(sameSchedule(c.w->state().Schedule, device));
        auto* page = qobject_cast<SchedulePage*>(c.w->page(QStringLiteral("tsSchedule")));
        c.w->ShowPage(page);
        ScheduleGrid* grid = page->grid();
        QCOMPARE(grid->rowCount(), 8);
        QCOMPARE(grid->cellText(1, 3), QStringLiteral("08:10"));
        QCOMPARE(grid->cellText(3, 3), levelPercentText(device[2].Color16[1]));

        // An edit in the grid goes up; the rest of the schedule stays as it was.
        const QPoint at = grid->cellRectOf(3, 3).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("50"));
        QTest::keyClick(editor, Qt::Key_Return);
        std::vector<TScheduleRow> expected = device;
        expected[2].Color16[1] = 2048;
        QVERIFY(sameSchedule(c.w->state().Schedule, expected));
        QTRY_VERIFY_WITH_TIMEOUT(sameSchedule(c.sim->device().records().schedule, expected), kWait);

        // A fresh download brings back exactly that, and the grid shows it.
        c.w->state().raise(rqGetSchedule);
        QTRY_VERIFY_WITH_TIMEOUT(!c.w->state().isRaised(rqGetSchedule | rqSetSchedule), kWait);
        QVERIFY(sameSchedule(c.w->state().Schedule, expected));
        QCOMPARE(grid->cellText(3, 3), QStringLiteral("50"));
        for (int n = 0; n < 8; ++n)
            QCOMPARE(grid->cellText(17, n + 1), QString::number(expected[n].Timer));
    }

    void curveDragReachesDevice() {
        Connected c;
        QVERIFY(c.start(5));
        QTRY_VERIFY_WITH_TIMEOUT(c.initialReadDone(), kWait);
        auto* page = qobject_cast<VisualizePage*>(c.w->page(QStringLiteral("tsVisualize")));
        c.w->ShowPage(page);
        QTRY_COMPARE_WITH_TIMEOUT(int(page->points().size()), 5, kWait);
        QWidget* img = page->img();
        auto pointOf = [&](int line) {
            const CurvePoint& p = page->points()[std::size_t(line)];
            return QPointF(p.X, p.Y[0]).toPoint();
        };
        auto drag = [&](QPoint from, QPoint to) {
            QTest::mousePress(img, Qt::LeftButton, Qt::NoModifier, from);
            QTest::mouseMove(img, to);
            QTest::mouseRelease(img, Qt::LeftButton, Qt::NoModifier, to);
        };

        // Channel A's point of line 2 up to the top and to the right.
        std::vector<TScheduleRow> expected = c.sim->device().records().schedule;
        const QPoint top(pointOf(2).x() + 60, 0);
        drag(pointOf(2), top);
        const int minute = *MinuteAtX(top.x(), img->width());
        QVERIFY(minute != 8 * 60 + 10);
        expected[2].Hour = int8_t(minute / 60);
        expected[2].Minute = int8_t(minute % 60);
        expected[2].Color16[0] = 4096;
        QTRY_VERIFY_WITH_TIMEOUT(sameSchedule(c.sim->device().records().schedule, expected), kWait);

        // Times locked: only the level moves.
        page->cbxTimeLock()->setChecked(true);
        const QPoint middle(pointOf(2).x() - 90, img->height() / 2);
        drag(pointOf(2), middle);
        expected[2].Color16[0] = int16_t(*LevelAtY(middle.y(), img->height()));
        QVERIFY(expected[2].Color16[0] > 0 && expected[2].Color16[0] < 4096);
        QTRY_VERIFY_WITH_TIMEOUT(sameSchedule(c.sim->device().records().schedule, expected), kWait);
        QVERIFY(sameSchedule(c.w->state().Schedule, expected));
    }

    void geoPlaceAndClockReachDevice() {
        Connected c;
        auto clock = std::make_shared<FixedClock>();
        clock->t = QDateTime(QDate(2031, 5, 17), QTime(13, 14, 15));
        c.clock = clock;
        QVERIFY(c.start(4));
        QTRY_VERIFY_WITH_TIMEOUT(c.initialReadDone(), kWait);
        auto* page = qobject_cast<GeoPage*>(c.w->page(QStringLiteral("tsGeo")));
        c.w->ShowPage(page);
        GeoMapCanvas* canvas = page->imgGeo()->canvas();
        auto device = [&] { return c.sim->device().records(); };

        pressAt(canvas, QPointF(0, 0));
        QTRY_COMPARE_WITH_TIMEOUT(int(device().config.Lat), 900, kWait);
        QCOMPARE(int(device().config.Lon), -1800);
        QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(500, 250));
        QTRY_COMPARE_WITH_TIMEOUT(int(device().config.Lat), 0, kWait);
        QCOMPARE(int(device().config.Lon), 0);

        // The clock typed as "7:5": the device runs from 07:05 on the day it had.
        const QDate day = c.sim->device().clock().date();
        typeInto(page->findChild<QLineEdit*>(QStringLiteral("edtTime")), QStringLiteral("7:5"));
        auto near = [&](const QDateTime& want) {
            const qint64 ahead = want.secsTo(c.sim->device().clock());
            return ahead >= -60 && ahead < 120;
        };
        QTRY_VERIFY_WITH_TIMEOUT(near(QDateTime(day, QTime(7, 5))), kWait);

        // "Now" sets the device to the computer's clock.
        QTest::mouseClick(page->findChild<QPushButton*>(QStringLiteral("btnNow")), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(near(clock->t), kWait);
        QCOMPARE(c.sim->device().clock().date(), QDate(2031, 5, 17));
    }

    // The chart page reads the recorded temperatures; the right-click menu switches the
    // device to volts, and the next read draws volts.
    void chartSourceFromMenu() {
        Connected c;
        QVERIFY(c.start(4, false));
        // One new sample every quarter second of real time.
        c.sim->device().update([](sim::Records& r) {
            r.expert.ChartInterval = 1;
            r.config.TimeLapse = 240;
        });
        QTRY_VERIFY_WITH_TIMEOUT(c.initialReadDone(), kWait);
        auto* page = qobject_cast<ChartPage*>(c.w->page(QStringLiteral("tsTemp")));
        QVERIFY(page);
        c.w->ShowPage(page);
        auto currentLabel = [&] { return testing::currentChartLabel(page->view()->picture()); };
        QTRY_VERIFY_WITH_TIMEOUT(currentLabel().endsWith(QStringLiteral("\u00B0C")), kWait);

        // No slave board: its item is disabled; the water item is checked, as recorded.
        page->pumChartPopup();
        QMenu* menu = page->chartMenu();
        auto item = [&](const char* name) { return menu->findChild<QAction*>(QLatin1String(name)); };
        QVERIFY(!item("mnuCHMTempSlave")->isEnabled());
        QVERIFY(item("mnuCHMTempWater")->isEnabled() && item("mnuCHMTempWater")->isChecked());
        QVERIFY(item("mnuCHMVoltage")->isEnabled() && !item("mnuCHMVoltage")->isChecked());
        item("mnuCHMVoltage")->trigger();
        // The chart read it also raises may be taken by a read already on the line.
        QVERIFY(c.w->state().isRaised(rqSetExpert));
        QTRY_COMPARE_WITH_TIMEOUT(int(c.sim->device().records().expert.ChartMode), 2, kWait);
        // Once the device has recorded volts, a click reads them and they are drawn as such.
        QTRY_VERIFY_WITH_TIMEOUT(c.sim->device().records().chart.Sample[0] > 1000, kWait);
        QTRY_VERIFY_WITH_TIMEOUT(!c.w->state().isRaised(rqGetChart), kWait);
        QTest::mouseClick(page->view(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
        QVERIFY(c.w->state().isRaised(rqGetChart));
        // The link clears the bit when the reply arrives, before the window has stored
        // and drawn it: wait for the drawing.
        auto volts = [&] {
            const QString l = currentLabel();
            return l.endsWith(QStringLiteral(" V")) ? l.chopped(2).toDouble() : 0.0;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(volts() > 11 && volts() < 13, qPrintable(currentLabel()), kWait);
        page->pumChartPopup();
        QVERIFY(item("mnuCHMVoltage")->isChecked() && !item("mnuCHMTempWater")->isChecked());
    }

    // The dim bar dragged above the bright one stops there, and the device gets that level;
    // the pin function chosen by mouse is sent once, and reading it back sends nothing.
    void settingsReachDevice() {
        Connected c;
        QVERIFY(c.start(4));
        c.sim->device().update([](sim::Records& r) {
            r.config.LCDBLMax = 100;
            r.config.LCDBLMin = 60;
            r.expert.LCDBLNight = 20;
            r.expert.JMPMode = 0;
        });
        QTRY_VERIFY_WITH_TIMEOUT(c.initialReadDone(), kWait);
        c.w->ShowPage(c.w->page(QStringLiteral("tsConfig")));
        auto* dim = c.w->findChild<QSlider*>(QStringLiteral("trbLCDBLMin"));
        QTRY_VERIFY_WITH_TIMEOUT(dim->isEnabled() && dim->value() == 60, kWait);
        QTest::mousePress(dim, Qt::LeftButton, Qt::NoModifier, sliderHandle(dim).center());
        QTest::mouseMove(dim, QPoint(dim->width() - 1, sliderHandle(dim).center().y()));
        release(dim);
        QCOMPARE(dim->value(), 100);
        QTRY_COMPARE_WITH_TIMEOUT(int(c.sim->device().records().config.LCDBLMin), 100, kWait);

        c.w->ShowPage(c.w->page(QStringLiteral("tsJMP")));
        auto* servo = c.w->findChild<QRadioButton*>(QStringLiteral("rbtJMPServo"));
        auto setExpertLines = [&] { return int(c.sim->server().received().filter(QRegularExpression("^05")).size()); };
        const int before = setExpertLines();
        QTest::mouseClick(servo, Qt::LeftButton, Qt::NoModifier, QPoint(8, servo->height() / 2));
        QTRY_COMPARE_WITH_TIMEOUT(int(c.sim->device().records().expert.JMPMode), 7, kWait);
        c.w->state().raise(rqGetExpert);
        QTRY_VERIFY_WITH_TIMEOUT(!c.w->state().isRaised(rqGetExpert | rqSetExpert), kWait);
        c.w->state().raise(rqGetExpert);
        QTRY_VERIFY_WITH_TIMEOUT(!c.w->state().isRaised(rqGetExpert), kWait);
        QVERIFY(servo->isChecked());
        QVERIFY(!c.w->state().isRaised(rqSetExpert));
        QCOMPARE(setExpertLines(), before + 1);
    }
};

int main(int argc, char** argv) {
    // The window remembers the port it connected to; keep that out of the user's settings.
    QStandardPaths::setTestModeEnabled(true);
    QuendaApplication app(argc, argv);
    TestPagesLink t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_pages_link.moc"
