// Offset of local time from UTC under a zone's rules, around the daylight-time switches.
#include "astro/utc_offset.h"

#include <QTest>

using namespace quenda;

class TestUtcOffset : public QObject {
    Q_OBJECT
private slots:
    void offsets_data() {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QTime>("time");
        QTest::addColumn<int>("minutes");
        // Central Europe switches on the last Sundays of March and October.
        QTest::newRow("Berlin winter")
            << QByteArray("Europe/Berlin") << QDate(2026, 12, 8) << QTime(12, 0) << 60;
        QTest::newRow("Berlin summer")
            << QByteArray("Europe/Berlin") << QDate(2026, 7, 1) << QTime(0, 0) << 120;
        QTest::newRow("Berlin before spring switch")
            << QByteArray("Europe/Berlin") << QDate(2026, 3, 29) << QTime(1, 59) << 60;
        // 02:30 does not exist that night: daylight time already applies.
        QTest::newRow("Berlin skipped hour")
            << QByteArray("Europe/Berlin") << QDate(2026, 3, 29) << QTime(2, 30) << 120;
        QTest::newRow("Berlin after spring switch")
            << QByteArray("Europe/Berlin") << QDate(2026, 3, 29) << QTime(3, 0) << 120;
        // 02:30 happens twice: the first, daylight-time occurrence counts.
        QTest::newRow("Berlin repeated hour")
            << QByteArray("Europe/Berlin") << QDate(2026, 10, 25) << QTime(2, 30) << 120;
        QTest::newRow("Berlin after autumn switch")
            << QByteArray("Europe/Berlin") << QDate(2026, 10, 25) << QTime(3, 0) << 60;
        QTest::newRow("Kolkata +5:30")
            << QByteArray("Asia/Kolkata") << QDate(2026, 1, 15) << QTime(8, 0) << 330;
        QTest::newRow("Kathmandu +5:45")
            << QByteArray("Asia/Kathmandu") << QDate(2026, 1, 15) << QTime(8, 0) << 345;
        QTest::newRow("St Johns -3:30")
            << QByteArray("America/St_Johns") << QDate(2026, 1, 15) << QTime(8, 0) << -210;
        QTest::newRow("New York summer")
            << QByteArray("America/New_York") << QDate(2026, 7, 4) << QTime(20, 0) << -240;
        QTest::newRow("Sydney summer")
            << QByteArray("Australia/Sydney") << QDate(2026, 1, 1) << QTime(0, 0) << 660;
        QTest::newRow("Sydney winter")
            << QByteArray("Australia/Sydney") << QDate(2026, 7, 1) << QTime(0, 0) << 600;
        QTest::newRow("UTC") << QByteArray("UTC") << QDate(2026, 7, 1) << QTime(0, 0) << 0;
    }
    void offsets() {
        QFETCH(QByteArray, zone);
        QFETCH(QDate, date);
        QFETCH(QTime, time);
        QFETCH(int, minutes);
        const QTimeZone tz(zone);
        if (!tz.isValid()) QSKIP("time-zone data for this zone is not installed");
        QCOMPARE(UtcOffsetAt(date, time, tz), minutes);
    }

    void invalidInputGivesStandardOffset() {
        const QTimeZone tz("Europe/Berlin");
        if (!tz.isValid()) QSKIP("time-zone data not installed");
        QCOMPARE(UtcOffsetAt(QDate(2026, 2, 30), QTime(12, 0), tz), 60);
        QCOMPARE(UtcOffsetAt(QDate(2026, 7, 1), QTime(25, 0), tz), 60);
        QCOMPARE(UtcOffsetAt(QDate(2026, 7, 1), QTime(12, 0), QTimeZone()), 0);
    }

    // The system's zone comes from the process environment on this platform.
    void systemZone() {
        const QTimeZone sys = QTimeZone::systemTimeZone();
        QVERIFY(sys.isValid());
        const QDate d(2026, 12, 8);
        const QTime t(12, 0);
        QCOMPARE(UtcOffsetAt(d, t), UtcOffsetAt(d, t, sys));
        QCOMPARE(UtcOffsetAt(d, t) * 60, QDateTime(d, t).offsetFromUtc());
    }
};

QTEST_GUILESS_MAIN(TestUtcOffset)
#include "test_utc_offset.moc"
