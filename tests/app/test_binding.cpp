#include "app/binding.h"
#include "app/command_line.h"
#include "app/message_log.h"

#include <QRegularExpression>
#include <QTest>

using namespace quenda;

class TestBinding : public QObject {
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
        const auto v = parseNumber(text);
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

    void commandLine_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("expert");
        QTest::addColumn<int>("language");
        QTest::newRow("none") << QStringList{} << "" << false << -1;
        QTest::newRow("com3") << QStringList{"com3"} << "COM3" << false << -1;
        QTest::newRow("-EXPERT") << QStringList{"-EXPERT"} << "" << true << -1;
        QTest::newRow("/expert") << QStringList{"/expert"} << "" << true << -1;
        QTest::newRow("-x ignored") << QStringList{"-x"} << "" << false << -1;
        QTest::newRow("one-slash path is a port") << QStringList{"/tmp"} << "/tmp" << false << -1;
        QTest::newRow("x is a port") << QStringList{"x"} << "X" << false << -1;
        QTest::newRow("later port wins") << QStringList{"com1", "com2"} << "COM2" << false << -1;
        QTest::newRow("german then english") << QStringList{"-german", "-english"} << "" << false << 0;
        QTest::newRow("english then german") << QStringList{"/english", "/GERMAN"} << "" << false << 1;
        QTest::newRow("device path kept") << QStringList{"/dev/ttyUSB0"} << "/dev/ttyUSB0" << false << -1;
        QTest::newRow("tty name kept") << QStringList{"ttyACM0"} << "ttyACM0" << false << -1;
        QTest::newRow("empty argument") << QStringList{""} << "" << false << -1;
        QTest::newRow("huge argument") << QStringList{QString(100000, 'a')} << QString(100000, 'A') << false << -1;
    }
    void commandLine() {
        QFETCH(QStringList, args);
        QFETCH(QString, port);
        QFETCH(bool, expert);
        QFETCH(int, language);
        const auto cl = parseCommandLine(args);
        QCOMPARE(cl.port, port);
        QCOMPARE(cl.expert, expert);
        QCOMPARE(cl.language, language);
        // One "Parameter:" line per argument in order; unknown switches add a line of their own.
        const QStringList given = cl.logLines.filter(QRegularExpression(QStringLiteral("^Parameter: ")));
        QCOMPARE(given.size(), args.size());
        for (int i = 0; i < args.size(); ++i) QCOMPARE(given[i], QStringLiteral("Parameter: ") + args[i]);
    }

    void unknownSwitchesAreNamed() {
        const auto cl = parseCommandLine({"-foo", "--debug", "-demo"});
        QVERIFY(!cl.debug);
        QVERIFY(cl.demo);
        QVERIFY(cl.port.isEmpty());
        QVERIFY(cl.logLines.contains(QStringLiteral("Unknown switch ignored: -foo")));
        QVERIFY(cl.logLines.contains(QStringLiteral("Unknown switch ignored: --debug")));
        QVERIFY(!cl.logLines.contains(QStringLiteral("Unknown switch ignored: -demo")));
    }

    void logLinesStamped() {
        const QString p = QStringLiteral("[x] ");
        QCOMPARE(stampLines(QStringLiteral("a\r\nb"), p), QStringLiteral("[x] a\n[x] b"));
        QCOMPARE(stampLines(QString(), p), p);
        const QString prefix = logPrefix(QDateTime(QDate(2026, 12, 6), QTime(13, 5, 9)));
        QVERIFY(prefix.startsWith('['));
        QVERIFY(prefix.endsWith(QStringLiteral("] ")));
        QVERIFY(prefix.contains(QStringLiteral("05")));
        QVERIFY(prefix.contains(QStringLiteral("09")));
    }
};

QTEST_MAIN(TestBinding)
#include "test_binding.moc"
