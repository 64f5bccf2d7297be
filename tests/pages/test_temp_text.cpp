#include "pages/number_text.h"
#include "pages/temp_text.h"

#include <QTest>

using namespace quenda;

class TestTempText : public QObject {
    Q_OBJECT
private slots:
    void init() { setDesktopLocaleName(QStringLiteral("C")); }

    void unitFollowsFlagBit2() {
        TConfig c{};
        QCOMPARE(TempUnitText(c), QStringLiteral("\u00B0C"));
        c.Flag = 0x04;
        QCOMPARE(TempUnitText(c), QStringLiteral("\u00B0F"));
        c.Flag = 0xFB; // every other bit
        QCOMPARE(TempUnitText(c), QStringLiteral("\u00B0C"));
    }

    void tempText_data() {
        QTest::addColumn<int>("tenths");
        QTest::addColumn<bool>("fahrenheit");
        QTest::addColumn<QString>("text");
        QTest::newRow("C zero") << 0 << false << "0.0";
        QTest::newRow("C 21.5") << 215 << false << "21.5";
        QTest::newRow("C -0.5") << -5 << false << "-0.5";
        QTest::newRow("C -12.3") << -123 << false << "-12.3";
        QTest::newRow("C no measurement") << 32767 << false << "3276.7";
        QTest::newRow("C min") << -32768 << false << "-3276.8";
        QTest::newRow("F freezing") << 0 << true << "32.0";
        QTest::newRow("F 32.18 down") << 1 << true << "32.2";
        QTest::newRow("F 33.26 up") << 7 << true << "33.3";
        QTest::newRow("F 34.52 down") << 14 << true << "34.5";
        QTest::newRow("F 25 C") << 250 << true << "77.0";
        QTest::newRow("F -0.04 is zero") << -178 << true << "0.0";
        QTest::newRow("F -0.22") << -179 << true << "-0.2";
        QTest::newRow("F -40 meets") << -400 << true << "-40.0";
        QTest::newRow("F no measurement") << 32767 << true << "5930.1";
        QTest::newRow("F min") << -32768 << true << "-5866.2";
    }
    void tempText() {
        QFETCH(int, tenths);
        QFETCH(bool, fahrenheit);
        QFETCH(QString, text);
        QCOMPARE(TempText(tenths, fahrenheit), text);
    }

    void parseTemp_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fahrenheit");
        QTest::addColumn<qint64>("tenths"); // -999999 for "not a number"
        QTest::newRow("C 21.5") << "21.5" << false << qint64(215);
        QTest::newRow("C -0.5") << "-0.5" << false << qint64(-5);
        QTest::newRow("C whole") << "30" << false << qint64(300);
        QTest::newRow("C tie to even") << "2.25" << false << qint64(22);
        QTest::newRow("C hundredths round") << "21.56" << false << qint64(216);
        QTest::newRow("C no measurement") << "3276.7" << false << qint64(32767);
        QTest::newRow("C beyond the field") << "5000" << false << qint64(50000);
        QTest::newRow("F freezing") << "32" << true << qint64(0);
        QTest::newRow("F boiling") << "212" << true << qint64(1000);
        QTest::newRow("F -40") << "-40" << true << qint64(-400);
        QTest::newRow("F 32.2") << "32.2" << true << qint64(1);
        QTest::newRow("F 77.5") << "77.5" << true << qint64(253);
        QTest::newRow("F no measurement") << "5930.1" << true << qint64(32767);
        QTest::newRow("letters") << "abc" << false << qint64(-999999);
        QTest::newRow("empty") << "" << true << qint64(-999999);
        QTest::newRow("unit typed along") << "21.5\u00B0C" << false << qint64(-999999);
    }
    void parseTemp() {
        QFETCH(QString, text);
        QFETCH(bool, fahrenheit);
        QFETCH(qint64, tenths);
        const auto v = ParseTemp(text, fahrenheit);
        if (tenths == -999999)
            QVERIFY(!v);
        else {
            QVERIFY(v);
            QCOMPARE(*v, tenths);
        }
    }

    // Whatever the device reports comes back unchanged when the user accepts the shown text.
    void everyValueSurvivesShowAndParse() {
        for (bool f : {false, true})
            for (int t = -32768; t <= 32767; ++t) {
                const auto back = ParseTemp(TempText(t, f), f);
                if (!back || *back != t)
                    QFAIL(qPrintable(QStringLiteral("%1 (%2)").arg(t).arg(f ? "F" : "C")));
            }
    }

    void desktopSeparator() {
        setDesktopLocaleName(QStringLiteral("de_DE"));
        QCOMPARE(TempText(215, false), QStringLiteral("21,5"));
        QCOMPARE(TempText(253, true), QStringLiteral("77,5"));
        QCOMPARE(ParseTemp(QStringLiteral("21,5"), false).value_or(0), 215);
        QCOMPARE(ParseTemp(QStringLiteral("21.5"), false).value_or(0), 215);
    }
};

QTEST_GUILESS_MAIN(TestTempText)
#include "test_temp_text.moc"
