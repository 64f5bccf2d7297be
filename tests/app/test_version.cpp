// Every program answers --version with its name and the one build version, without a
// display (the tool must answer before its window toolkit starts) and with exit code 0.
// The tool's installation check connects to the demo device and quits by itself.
#include <quenda_version.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestVersion : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("QUENDA_BIN")) QSKIP("QUENDA_BIN is not set");
    }

    void versionOfEachProgram_data() {
        QTest::addColumn<QString>("program");
        QTest::newRow("tool") << QStringLiteral("quenda");
        QTest::newRow("simulator") << QStringLiteral("quenda-sim");
        QTest::newRow("almanac") << QStringLiteral("almanac");
    }

    void versionOfEachProgram() {
        QFETCH(QString, program);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* var : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(var));
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("QUENDA_BIN") + QLatin1Char('/') + program, {QStringLiteral("--version")});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(QString::fromLocal8Bit(p.readAllStandardOutput()),
                 program + QStringLiteral(" " QUENDA_VERSION "\n"));
    }

    // As the package check runs it: offscreen, in a home of its own. It must quit with
    // the connection status rather than be left running.
    void quitsOnceConnectedToTheDemoDevice() {
        QTemporaryDir home;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.start(qEnvironmentVariable("QUENDA_BIN") + QStringLiteral("/quenda"),
                {QStringLiteral("-demo"), QStringLiteral("--quit-when-connected")});
        QVERIFY(p.waitForFinished(40000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
        QVERIFY(!out.trimmed().isEmpty()); // the status line; exit code 0 alone says it connected
    }
};

QTEST_GUILESS_MAIN(TestVersion)
#include "test_version.moc"
