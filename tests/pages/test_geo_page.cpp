// The place-and-clock page: its drawing on its own, and the page driven by object name
// in a shown window without a device.
#include "pages/number_text.h"
#include "pages/services.h"
#include "lang/texts.h"
#include "page_test_util.h"
#include "pages/geo_page.h"

#include <QCalendarWidget>
#include <QDateEdit>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

using namespace quenda;
using namespace quenda::testing;

namespace {

// The whole text at once, as pasted: no half-typed prefix passes through the handler.
void pasteInto(QLineEdit* e, const QString& text) {
    e->setFocus(Qt::MouseFocusReason);
    e->setText(text);
}

int litPixels(const QImage& img, QRect area = {}) {
    if (area.isNull()) area = img.rect();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += qAlpha(img.pixel(x, y)) == 0xFF;
    return n;
}

TInfo clockAt(QDate d, int hour, int minute) {
    TInfo i{};
    i.Year = int8_t(d.year() - 2000);
    i.Month = int8_t(d.month());
    i.Day = int8_t(d.day());
    i.Hour = int8_t(hour);
    i.Minute = int8_t(minute);
    return i;
}

TConfig placeAt(int lat, int lon) {
    TConfig c{};
    c.Lat = int16_t(lat);
    c.Lon = int16_t(lon);
    return c;
}

QString render(const TConfig& c, const TInfo& i, const QTimeZone& zone) {
    GeoScene scene;
    if (!RenderGeo(QImage(), c, i, zone, {}, scene)) return QString();
    return scene.text;
}

GeoPage* geoPage(TfrmQuenda& w) {
    return qobject_cast<GeoPage*>(w.page(QStringLiteral("tsGeo")));
}

template <class T> T* control(TfrmQuenda& w, const char* name) {
    return w.findChild<T*>(QString::fromLatin1(name));
}

} // namespace

class TestGeoPage : public QObject {
    Q_OBJECT
private slots:
    void init() {
        setDesktopLocaleName(QStringLiteral("C"));
        LoadLanguage(LanguageChoice::English);
    }

    void moonPictureFollowsPhaseAndAge() {
        const double disc = M_PI * 20 * 20;
        QImage moon;
        DrawMoon(moon, 0, 1);
        QCOMPARE(moon.size(), QSize(kMoonSize, kMoonSize));
        QVERIFY(litPixels(moon) < disc * 0.05); // new moon: a sliver of edge at most

        DrawMoon(moon, 1, 1);
        QVERIFY(qAbs(litPixels(moon) - disc) < disc * 0.05);
        QVERIFY(litPixels(moon, QRect(0, 0, kMoonSize, 9)) == 0); // nothing beyond the radius

        // Half lit: half the disc, on opposite sides for a waxing and a waning moon.
        DrawMoon(moon, 0.5, 1); // waxing
        const int waxing = litPixels(moon);
        QVERIFY(qAbs(waxing - disc / 2) < disc * 0.05);
        const int waxingTop = litPixels(moon, QRect(0, 0, kMoonSize, kMoonSize / 2));
        DrawMoon(moon, 0.5, 4); // waning
        const int waningTop = litPixels(moon, QRect(0, 0, kMoonSize, kMoonSize / 2));
        QVERIFY(qAbs(litPixels(moon) - waxing) < disc * 0.02);
        QVERIFY((waxingTop < waxing * 0.1) != (waningTop < waxing * 0.1));

        // An impossible phase draws nothing and clears what was there.
        DrawMoon(moon, 1.2, 1);
        QCOMPARE(litPixels(moon), 0);
        DrawMoon(moon, std::nan(""), 1);
        QCOMPARE(litPixels(moon), 0);
    }

    void mapMarksThePlaceAndKeepsThePristineCopy() {
        QImage pristine(kMapWidth, kMapHeight, QImage::Format_ARGB32_Premultiplied);
        pristine.fill(QColor(0x20, 0x20, 0x20));
        const QImage before = pristine.copy();
        GeoScene scene;
        const TInfo info = clockAt(QDate(2026, 6, 21), 12, 0);
        QVERIFY(RenderGeo(pristine, placeAt(0, 0), info, QTimeZone::utc(), {}, scene));
        QCOMPARE(pristine, before);
        QCOMPARE(scene.map.size(), QSize(kMapWidth, kMapHeight));
        for (QPoint p : {QPoint(500, 250), QPoint(498, 248), QPoint(502, 252)})
            QCOMPARE(scene.map.pixelColor(p), QColor(Qt::red));
        QCOMPARE(scene.map.pixelColor(503, 253), QColor(0x20, 0x20, 0x20));
        // Lines: faintly lighter, not white.
        for (QPoint p : {QPoint(10, 250), QPoint(500, 490)}) {
            const QColor c = scene.map.pixelColor(p);
            QVERIFY(c.red() > 0x20 && c.red() < 0x80 && c.red() == c.blue());
        }
        QCOMPARE(scene.map.pixelColor(10, 10), QColor(0x20, 0x20, 0x20));
        QVERIFY(scene.text.startsWith(QStringLiteral("Sun: Azimuth: ")));
        QCOMPARE(scene.text.count(QLatin1Char('\n')), 2);

        // 50.1 N, 8.5 E: the mark moves there even when the clock is impossible,
        // and the text and moon of the last good redraw stay.
        const QString text = scene.text;
        const QImage moon = scene.moon;
        for (auto [day, month] : {std::pair{0, 6}, std::pair{10, 13}, std::pair{31, 2}}) {
            TInfo bad = info;
            bad.Day = int8_t(day);
            bad.Month = int8_t(month);
            QVERIFY(!RenderGeo(pristine, placeAt(501, 85), bad, QTimeZone::utc(), {}, scene));
            QCOMPARE(scene.map.pixelColor(524, 111), QColor(Qt::red));
            QCOMPARE(scene.text, text);
            QCOMPARE(scene.moon, moon);
        }
        TInfo late = info;
        late.Hour = 25;
        QVERIFY(!RenderGeo(pristine, placeAt(0, 0), late, QTimeZone::utc(), {}, scene));
        // Far outside the map (no range is enforced on the place): nothing to mark, no fault.
        QVERIFY(RenderGeo(pristine, placeAt(32767, -32768), info, QTimeZone::utc(), {}, scene));
        QCOMPARE(scene.map.pixelColor(10, 10), QColor(0x20, 0x20, 0x20));
    }

    void zoneAndPolarDay() {
        const TConfig place = placeAt(190, 729); // 19.0 N, 72.9 E
        const TInfo info = clockAt(QDate(2026, 3, 10), 18, 30);
        // +5:30 counts as +5 whole hours, in the moment and in the rise and set times.
        const QString half = render(place, info, QTimeZone("Asia/Kolkata"));
        QVERIFY(!half.isEmpty());
        QCOMPARE(half, render(place, info, QTimeZone(5 * 3600)));
        QVERIFY(half != render(place, info, QTimeZone(6 * 3600)));

        // Midsummer at 80 N: the sun neither rises nor sets, the line stops after its altitude.
        const TInfo june = clockAt(QDate(2026, 6, 21), 12, 0);
        const QString polar = render(placeAt(800, 150), june, QTimeZone::utc()).section('\n', 0, 0);
        QVERIFY(polar.startsWith(QStringLiteral("Sun: Azimuth: ")));
        QVERIFY(!polar.contains(QStringLiteral("Rise")));
        QVERIFY(render(placeAt(500, 150), june, QTimeZone::utc()).section('\n', 0, 0).contains(QStringLiteral("Rise: ")));
    }

    void mapClicksAtAnyScrollAndScale() {
        auto w = makeShownWindow();
        connectInMode(*w, 2, "tsGeo");
        GeoPage* page = geoPage(*w);
        QVERIFY(page && page->isVisible());
        GeoMapCanvas* canvas = page->imgGeo()->canvas();
        QVERIFY(!canvas->image().isNull());
        auto* lat = control<QLineEdit>(*w, "edtLat");
        auto* lon = control<QLineEdit>(*w, "edtLon");

        pressAt(canvas, QPointF(0, 0));
        QCOMPARE(int(w->state().Config.Lat), 900);
        QCOMPARE(int(w->state().Config.Lon), -1800);
        QCOMPARE(lat->text(), QStringLiteral("90"));
        QCOMPARE(lon->text(), QStringLiteral("-180"));
        QCOMPARE(w->state().requests(), uint32_t(rqSetConfig));
        QCOMPARE(canvas->image().pixelColor(2, 2), QColor(Qt::red));

        // Enlarged three times and scrolled: a click where map pixel (500, 250) is shown.
        w->state().assignRequests(0);
        page->imgGeo()->setScale(3);
        QApplication::processEvents();
        QCOMPARE(canvas->size(), QSize(3000, 1500));
        QScrollBar* h = page->imgGeo()->horizontalScrollBar();
        QScrollBar* v = page->imgGeo()->verticalScrollBar();
        h->setValue(1400);
        v->setValue(700);
        QCOMPARE(h->value(), 1400);
        QCOMPARE(v->value(), 700);
        QWidget* viewport = page->imgGeo()->viewport();
        QTest::mouseClick(viewport->childAt(100, 50), Qt::LeftButton, Qt::NoModifier,
                          canvas->mapFrom(viewport, QPoint(100, 50)));
        QCOMPARE(int(w->state().Config.Lat), 0);
        QCOMPARE(int(w->state().Config.Lon), 0);
        QCOMPARE(lat->text(), QStringLiteral("0"));
        QCOMPARE(w->state().requests(), uint32_t(rqSetConfig));

        // Hovering shows the place under the mouse, clamped to the map; leaving clears it.
        QTest::mouseMove(canvas, canvas->mapFrom(viewport, QPoint(130, 20)));
        QTRY_COMPARE(w->statusPanel(0)->text(),
                     QStringLiteral("Mouse position: Latitude: 3.6\u00B0, Longitude: 3.6\u00B0"));
        page->imgGeoMouseMove(QPointF(-40, 9000));
        QCOMPARE(w->statusPanel(0)->text(),
                 QStringLiteral("Mouse position: Latitude: -90\u00B0, Longitude: -180\u00B0"));
        page->imgGeoMouseLeave();
        QVERIFY(w->statusPanel(0)->text().isEmpty());
    }

    void placeAndTimeEdits() {
        auto w = makeShownWindow();
        connectInMode(*w, 2, "tsGeo");
        auto* lat = control<QLineEdit>(*w, "edtLat");
        auto* lon = control<QLineEdit>(*w, "edtLon");
        auto* time = control<QLineEdit>(*w, "edtTime");
        auto* trb = control<QSlider>(*w, "trbTime");
        TInfo& info = w->state().Info;

        typeInto(lat, QStringLiteral("-33.86"));
        QCOMPARE(int(w->state().Config.Lat), -339);
        QCOMPARE(w->state().requests(), uint32_t(rqSetConfig));
        w->state().assignRequests(0);
        for (const char* bad : {"north", "", "1e3", "1,5,0"}) {
            pasteInto(lon, QString::fromLatin1(bad));
            QCOMPARE(w->state().requests(), 0u);
        }
        QCOMPARE(int(w->state().Config.Lat), -339);

        typeInto(time, QStringLiteral("7:5"));
        QCOMPARE(trb->value(), 425);
        QCOMPARE(int(info.Hour), 7);
        QCOMPARE(int(info.Minute), 5);
        QCOMPARE(w->state().requests(), uint32_t(rqSetTime));
        w->state().assignRequests(0);
        for (const char* bad : {"25:70", "24:00", "7:60", "-1:10", "705", "a:b", ":"}) {
            pasteInto(time, QString::fromLatin1(bad));
            QCOMPARE(w->state().requests(), 0u);
            QCOMPARE(int(info.Hour), 7);
            QCOMPARE(int(info.Minute), 5);
            QCOMPARE(trb->value(), 425);
        }

        // The picker's day stepped by the user goes into the clock.
        auto* dtp = control<QDateEdit>(*w, "dtp");
        dtp->setDate(QDate(2026, 12, 8));
        dtp->setFocus();
        dtp->setCurrentSection(QDateTimeEdit::DaySection);
        w->state().assignRequests(0);
        QTest::keyClick(dtp, Qt::Key_Up);
        QCOMPARE(dtp->date(), QDate(2026, 12, 9));
        QCOMPARE(QDate(2000 + info.Year, info.Month, info.Day), QDate(2026, 12, 9));
        QCOMPARE(w->state().requests(), uint32_t(rqSetTime));
        w->state().assignRequests(0);

        trb->setFocus();
        QVERIFY(trb->hasFocus());
        QTest::keyClick(trb, Qt::Key_End);
        QCOMPARE(trb->value(), 1439);
        QCOMPARE(time->text(), QStringLiteral("23:59"));
        QCOMPARE(int(info.Hour), 23);
        QCOMPARE(int(info.Minute), 59);
        QCOMPARE(w->state().requests(), uint32_t(rqSetTime));
    }

    void refreshLeavesTheUserAlone() {
        auto w = makeShownWindow();
        connectInMode(*w, 2, "tsGeo");
        GeoPage* page = geoPage(*w);
        auto* lat = control<QLineEdit>(*w, "edtLat");
        auto* lon = control<QLineEdit>(*w, "edtLon");
        auto* time = control<QLineEdit>(*w, "edtTime");
        auto* trb = control<QSlider>(*w, "trbTime");
        auto* dtp = control<QDateEdit>(*w, "dtp");
        auto* text = control<QLabel>(*w, "lblGeo");
        DeviceState& s = w->state();
        s.Info = clockAt(QDate(2025, 3, 7), 7, 5);
        s.Config.Lat = -335;
        s.Config.Lon = 1510;
        w->ShowDeviceInfo();
        QVERIFY(!dtp->findChild<QCalendarWidget*>()); // never opened: not built for nothing
        w->ShowModeAndSettings();
        QCOMPARE(time->text(), QStringLiteral("07:05"));
        QCOMPARE(trb->value(), 425);
        QCOMPARE(dtp->date(), QDate(2025, 3, 7));
        QCOMPARE(lat->text(), QStringLiteral("-33.5"));
        QCOMPARE(lon->text(), QStringLiteral("151"));
        QVERIFY(page->lastDrawComplete());
        QVERIFY(text->text().contains(QStringLiteral("\nMoon: Azimuth: ")));

        lat->setFocus();
        QVERIFY(lat->hasFocus());
        lat->setText(QStringLiteral("12.")); // being typed
        const QString shown = text->text();
        s.assignRequests(0);
        s.Config.Lat = 100;
        s.Config.Lon = 200;
        s.Info.Month = 2;
        s.Info.Day = 30; // impossible: the picker keeps its date, the text stays
        s.Info.Minute = 59;
        const int logLines = w->messageLog()->blockCount();
        w->ShowModeAndSettings();
        w->ShowDeviceInfo();
        QCOMPARE(lat->text(), QStringLiteral("12."));
        QCOMPARE(lon->text(), QStringLiteral("20"));
        QCOMPARE(dtp->date(), QDate(2025, 3, 7));
        QCOMPARE(time->text(), QStringLiteral("07:59"));
        QVERIFY(!page->lastDrawComplete());
        QCOMPARE(text->text(), shown);
        QCOMPARE(w->messageLog()->blockCount(), logLines);
        QCOMPARE(s.requests(), 0u);

        time->setFocus();
        s.Info.Day = 1;
        s.Info.Minute = 10;
        w->ShowDeviceInfo();
        QCOMPARE(time->text(), QStringLiteral("07:59"));
        QCOMPARE(dtp->date(), QDate(2025, 2, 1));
        QCOMPARE(trb->value(), 430);
        QVERIFY(page->lastDrawComplete());

        // The calendar open: the device's date waits until it is closed.
        w->activateWindow();
        lat->setFocus();
        QWidget* popup = dtp->calendarWidget()->window();
        popup->show();
        s.Info.Day = 2;
        w->ShowDeviceInfo();
        QCOMPARE(dtp->date(), QDate(2025, 2, 1));
        popup->hide();
        w->ShowDeviceInfo();
        QCOMPARE(dtp->date(), QDate(2025, 2, 2));
    }

    void nowTakesTheComputersClock() {
        auto clock = std::make_shared<FixedClock>();
        clock->t = QDateTime(QDate(2031, 5, 17), QTime(13, 14, 15, 996));
        WindowOptions o;
        o.useTaskbar = false;
        o.watchSystem = false;
        o.enumeratePorts = [] { return QStringList(); };
        o.startLink = [](const QString&, bool) {};
        o.clock = clock;
        TfrmQuenda w(std::move(o));
        QVERIFY(showActive(w));
        connectInMode(w, 0, "tsChannels");
        TInfo& info = w.state().Info;
        info.ClockSpare = 7;
        auto* item = w.findChild<QAction*>(QStringLiteral("mnuSetTimeDate"));
        item->trigger();
        QCOMPARE(w.pages()->currentWidget()->objectName(), QStringLiteral("tsGeo"));
        // "Realtime" on the Configuration page was pressed first.
        QCOMPARE(w.state().requests(), uint32_t(rqSetTime | rqSetConfig));
        QCOMPARE(int(w.state().Config.TimeLapse), 1);
        QCOMPARE(QDate(2000 + info.Year, info.Month, info.Day), QDate(2031, 5, 17));
        QCOMPARE(QTime(info.Hour, info.Minute, info.Second), QTime(13, 14, 15));
        QCOMPARE(int(info.Centisecond), 99);
        QCOMPARE(int(info.ClockSpare), 0);
        QCOMPARE(control<QLineEdit>(w, "edtTime")->text(), QStringLiteral("13:14"));
        QCOMPARE(control<QSlider>(w, "trbTime")->value(), 13 * 60 + 14);
        QCOMPARE(control<QDateEdit>(w, "dtp")->date(), QDate(2031, 5, 17));

        // The button does the same; a double-click on the moon goes to the configuration.
        w.state().assignRequests(0);
        clock->t = QDateTime(QDate(2032, 1, 2), QTime(3, 4));
        QTest::mouseClick(control<QPushButton>(w, "btnNow"), Qt::LeftButton);
        QCOMPARE(int(info.Year), 32);
        QCOMPARE(w.state().requests(), uint32_t(rqSetTime | rqSetConfig));
        QTest::mouseDClick(geoPage(w)->imgMoon(), Qt::LeftButton);
        QCOMPARE(w.pages()->currentWidget()->objectName(), QStringLiteral("tsConfig"));
    }
};

QTEST_MAIN(TestGeoPage)
#include "test_geo_page.moc"
