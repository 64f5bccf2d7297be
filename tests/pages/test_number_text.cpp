#include "pages/entry_check.h"
#include "pages/number_text.h"

#include <QTest>

using namespace quenda;

class TestNumberText : public QObject {
    Q_OBJECT
private slots:
    void init() { setDesktopLocaleName(QStringLiteral("en_US")); }

    void parse_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        QTest::newRow("int") << "en_US" << "42" << true << 42.0;
        QTest::newRow("decimal dot") << "en_US" << "12.5" << true << 12.5;
        QTest::newRow("german comma") << "de_DE" << "12,5" << true << 12.5;
        QTest::newRow("negative") << "en_US" << "-3" << true << -3.0;
        QTest::newRow("blank padded") << "en_US" << " 7 " << true << 7.0;
        QTest::newRow("empty") << "en_US" << "" << false << 0.0;
        QTest::newRow("letters") << "en_US" << "abc" << false << 0.0;
        QTest::newRow("trailing junk") << "en_US" << "12x" << false << 0.0;
        QTest::newRow("exponent") << "en_US" << "1e400" << false << 0.0;
        QTest::newRow("two signs") << "en_US" << "1-2" << false << 0.0;
    }
    void parse() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(double, value);
        setDesktopLocaleName(locale);
        const auto v = parseDecimal(text);
        QCOMPARE(v.has_value(), ok);
        if (ok) QCOMPARE(*v, value);
    }

    void roundsHalfToEven_data() {
        QTest::addColumn<double>("in");
        QTest::addColumn<qint64>("out");
        QTest::newRow("0.5") << 0.5 << qint64(0);
        QTest::newRow("1.5") << 1.5 << qint64(2);
        QTest::newRow("2.5") << 2.5 << qint64(2);
        QTest::newRow("-2.5") << -2.5 << qint64(-2);
        QTest::newRow("2.51") << 2.51 << qint64(3);
        QTest::newRow("huge") << 1e300 << qint64(9000000000000000LL);
    }
    void roundsHalfToEven() {
        QFETCH(double, in);
        QFETCH(qint64, out);
        QCOMPARE(qint64(roundHalfEven(in)), out);
    }

    void percentLevels() {
        QCOMPARE(levelPercentText(2048), QStringLiteral("50"));
        QCOMPARE(levelPercentText(4096), QStringLiteral("100"));
        QCOMPARE(levelPercentText(1), QStringLiteral("0.02"));
        QCOMPARE(levelPercentText(0), QStringLiteral("0"));
        QCOMPARE(*percentToLevel(QStringLiteral("12.5")), int64_t(512));
        QCOMPARE(*percentToLevel(QStringLiteral("20")), int64_t(819)); // 819.2
        QVERIFY(!percentToLevel(QStringLiteral("x")));
        setDesktopLocaleName(QStringLiteral("de_DE"));
        QCOMPARE(levelPercentText(512), QStringLiteral("12,5"));
    }

    void patterns_data() {
        QTest::addColumn<double>("v");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::newRow("0.# whole") << 3.0 << "0.#" << "3";
        QTest::newRow("0.# tenth") << 3.24 << "0.#" << "3.2";
        QTest::newRow("0.# up") << 3.26 << "0.#" << "3.3";
        QTest::newRow("0.0") << 3.0 << "0.0" << "3.0";
        QTest::newRow("0.00") << 1.5 << "0.00" << "1.50";
        QTest::newRow("00") << 7.0 << "00" << "07";
        QTest::newRow("00 wide") << 123.0 << "00" << "123";
        QTest::newRow("negative zero") << -0.001 << "0.##" << "0";
    }
    void patterns() {
        QFETCH(double, v);
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QCOMPARE(formatNumber(v, pattern.toLatin1().constData()), text);
    }

    void cutToWidth() {
        QCOMPARE(int(cut8(257)), 1);
        QCOMPARE(int(cut8(-1)), 255);
        QCOMPARE(int(cut16(70000)), 70000 - 65536);
    }
};

QTEST_MAIN(TestNumberText)
#include "test_number_text.moc"
