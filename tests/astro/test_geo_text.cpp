// The place-and-clock figures and their two text lines.
#include "astro/geo_text.h"

#include <QTest>
#include <cmath>

using namespace quenda;

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// Figures chosen to give the page's sample lines.
GeoFigures SampleFigures() {
    GeoFigures f;
    f.sun.Azimuth = Radians(231.4);
    f.sun.Altitude = Radians(12.8);
    f.sunEvents.Rise = 7 + 52.0 / 60;
    f.sunEvents.Set = 16 + 31.0 / 60;
    f.moon.Azimuth = Radians(75.2);
    f.moon.Altitude = Radians(-3.1);
    f.moon.Phase = 0.873;
    f.moonEvents.Rise = 15 + 10.0 / 60;
    f.moonEvents.Set = 6 + 2.0 / 60;
    return f;
}

GeoTextStyle LongAltitude() {
    GeoTextStyle s;
    s.text = [](std::string_view key) {
        return key == "Altitude" ? std::string("Altitude") : std::string(GeoEnglishText(key));
    };
    return s;
}

} // namespace

class TestGeoText : public QObject {
    Q_OBJECT
private slots:
    void formatDecimal1_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("text");
        QTest::newRow("one decimal") << 231.44 << "."
                                     << "231.4";
        QTest::newRow("trailing zero dropped") << 17.0 << "."
                                               << "17";
        QTest::newRow("rounds up to whole") << 99.96 << "."
                                            << "100";
        QTest::newRow("negative") << -3.14 << "."
                                  << "-3.1";
        QTest::newRow("negative zero shows 0") << -0.04 << "."
                                               << "0";
        QTest::newRow("comma") << 12.84 << ","
                               << "12,8";
        QTest::newRow("NaN does not crash") << std::nan("") << "."
                                            << "NaN";
    }
    void formatDecimal1() {
        QFETCH(double, value);
        QFETCH(QString, separator);
        QFETCH(QString, text);
        QCOMPARE(Q(FormatDecimal1(value, separator.toStdString())), text);
    }

    void sampleLines() {
        const GeoFigures f = SampleFigures();
        const GeoTextStyle style = LongAltitude();
        QCOMPARE(Q(GeoSunLine(f, style)),
                 QStringLiteral("Sun: Azimuth: 231.4\u00b0, Altitude: 12.8\u00b0, Rise: 07:52, "
                                "Set: 16:31, Length of day: 08:39 hours"));
        QCOMPARE(Q(GeoMoonLine(f, style)),
                 QStringLiteral("Moon: Azimuth: 75.2\u00b0, Altitude: -3.1\u00b0, Rise: "
                                "15:10, Set: 06:02, Phase: 87.3%"));
        QCOMPARE(Q(GeoText(f, style)), Q(GeoSunLine(f, style) + "\n" + GeoMoonLine(f, style) + "\n"));
    }

    // Without a lookup the English table's texts are used ("Alt" for the altitude).
    void englishFallback() {
        const GeoFigures f = SampleFigures();
        QVERIFY(Q(GeoSunLine(f))
                    .startsWith(QStringLiteral("Sun: Azimuth: 231.4\u00b0, Alt: 12.8\u00b0, Rise: 07:52")));
        QVERIFY(Q(GeoMoonLine(f)).endsWith(QStringLiteral("Phase: 87.3%")));
    }

    void injectedTextsAndSeparator() {
        GeoTextStyle style;
        style.decimalSeparator = ",";
        style.text = [](std::string_view key) {
            if (key == "Sun") return std::string("Sonne");
            if (key == "Altitude") return std::string("H\u00f6he");
            if (key == "Rise") return std::string("Aufgang");
            return std::string(key);
        };
        QCOMPARE(
            Q(GeoSunLine(SampleFigures(), style)),
            QStringLiteral("Sonne: Azimuth: 231,4\u00b0, H\u00f6he: 12,8\u00b0, Aufgang: 07:52, Set: 16:31, "
                           "DayLength: 08:39 Hours"));
    }

    void riseAndSetOnlyWhenApart_data() {
        QTest::addColumn<double>("rise");
        QTest::addColumn<double>("set");
        QTest::addColumn<bool>("shown");
        QTest::newRow("equal") << 12.0 << 12.0 << false;
        QTest::newRow("29 s apart") << 12.0 << 12.0 + 29.0 / 3600 << false;
        QTest::newRow("31 s apart") << 12.0 << 12.0 + 31.0 / 3600 << true;
        QTest::newRow("normal day") << 8.0 << 16.0 << true;
    }
    void riseAndSetOnlyWhenApart() {
        QFETCH(double, rise);
        QFETCH(double, set);
        QFETCH(bool, shown);
        GeoFigures f = SampleFigures();
        f.sunEvents.Rise = f.moonEvents.Rise = rise;
        f.sunEvents.Set = f.moonEvents.Set = set;
        QCOMPARE(Q(GeoSunLine(f)).contains(QStringLiteral("Rise")), shown);
        QCOMPARE(Q(GeoSunLine(f)).contains(QStringLiteral("Length of day")), shown);
        QCOMPARE(Q(GeoMoonLine(f)).contains(QStringLiteral("Rise")), shown);
        QVERIFY(Q(GeoMoonLine(f)).contains(QStringLiteral("Phase")));
    }

    void missingMoonSetAndOvernightDay() {
        GeoFigures f = SampleFigures();
        f.moonEvents.Set = astro::MissingTime;
        QVERIFY(Q(GeoMoonLine(f)).contains(QStringLiteral("Rise: 15:10, Set: --:--,")));
        f.sunEvents.Rise = 22;
        f.sunEvents.Set = 2.5;
        QCOMPARE(DayLength(f.sunEvents), 4.5);
        QVERIFY(Q(GeoSunLine(f)).contains(QStringLiteral("Length of day: 04:30 hours")));
    }

    void zoneHoursDropTheRemainder_data() {
        QTest::addColumn<int>("minutes");
        QTest::addColumn<int>("hours");
        QTest::newRow("UTC+5:30") << 330 << 5;
        QTest::newRow("UTC-3:30") << -210 << -3;
        QTest::newRow("UTC+0:59") << 59 << 0;
        QTest::newRow("UTC-0:59") << -59 << 0;
        QTest::newRow("UTC+14") << 840 << 14;
        QTest::newRow("UTC-12") << -720 << -12;
    }
    void zoneHoursDropTheRemainder() {
        QFETCH(int, minutes);
        QFETCH(int, hours);
        QCOMPARE(ZoneHoursFromMinutes(minutes), hours);
    }

    // The device clock is local time: 12:00 at zone +1 is 11:00 UT.
    void momentFromLocalClock() {
        GeoMoment m;
        m.latDeg = 50.1;
        m.lonDeg = 8.5;
        m.day = 8;
        m.month = 12;
        m.year = 2026;
        m.hour = 12;
        m.minute = 30;
        m.zoneHours = 1;
        const GeoFigures f = ComputeGeo(m);
        QCOMPARE(f.jd0, 2461382.5);
        QVERIFY(std::fabs(f.jd - (2461382.5 + 11.5 / 24)) < 1e-9);
        QVERIFY(std::fabs(f.jdT - f.jd - 65.0 / 86400) < 1e-9);
        // Early December near 50 N: the sun is low in the south around noon.
        QVERIFY(std::fabs(Degrees(f.sun.Azimuth) - 180) < 10);
        QVERIFY(Degrees(f.sun.Altitude) > 14 && Degrees(f.sun.Altitude) < 19);
        QVERIFY(f.sunEvents.Rise > 8 && f.sunEvents.Rise < 8.5);
        QVERIFY(f.sunEvents.Set > 16.2 && f.sunEvents.Set < 16.6);
        QCOMPARE(f.observer.EclLat, Radians(50.1));
    }

    // At 78 N in June the sun neither rises nor sets: no rise, set or day length.
    void midnightSunHasNoRiseSetPart() {
        GeoMoment m;
        m.latDeg = 78.2;
        m.lonDeg = 15.6;
        m.day = 21;
        m.month = 6;
        m.year = 2026;
        m.hour = 12;
        m.zoneHours = 2;
        const QString sun = Q(GeoSunLine(ComputeGeo(m)));
        QVERIFY2(!sun.contains(QStringLiteral("Rise")), qPrintable(sun));
        QVERIFY(!sun.contains(QStringLiteral("Length")));
    }

    // A device clock full of garbage must not crash the page.
    void garbageClockDoesNotCrash() {
        GeoMoment m;
        m.latDeg = 3276.7;
        m.lonDeg = -3276.8;
        m.day = -128;
        m.month = 127;
        m.year = 2127;
        m.hour = 127;
        m.minute = -128;
        m.zoneHours = 14;
        const GeoFigures f = ComputeGeo(m);
        QVERIFY(!GeoText(f).empty());
        QVERIFY(std::isfinite(f.sun.Altitude) && std::isfinite(f.moon.Altitude));
    }
};

QTEST_APPLESS_MAIN(TestGeoText)
#include "test_geo_text.moc"
