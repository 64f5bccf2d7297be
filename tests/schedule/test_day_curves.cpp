// The day-curve drawing without a window: where points land, what is painted, and
// which point the mouse grabs.
#include "schedule/day_curves.h"

#include <QGuiApplication>
#include <QTest>

using namespace quenda;

namespace {

constexpr int kW = 400, kH = 300; // plot area x 20..380, y 20..279
constexpr int kRed = 2, kGreen = 3;

TScheduleRow line(int hour, int minute, int level, int16_t alt = 0) {
    TScheduleRow r{};
    r.Hour = int8_t(hour);
    r.Minute = int8_t(minute);
    r.Alt = alt;
    r.Color16[0] = int16_t(level);
    return r;
}

CurveScene scene(const std::vector<TScheduleRow>& lines) {
    CurveScene s;
    s.schedule = lines;
    s.colorNames.fill(kGreen);
    s.colorNames[0] = kRed;
    s.size = QSize(kW, kH);
    s.year = 26, s.month = 6, s.day = 21;
    s.hour = 7, s.minute = 20; // marker at x 130, clear of the grid
    s.font = QGuiApplication::font();
    return s;
}

bool coloured(QRgb p) {
    return qRed(p) != qGreen(p) || qGreen(p) != qBlue(p);
}

} // namespace

class TestDayCurves : public QObject {
    Q_OBJECT
private slots:
    void emptyScheduleDrawsFrameAndMarkerOnly() {
        const std::vector<TScheduleRow> none;
        CurveScene s = scene(none);
        s.colorNames.fill(200); // no such colour name: must not read past the table
        const DayCurves c = DrawDayCurves(s);
        QVERIFY(c.failure.isEmpty());
        QCOMPARE(c.image.size(), QSize(kW, kH));
        QVERIFY(c.points.empty());
        QCOMPARE(c.image.pixel(130, 160), 0xFFC0C0C0u); // present moment
        QCOMPARE(c.image.pixel(305, 160), 0xFF101010u); // grid line of hour 19
        // Grid, labels and marker are grey: no curve was drawn anywhere.
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                if (coloured(c.image.pixel(x, y))) QFAIL(qPrintable(QStringLiteral("colour at %1,%2").arg(x).arg(y)));
    }

    void oneLineIsOneSegmentShadedDownToTheCorner() {
        std::vector<TScheduleRow> lines{line(12, 0, 2048)};
        lines[0].Color16[5] = 1024;
        const DayCurves c = DrawDayCurves(scene(lines));
        QCOMPARE(int(c.points.size()), 1);
        QCOMPARE(c.points[0].X, 200.0f);
        QCOMPARE(c.points[0].Y[0], 149.5f);
        QCOMPARE(c.points[0].Y[5], 214.25f);
        QCOMPARE(c.points[0].Y[6], 279.0f); // level 0 on the bottom line

        // The curve enters the day at the level the day ends with: the segment from the
        // left edge is flat, and the shade runs under it and down to the right corner.
        const QRgb onCurve = c.image.pixel(100, 149);
        QVERIFY(qRed(onCurve) > 100 && qGreen(onCurve) == 0);
        const QRgb shaded = c.image.pixel(100, 190);
        QVERIFY2(qRed(shaded) >= 0x18 && qRed(shaded) <= 0x28 && qGreen(shaded) == 0, qPrintable(QString::number(shaded, 16)));
        QVERIFY(qRed(c.image.pixel(300, 250)) >= 0x18);   // under the slope to (380, 280)
        QCOMPARE(c.image.pixel(300, 180), 0xFF000000u);  // above it
        QCOMPARE(c.image.pixel(100, 120), 0xFF000000u);  // above the flat part
        QCOMPARE(qRed(c.image.pixel(197, 146)), 255);     // the grab square
        // Another channel is drawn in its shade, not in full colour.
        const QRgb other = c.image.pixel(100, 214);
        QVERIFY2(qGreen(other) > 0 && qGreen(other) < 0x40, qPrintable(QString::number(other, 16)));
    }

    void sunPathPlacesRisingLeftAndSettingRight() {
        // Altitudes -5.7, 30, 90, 30, -5.7 degrees.
        const std::vector<TScheduleRow> lines{line(0, 0, 100, -1000), line(0, 0, 100, 5000), line(0, 0, 100, 10000),
                                              line(0, 0, 100, 5000), line(0, 0, 100, -1000)};
        const DayCurves c = DrawSunPathCurves(scene(lines));
        QVERIFY(c.failure.isEmpty());
        QCOMPARE(int(c.points.size()), 5);
        const float centre = kW / 2.0f;
        QCOMPARE(c.points[2].X, centre);
        QVERIFY(c.points[0].X < c.points[1].X && c.points[1].X < centre);
        QVERIFY(centre < c.points[3].X && c.points[3].X < c.points[4].X);
        // Equal altitudes sit mirrored about the culmination.
        QCOMPARE(c.points[1].X + c.points[3].X, float(kW));
        QCOMPARE(c.points[0].X + c.points[4].X, float(kW));

        // No sine: such a line sits at the horizon of its side; a lone line is reached by
        // neither walk and stays at the start.
        const std::vector<TScheduleRow> bad{line(0, 0, 100, 12000), line(0, 0, 100, 3000), line(0, 0, 100, -12000)};
        const DayCurves b = DrawSunPathCurves(scene(bad));
        QCOMPARE(b.points[0].X, 110.0f);   // -90..90..-90 over 20..380: the rising horizon
        QCOMPARE(b.points[2].X, 290.0f);   // the setting horizon
        const std::vector<TScheduleRow> one{line(0, 0, 100, 5000)};
        QCOMPARE(DrawSunPathCurves(scene(one)).points[0].X, 20.0f);
    }

    void mouseGrabsEarlierPointAndClampsValues() {
        // 12:00 and 12:10 are 2.5 px apart at this width.
        const std::vector<TScheduleRow> lines{line(6, 0, 4096), line(12, 0, 2048), line(12, 10, 2048)};
        const DayCurves c = DrawDayCurves(scene(lines));
        QCOMPARE(HitPoint(c.points, 0, QPointF(201, 150)), 1);
        QCOMPARE(HitPoint(c.points, 0, QPointF(208, 157.5)), 1); // 8 px is still a hit
        QCOMPARE(HitPoint(c.points, 0, QPointF(209, 150)), 2);   // out of line 1's reach
        QCOMPARE(HitPoint(c.points, 0, QPointF(201, 160)), -1);
        QCOMPARE(HitPoint(c.points, 5, QPointF(201, 279)), 1); // another channel's points
        QCOMPARE(HitPoint(c.points, 12, QPointF(201, 150)), -1);

        QCOMPARE(MinuteAtX(kW + 50, kW), 1440); // past the right edge: 24:00
        QCOMPARE(MinuteAtX(-50, kW), 0);
        QCOMPARE(MinuteAtX(200, kW), 720);
        QCOMPARE(LevelAtY(-50, kH), 4096);
        QCOMPARE(LevelAtY(kH + 50, kH), 0);
        QCOMPARE(LevelAtY(149.5, kH), 2048);
        // A surface with no plot area converts nothing (and divides by nothing).
        QVERIFY(!MinuteAtX(10, 40));
        QVERIFY(!LevelAtY(10, 41));
        CurveScene none = scene(lines);
        none.size = QSize(0, 0);
        QVERIFY(DrawDayCurves(none).image.isNull());
    }

    // A drawing that reuses the previous result keeps its grid and labels only while they
    // still fit: what it shows must equal a drawing from nothing.
    void reusedResultDrawsAsAFreshOne_data() {
        QTest::addColumn<bool>("firstSunPath");
        QTest::addColumn<QSize>("firstSize");
        QTest::addColumn<int>("firstFontPixels");
        QTest::addColumn<bool>("sunPath");
        QTest::newRow("same scene") << false << QSize(kW, kH) << 0 << false;
        QTest::newRow("day to sun path") << false << QSize(kW, kH) << 0 << true;
        QTest::newRow("sun path to day") << true << QSize(kW, kH) << 0 << false;
        QTest::newRow("other size") << false << QSize(kW + 60, kH - 40) << 0 << false;
        QTest::newRow("other font") << true << QSize(kW, kH) << 24 << true;
    }
    void reusedResultDrawsAsAFreshOne() {
        QFETCH(bool, firstSunPath);
        QFETCH(QSize, firstSize);
        QFETCH(int, firstFontPixels);
        QFETCH(bool, sunPath);
        // The first drawing has other levels, a drag label and another marker, none of
        // which may stay behind.
        const std::vector<TScheduleRow> before{line(3, 0, 4096, -2000), line(12, 0, 0, 9000), line(20, 0, 3000, -3000)};
        const std::vector<TScheduleRow> after{line(6, 0, 1000, 1000), line(12, 0, 3500, 8000), line(18, 0, 500, 1000)};
        CurveScene first = scene(before);
        first.size = firstSize;
        first.dragged = 1;
        first.hour = 15;
        if (firstFontPixels) first.font.setPixelSize(firstFontPixels);
        auto draw = [](const CurveScene& s, bool sun, DayCurves reuse) {
            return sun ? DrawSunPathCurves(s, std::move(reuse)) : DrawDayCurves(s, std::move(reuse));
        };
        DayCurves kept = draw(first, firstSunPath, {});
        const CurveScene second = scene(after);
        const DayCurves again = draw(second, sunPath, std::move(kept));
        const DayCurves fresh = draw(second, sunPath, {});
        QVERIFY(again.failure.isEmpty());
        QCOMPARE(again.image.size(), fresh.image.size());
        QVERIFY(again.image == fresh.image);
        // Drawn twice more over itself: the curves must not pile up.
        const DayCurves third = draw(second, sunPath, draw(second, sunPath, fresh));
        QVERIFY(third.image == fresh.image);
    }

    // Levels and times far outside the day (as a damaged schedule holds them) leave the
    // surface at its edge instead of being drawn outside the picture.
    void curvesFarOffTheSurfaceAreCutAtItsEdge() {
        std::vector<TScheduleRow> lines{line(12, 0, 2048, 32767), line(12, 30, 32767, -32768), line(127, 0, -32768, 0),
                                        line(-128, 0, 2048, 10000)};
        for (auto& l : lines) l.Color16[7] = l.Color16[0];
        CurveScene s = scene(lines);
        s.dragged = 1;
        for (const bool sun : {false, true}) {
            const DayCurves c = sun ? DrawSunPathCurves(s) : DrawDayCurves(s);
            QVERIFY(c.failure.isEmpty());
            QCOMPARE(c.image.size(), QSize(kW, kH));
            QCOMPARE(int(c.points.size()), 4);
        }
        // From 12:00 at half level steeply up and off the top: still drawn where it is inside.
        const DayCurves day = DrawDayCurves(s);
        QVERIFY(std::max(qRed(day.image.pixel(199, 100)), qRed(day.image.pixel(200, 100))) > 100);
    }

    void dragLabelShowsTimeOrAltitude() {
        std::vector<TScheduleRow> lines{line(9, 5, 2048, 5000)};
        CurveScene s = scene(lines);
        s.dragged = 0;
        // White box at the top-left corner with black text in it.
        const QImage day = DrawDayCurves(s).image;
        QCOMPARE(day.pixel(0, 0), 0xFFFFFFFFu);
        bool black = false;
        for (int x = 0; x < 30; ++x) black |= qRed(day.pixel(x, 8)) < 0x40;
        QVERIFY(black);
        s.dragged = -1;
        QVERIFY(DrawDayCurves(s).image.pixel(0, 0) != 0xFFFFFFFFu);
    }
};

QTEST_MAIN(TestDayCurves)
#include "test_day_curves.moc"
