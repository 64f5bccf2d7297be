// Count and duration to the device's start and end chances and back.
#include "pages/weather_rates.h"

#include <QTest>

using namespace quenda;

class TestWeatherRates : public QObject {
    Q_OBJECT
private slots:
    void ratesAndReadBack_data() {
        QTest::addColumn<bool>("storm");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("duration");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("countBack");
        QTest::addColumn<int>("durationBack");
        // Truncation on the way there and back moves the bars a little.
        QTest::newRow("3000 clouds of 900 s") << false << 3000 << 900 << 1820 << 58 << 2999 << 903;
        QTest::newRow("24 clouds of 300 s") << false << 24 << 300 << 14 << 174 << 23 << 301;
        QTest::newRow("no clouds, 1 s") << false << 0 << 1 << 0 << 52428 << 0 << 1;
        QTest::newRow("cloud of 0 s") << false << 10 << 0 << 6 << 0xFFFF << 9 << 0;
        QTest::newRow("1000 storms of 200 min") << true << 1000 << 200 << 1387 << 69 << 999 << 202;
        // 256 * 2^23 is 2^31: the count term must not overflow 32 bits.
        QTest::newRow("256 storms of 1 min") << true << 256 << 1 << 355 << 13981 << 255 << 1;
        QTest::newRow("1 storm a week") << true << 1 << 60 << 1 << 233 << 0 << 60;
        QTest::newRow("storm of 0 min") << true << 7 << 0 << 9 << 0xFFFF << 6 << 0;
        // Beyond any track bar: the chance saturates instead of wrapping to a small one.
        QTest::newRow("clouds beyond the field") << false << 200000 << 900 << 0xFFFF << 58 << 107998 << 903;
        QTest::newRow("negative count") << true << -5 << 60 << 0 << 233 << 0 << 60;
    }
    void ratesAndReadBack() {
        QFETCH(bool, storm);
        QFETCH(int, count);
        QFETCH(int, duration);
        const WeatherRates r = storm ? StormRates(count, duration) : CloudRates(count, duration);
        QTEST(int(r.start), "start");
        QTEST(int(r.end), "end");
        QTEST(int(storm ? StormsPerWeek(r.start) : CloudsPerDay(r.start)), "countBack");
        const auto back = storm ? StormMinutes(r.end) : CloudSeconds(r.end);
        QVERIFY(back.has_value());
        QTEST(int(*back), "durationBack");
    }

    // An end chance of 0 (never sent by the page) tells no duration.
    void zeroEndChanceHasNoDuration() {
        QVERIFY(!CloudSeconds(0).has_value());
        QVERIFY(!StormMinutes(0).has_value());
    }
};

QTEST_APPLESS_MAIN(TestWeatherRates)
#include "test_weather_rates.moc"
