// The computer's zone turned into the device's rules, with the zone handed in.
#include "pages/time_zone_rules.h"

#include <QTest>

using namespace quenda;

Q_DECLARE_METATYPE(quenda::ZoneTransition)

class TestTimeZoneRules : public QObject {
    Q_OBJECT
private slots:
    void rulesOfZone_data() {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("bias");
        QTest::addColumn<ZoneTransition>("daylight");
        QTest::addColumn<ZoneTransition>("standard");
        // Last Sundays of March and October; in 2029 they fall on the 25th and 28th.
        QTest::newRow("Berlin") << QByteArray("Europe/Berlin") << 2024 << 60 << ZoneTransition{3, 31, 2, 0}
                                << ZoneTransition{10, 31, 3, 0};
        QTest::newRow("Berlin 2029") << QByteArray("Europe/Berlin") << 2029 << 60 << ZoneTransition{3, 31, 2, 0}
                                     << ZoneTransition{10, 31, 3, 0};
        // Second Sunday of March, first of November.
        QTest::newRow("New York") << QByteArray("America/New_York") << 2024 << -300 << ZoneTransition{3, 14, 2, 0}
                                  << ZoneTransition{11, 7, 2, 0};
        QTest::newRow("Kolkata") << QByteArray("Asia/Kolkata") << 2024 << 330 << ZoneTransition{}
                                 << ZoneTransition{};
        // Southern hemisphere: daylight time begins late in the year.
        QTest::newRow("Sydney") << QByteArray("Australia/Sydney") << 2024 << 600 << ZoneTransition{10, 7, 2, 0}
                                << ZoneTransition{4, 7, 3, 0};
    }
    void rulesOfZone() {
        QFETCH(QByteArray, zone);
        QFETCH(int, year);
        QFETCH(int, bias);
        QFETCH(ZoneTransition, daylight);
        QFETCH(ZoneTransition, standard);
        const QTimeZone tz(zone);
        if (!tz.isValid()) QSKIP("the system has no data for this zone");
        const auto r = zoneRules(tz, year);
        QVERIFY(r);
        QCOMPARE(r->bias, bias);
        auto same = [](const ZoneTransition& a, const ZoneTransition& b) {
            return a.month == b.month && a.day == b.day && a.hour == b.hour && a.dayOfWeek == b.dayOfWeek;
        };
        QVERIFY(same(r->daylight, daylight));
        QVERIFY(same(r->standard, standard));
    }

    void invalidZoneGivesNothing() { QVERIFY(!zoneRules(QTimeZone("No/Such_Zone"), 2024)); }

    // The last occurrence is the month's last day, short months included.
    void dayOfOccurrence_data() {
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("occurrence");
        QTest::addColumn<int>("day");
        QTest::newRow("second") << 3 << 2 << 14;
        QTest::newRow("last of 31") << 1 << 5 << 31;
        QTest::newRow("last of 30") << 9 << 5 << 30;
        QTest::newRow("last of February") << 2 << 5 << 28;
        QTest::newRow("fourth of February") << 2 << 4 << 28;
    }
    void dayOfOccurrence() {
        QFETCH(int, month);
        QFETCH(int, occurrence);
        QFETCH(int, day);
        QCOMPARE(ruleDay(month, occurrence), day);
    }
};

QTEST_APPLESS_MAIN(TestTimeZoneRules)
#include "test_time_zone_rules.moc"
