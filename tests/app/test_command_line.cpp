#include "app/command_line.h"
#include "app/message_log.h"

#include <QRegularExpression>
#include <QTest>

using namespace quenda;

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
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

QTEST_MAIN(TestCommandLine)
#include "test_command_line.moc"
