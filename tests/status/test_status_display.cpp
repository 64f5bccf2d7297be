#include "pages/number_text.h"
#include "app/main_window.h"
#include "lang/texts.h"
#include "pages/page.h"
#include "status/health_view.h"
#include "status/status_display.h"

#include <QAction>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

using namespace quenda;

namespace {
const QString kSep = QStringLiteral(" \u2022 ");

TInfo quietInfo() {
    TInfo i{};
    i.TempWater = i.TempBoard = i.Voltage = i.TempSlave = kNoMeasurement;
    i.Year = 25;
    i.Month = 3;
    i.Day = 7;
    i.Hour = 14;
    i.Minute = 5;
    i.Second = 9;
    return i;
}

std::unique_ptr<TfrmQuenda> shownWindow() {
    WindowOptions o;
    o.useTaskbar = false;
    auto w = std::make_unique<TfrmQuenda>(std::move(o));
    w->show();
    if (!QTest::qWaitForWindowExposed(w.get())) return nullptr;
    return w;
}

// The window's control of that name, or one made for the test on the given page when
// the page that will own it is not there yet.
template <class T> T* ensure(TfrmQuenda& w, const char* pageName, const char* name) {
    if (auto* c = w.findChild<T*>(QString::fromLatin1(name))) return c;
    QWidget* page = w.page(QString::fromLatin1(pageName));
    auto* c = new T(page);
    c->setObjectName(QString::fromLatin1(name));
    if (page->layout()) page->layout()->addWidget(c);
    c->show();
    return c;
}

QColor textColor(QLabel* l) {
    return l->palette().color(QPalette::WindowText);
}
} // namespace

class TestStatusDisplay : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        LoadLanguage(LanguageChoice::English);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); // dates: dd.MM.yy HH:mm:ss
    }
    void init() { setDesktopLocaleName(QStringLiteral("C")); }

    // ---- texts ----

    void statusText_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("errors");
        QTest::addColumn<int>("board");
        QTest::addColumn<int>("water");
        QTest::addColumn<int>("slave");
        QTest::addColumn<int>("volt");
        QTest::addColumn<int>("flag");
        QTest::addColumn<QString>("text");
        const int none = kNoMeasurement;
        QTest::newRow("port only") << "COM3" << 0 << none << none << none << none << 0 << "COM3";
        QTest::newRow("nothing at all") << "" << 0 << none << none << none << none << 0 << "";
        QTest::newRow("every error, in device order")
            << "COM3" << 0xFF << none << none << none << none << 0
            << "COM3 \u2022 Overtemperature \u2022 Undervoltage \u2022 Quarz error \u2022 CRC error \u2022 "
               "RAM full "
               "\u2022 RTC error \u2022 TempBoard error \u2022 PWM error";
        QTest::newRow("clock error before sensor error")
            << "COM3" << 0x60 << none << none << none << none << 0
            << "COM3 \u2022 RTC error \u2022 TempBoard error";
        QTest::newRow("no port, no leading separator")
            << "" << 0x01 << none << none << none << none << 0 << "Overtemperature";
        QTest::newRow("all values, Celsius") << "COM3" << 0 << 253 << 241 << -15 << 1205 << 0
                                             << "COM3 \u2022 Board temperature: 25.3\u00B0C \u2022 "
                                                "Tempravik: 24.1\u00B0C \u2022 Slave: -1.5\u00B0C "
                                                "\u2022 Input voltage: 12.05 Volt";
        QTest::newRow("Fahrenheit") << "COM3" << 0 << 253 << none << none << none << 4
                                    << "COM3 \u2022 Board temperature: 77.5\u00B0F";
        QTest::newRow("voltage alone, two decimals")
            << "" << 0 << none << none << none << 2400 << 0 << "Input voltage: 24.00 Volt";
        QTest::newRow("zero is a measurement")
            << "" << 0 << 0 << none << none << 0 << 0
            << "Board temperature: 0.0\u00B0C \u2022 Input voltage: 0.00 Volt";
    }
    void statusText() {
        QFETCH(QString, port);
        QFETCH(int, errors);
        QFETCH(int, board);
        QFETCH(int, water);
        QFETCH(int, slave);
        QFETCH(int, volt);
        QFETCH(int, flag);
        QFETCH(QString, text);
        TInfo i = quietInfo();
        i.ErrorFlags = uint8_t(errors);
        i.TempBoard = int16_t(board);
        i.TempWater = int16_t(water);
        i.TempSlave = int16_t(slave);
        i.Voltage = int16_t(volt);
        TConfig c{};
        c.Flag = uint8_t(flag);
        QCOMPARE(StatusText(i, c, port), text);
    }

    void statusTextInGerman() {
        setDesktopLocaleName(QStringLiteral("de_DE"));
        LoadLanguage(LanguageChoice::German);
        TInfo i = quietInfo();
        i.TempBoard = 253;
        i.Voltage = 1205;
        i.ErrorFlags = 0x10;
        const QString s = StatusText(i, TConfig{}, QString());
        LoadLanguage(LanguageChoice::English);
        QCOMPARE(s,
                 QStringLiteral(
                     "RAM voll \u2022 Platinentemperatur: 25,3\u00B0C \u2022 Eingangsspannung: 12,05 Volt"));
    }

    void modeText_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("active");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("manual, cooler") << 0 << 0x04 << 0 << "ManualC";
        QTest::newRow("manual ignores weather") << 0 << 0x03 << 0 << "Manual";
        QTest::newRow("auto, cloud and cooler") << 1 << 0x05 << 0 << "AutoOC";
        QTest::newRow("geo, everything") << 2 << 0x2F << 0 << "GeoOSCHT";
        QTest::newRow("bit 4 is no letter") << 2 << 0x10 << 0 << "Geo";
        QTest::newRow("rgb demo, heater") << 3 << 0x0B << 0 << "RGB demoH";
        QTest::newRow("flash, timer") << 4 << 0x20 << 0 << "FlashT";
        QTest::newRow("saving wins") << 1 << 0x05 << 0x10 << "Saving";
        QTest::newRow("other status bits") << 1 << 0 << 0xEF << "Auto";
        QTest::newRow("unknown mode") << 9 << 0x04 << 0 << "9C";
    }
    void modeText() {
        QFETCH(int, mode);
        QFETCH(int, active);
        QFETCH(int, status);
        QFETCH(QString, text);
        TInfo i = quietInfo();
        i.ActiveFlags = uint8_t(active);
        i.StatusFlags = uint8_t(status);
        TConfig c{};
        c.Mode = uint8_t(mode);
        QCOMPARE(ModeText(i, c), text);
    }

    void weatherRatios_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("active");
        QTest::addColumn<int>("cloudP");
        QTest::addColumn<int>("cloudD");
        QTest::addColumn<int>("stormP");
        QTest::addColumn<int>("stormD");
        QTest::addColumn<QString>("cloud");
        QTest::addColumn<QString>("storm");
        QTest::newRow("even split") << 0 << 0 << 100 << 100 << 0 << 0 << "Cloud ratio: 50%"
                                    << "";
        QTest::newRow("one decimal") << 0 << 0 << 1820 << 58 << 1 << 2 << "Cloud ratio: 96.9%"
                                     << "Thunderstorm ratio: 33.3%";
        QTest::newRow("never ends") << 0 << 0 << 0 << 5 << 65535 << 65535 << "Cloud ratio: 0%"
                                    << "Thunderstorm ratio: 50%";
        QTest::newRow("active in auto")
            << 1 << 0x03 << 100 << 100 << 1 << 3 << "Cloud currently active \u2022 Cloud ratio: 50%"
            << "Thunderstorm currently active \u2022 Thunderstorm ratio: 25%";
        QTest::newRow("active in geo, storm only")
            << 2 << 0x02 << 100 << 100 << 1 << 3 << "Cloud ratio: 50%"
            << "Thunderstorm currently active \u2022 Thunderstorm ratio: 25%";
        QTest::newRow("active ignored in manual") << 0 << 0x03 << 100 << 100 << 1 << 3 << "Cloud ratio: 50%"
                                                  << "Thunderstorm ratio: 25%";
        QTest::newRow("active without rates") << 1 << 0x01 << 0 << 0 << 0 << 0 << "Cloud currently active"
                                              << "";
    }
    void weatherRatios() {
        QFETCH(int, mode);
        QFETCH(int, active);
        QFETCH(int, cloudP);
        QFETCH(int, cloudD);
        QFETCH(int, stormP);
        QFETCH(int, stormD);
        QFETCH(QString, cloud);
        QFETCH(QString, storm);
        TInfo i = quietInfo();
        i.ActiveFlags = uint8_t(active);
        TConfig c{};
        c.Mode = uint8_t(mode);
        c.CloudP = uint16_t(cloudP);
        c.CloudD = uint16_t(cloudD);
        c.StormP = uint16_t(stormP);
        c.StormD = uint16_t(stormD);
        QLabel lc(QStringLiteral("old")), ls(QStringLiteral("old"));
        ShowWeatherRatios(&lc, &ls, i, c);
        QCOMPARE(lc.text(), cloud);
        QCOMPARE(ls.text(), storm);
        ShowWeatherRatios(nullptr, nullptr, i, c); // pages without the labels
    }

    void deviceClockText_data() {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("day");
        QTest::addColumn<int>("hour");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << 25 << 3 << 7 << 14 << "07.03.25 14:05:09";
        QTest::newRow("leap day") << 24 << 2 << 29 << 0 << "29.02.24 00:05:09";
        QTest::newRow("no leap day") << 25 << 2 << 29 << 0 << "";
        QTest::newRow("month 13") << 25 << 13 << 1 << 0 << "";
        QTest::newRow("day 0") << 25 << 1 << 0 << 0 << "";
        QTest::newRow("hour 24") << 25 << 1 << 1 << 24 << "";
        QTest::newRow("negative year byte") << -1 << 12 << 31 << 23 << "31.12.99 23:05:09";
    }
    void deviceClockText() {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(int, day);
        QFETCH(int, hour);
        QFETCH(QString, text);
        TInfo i = quietInfo();
        i.Year = int8_t(year);
        i.Month = int8_t(month);
        i.Day = int8_t(day);
        i.Hour = int8_t(hour);
        QCOMPARE(DeviceClockText(i), text);
    }

    // ---- the window ----

    void deviceInfoFillsPanelCaptionAndBoard() {
        auto w = shownWindow();
        QVERIFY(w);
        w->setPortName(QStringLiteral("COM3"));
        w->EnableControls(true);
        w->state().Info = quietInfo();
        w->ShowDeviceInfo();
        QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("07.03.25 14:05:09"));
        QCOMPARE(w->windowTitle(), QStringLiteral("quenda-led.org") + kSep +
                                       QStringLiteral("Drevanilux 2.x.5") + kSep + QStringLiteral("COM3"));
        auto* board = w->findChild<QLabel*>(QStringLiteral("lblBoard"));
        QVERIFY(board);
        QCOMPARE(board->text(), QStringLiteral("COM3"));
        // Losing the link clears what came from the device and keeps the vendor label.
        w->EnableControls(false);
        QVERIFY(w->statusPanel(1)->text().isEmpty());
        QVERIFY(board->text().isEmpty());
        QCOMPARE(w->windowTitle(),
                 QStringLiteral("quenda-led.org") + kSep + QStringLiteral("Drevanilux 2.x.5"));
    }

    void boardColour_data() {
        QTest::addColumn<int>("errors");
        QTest::addColumn<bool>("red");
        QTest::newRow("none") << 0 << false;
        QTest::newRow("RAM full alone") << 0x10 << false;
        QTest::newRow("overtemperature") << 0x01 << true;
        QTest::newRow("sensor error") << 0x20 << true;
        QTest::newRow("PWM error with RAM full") << 0x90 << true;
    }
    void boardColour() {
        QFETCH(int, errors);
        QFETCH(bool, red);
        auto w = shownWindow();
        QVERIFY(w);
        auto* board = w->findChild<QLabel*>(QStringLiteral("lblBoard"));
        QVERIFY(board);
        const QColor normal = board->parentWidget()->palette().color(QPalette::WindowText);
        QVERIFY(normal != QColor(Qt::red));
        w->state().Info = quietInfo();
        w->state().Info.ErrorFlags = 0x01; // start red, so a return to normal is seen
        w->ShowDeviceInfo();
        QCOMPARE(textColor(board), QColor(Qt::red));
        w->state().Info.ErrorFlags = uint8_t(errors);
        w->ShowDeviceInfo();
        QCOMPARE(textColor(board), red ? QColor(Qt::red) : normal);
        QCOMPARE(board->text().contains(QStringLiteral("RAM full")), bool(errors & 0x10));
    }

    void impossibleDateStillShowsTheErrors() {
        auto w = shownWindow();
        QVERIFY(w);
        w->state().Info = quietInfo();
        w->ShowDeviceInfo();
        QVERIFY(!w->statusPanel(1)->text().isEmpty());
        w->state().Info.Month = 0;
        w->state().Info.ErrorFlags = 0x40;
        w->ShowDeviceInfo();
        QVERIFY(w->statusPanel(1)->text().isEmpty());
        QVERIFY(w->windowTitle().endsWith(kSep + QStringLiteral("RTC error")));
        QCOMPARE(w->findChild<QLabel*>(QStringLiteral("lblBoard"))->text(), QStringLiteral("RTC error"));
    }

    void temperatureUnitChangeReshows() {
        auto w = shownWindow();
        QVERIFY(w);
        w->state().Info = quietInfo();
        w->state().Info.TempWater = 250;
        w->ShowDeviceInfo();
        QVERIFY(w->windowTitle().endsWith(QStringLiteral("Tempravik: 25.0\u00B0C")));
        w->state().Config.Flag |= 0x04;
        w->ShowDeviceInfo();
        QVERIFY(w->windowTitle().endsWith(QStringLiteral("Tempravik: 77.0\u00B0F")));
    }

    void hiddenWindowIsLeftAlone() {
        WindowOptions o;
        o.useTaskbar = false;
        TfrmQuenda w(std::move(o));
        const QString caption = w.windowTitle();
        w.state().Info = quietInfo();
        w.state().Config.Mode = 1;
        w.ShowDeviceInfo();
        w.ShowModeAndSettings();
        QVERIFY(w.statusPanel(1)->text().isEmpty());
        QVERIFY(w.statusPanel(2)->text().isEmpty());
        QCOMPARE(w.windowTitle(), caption);
    }

    void modeAndSettings() {
        auto w = shownWindow();
        QVERIFY(w);
        auto* btnCloud = ensure<QPushButton>(*w, "tsWeather", "btnCloud");
        auto& s = w->state();
        s.Info = quietInfo();
        s.Info.ActiveFlags = 0x05;
        s.Config.Mode = 1;
        s.Config.CloudP = s.Config.CloudD = 7;
        w->EnableControls(true);
        w->ShowModeAndSettings();
        QCOMPARE(w->statusPanel(2)->text(), QStringLiteral("AutoOC"));
        QCOMPARE(w->statusPanel(2)->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
        QVERIFY(btnCloud->isEnabled());
        // The ratio labels sit on the Weather page.
        auto* lbl = w->page(QStringLiteral("tsWeather"))->findChild<QLabel*>(QStringLiteral("lblCloudRatio"));
        QVERIFY(lbl);
        QCOMPARE(lbl->text(), QStringLiteral("Cloud currently active \u2022 Cloud ratio: 50%"));
        QVERIFY(w->page(QStringLiteral("tsWeather"))->findChild<QLabel*>(QStringLiteral("lblStormRatio")));

        s.Config.Mode = 0;
        w->ShowModeAndSettings();
        QCOMPARE(w->statusPanel(2)->text(), QStringLiteral("ManualC"));
        QVERIFY(!btnCloud->isEnabled());
        QCOMPARE(lbl->text(), QStringLiteral("Cloud ratio: 50%"));

        s.Info.StatusFlags = 0x10;
        w->ShowModeAndSettings();
        QCOMPARE(w->statusPanel(2)->text(), QStringLiteral("Saving"));

        // No trigger buttons without a device, whatever the mode.
        w->EnableControls(false);
        s.Config.Mode = 2;
        w->ShowModeAndSettings();
        QVERIFY(!btnCloud->isEnabled());
    }

    void sensorDependentControls() {
        auto w = shownWindow();
        QVERIFY(w);
        auto* offset = ensure<QLineEdit>(*w, "tsExpert", "edtTempOffset");
        auto* slave = ensure<QRadioButton>(*w, "tsExpert", "rbtCHMTempSlave");
        auto* low = ensure<QLineEdit>(*w, "tsExpert", "edtTempWaterLow");
        auto* led = ensure<QRadioButton>(*w, "tsExpert", "rbtFMOLED");
        w->EnableControls(true);
        auto& i = w->state().Info;
        i = quietInfo();
        i.TempWater = 240;
        // A radio button is unchecked by choosing another of its group.
        ensure<QRadioButton>(*w, "tsExpert", "rbtFMOWater")->setChecked(true);
        QVERIFY(!led->isChecked());
        w->ShowDeviceInfo();
        QVERIFY(offset->isEnabled());
        QVERIFY(low->isEnabled());
        QVERIFY(!slave->isEnabled());

        i.TempWater = kNoMeasurement;
        i.TempSlave = 230;
        w->ShowDeviceInfo();
        QVERIFY(!offset->isEnabled());
        QVERIFY(!low->isEnabled());
        QVERIFY(slave->isEnabled());

        i.TempWater = 240;
        led->setChecked(true); // the fan follows the LEDs: no water hysteresis
        w->ShowDeviceInfo();
        QVERIFY(offset->isEnabled());
        QVERIFY(!low->isEnabled());
    }

    void healthMenuShowsThePicture() {
        auto w = shownWindow();
        QVERIFY(w);
        w->EnableControls(true);
        w->state().clearRequests(0xFFFFFFFF);
        auto* item = w->findChild<QAction*>(QStringLiteral("mnuHealth"));
        QVERIFY(item && item->isEnabled());
        item->trigger();
        QCOMPARE(w->pages()->currentWidget()->objectName(), QStringLiteral("tsConfig"));
        QVERIFY(w->state().isRaised(rqGetHealth));

        auto* view = w->page(QStringLiteral("tsConfig"))->findChild<HealthView*>(QStringLiteral("imgHealth"));
        QVERIFY(view && view->isVisible());
        THealth& h = w->state().Health;
        h.PowerCycles = 5;
        h.Counter[hbVBelow26][0] = 0xE8; // 1000 periods
        h.Counter[hbVBelow26][1] = 0x03;
        w->DrawHealth();
        QCOMPARE(view->image().size(), view->size());
        const auto bars = computeHealthBars(h, view->width());
        QVERIFY(bars.voltage[0].x1 > 100);
        QCOMPARE(view->image().pixel(bars.voltage[0].x1 - 1, 100) | 0xFF000000, QRgb(0xFF00FF00));
        // The width follows the window.
        w->resize(w->width() + 120, w->height());
        QTRY_COMPARE(view->image().width(), view->width());
    }

    // Writes a picture of a populated window when QUENDA_SCREENSHOT names a file.
    void screenshot() {
        const QString file = qEnvironmentVariable("QUENDA_SCREENSHOT");
        if (file.isEmpty()) QSKIP("QUENDA_SCREENSHOT not set");
        auto w = shownWindow();
        QVERIFY(w);
        w->setPortName(QStringLiteral("/dev/rfcomm0"));
        w->EnableControls(true);
        auto& s = w->state();
        s.Info = quietInfo();
        s.Info.ErrorFlags = 0x10;
        s.Info.ActiveFlags = 0x05;
        s.Info.TempBoard = 412;
        s.Info.TempWater = 254;
        s.Info.Voltage = 2396;
        for (int c = 0; c < 12; ++c)
            s.Info.Channel[c] = int16_t(c * 340);
        s.Config.Mode = 1;
        s.Config.CloudP = 1820;
        s.Config.CloudD = 58;
        s.Config.StormP = 12;
        s.Config.StormD = 40;
        THealth& h = s.Health;
        h.PowerCycles = 37;
        const FieldDesc& counter = *findField(RecordKind::Health, "Counter");
        auto set = [&](int band, uint32_t v) { writeField(&h, counter, band, v); };
        set(hbVBelow26, 3000);
        set(hbV260, 520000);
        set(hbV290, 14000);
        set(hbV305, 350);
        set(hbTBelow45, 480000);
        set(hbT45, 52000);
        set(hbT50, 4500);
        set(hbT55, 800);
        set(hbT60, 50);
        w->ShowModeAndSettings();
        w->ShowDeviceInfo();
        w->ShowPage(w->page(QStringLiteral("tsConfig")));
        w->DrawHealth();
        QVERIFY(w->grab().save(file));
        w->ShowPage(w->page(QStringLiteral("tsWeather")));
        QVERIFY(
            w->grab().save(QString(file).replace(QStringLiteral(".png"), QStringLiteral("-weather.png"))));
    }
};

QTEST_MAIN(TestStatusDisplay)
#include "test_status_display.moc"
