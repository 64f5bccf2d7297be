// The blocking read loop shared by the serial and the Bluetooth port, on a scripted line.
#include "link/port_read.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>

using namespace quenda;

class TestPortRead : public QObject {
    Q_OBJECT
private slots:
    // `arrived` is on the line before the read; each wait takes the next step:
    // "+xy" bytes arrive, "!text:xy" the port fails with text after bytes xy came in.
    // With no step left a wait sleeps out its time, as a silent line does.
    void collectsWithinTheTimeout_data() {
        QTest::addColumn<int>("n");
        QTest::addColumn<QByteArray>("arrived");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<QString>("error");
        QTest::newRow("all there") << 6 << QByteArray("ABCDEF") << QStringList{} << QByteArray("ABCDEF") << "";
        QTest::newRow("more than asked") << 4 << QByteArray("ABCDEF") << QStringList{} << QByteArray("ABCD") << "";
        QTest::newRow("in pieces") << 6 << QByteArray("AB") << QStringList{"+CD", "+", "+EFGH"}
                                   << QByteArray("ABCDEF") << "";
        QTest::newRow("time-out keeps a part") << 6 << QByteArray("AB") << QStringList{"+C"} << QByteArray("ABC")
                                               << "";
        QTest::newRow("failure takes the rest") << 6 << QByteArray("AB") << QStringList{"!Gone:CD", "+EF"}
                                                << QByteArray("ABCD") << "Gone";
        QTest::newRow("nothing asked") << 0 << QByteArray("AB") << QStringList{"!Gone:"} << QByteArray() << "";
    }
    void collectsWithinTheTimeout() {
        QFETCH(int, n);
        QFETCH(QByteArray, arrived);
        QFETCH(QStringList, steps);
        QFETCH(QByteArray, expected);
        QFETCH(QString, error);
        QByteArray line = arrived;
        const PortReadSteps script{[&](qint64 max) {
                                       const QByteArray part = line.left(max);
                                       line.remove(0, part.size());
                                       return part;
                                   },
                                   [&](int ms) {
                                       if (steps.isEmpty()) {
                                           QThread::msleep(ulong(ms));
                                           return QString();
                                       }
                                       const QString step = steps.takeFirst();
                                       if (step.startsWith('+')) {
                                           line += step.mid(1).toLatin1();
                                           return QString();
                                       }
                                       const qsizetype colon = step.indexOf(':');
                                       line += step.mid(colon + 1).toLatin1();
                                       return step.mid(1, colon - 1);
                                   }};
        QString got = QStringLiteral("left from before");
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(ReadWithin(n, 200, script, got), expected);
        QCOMPARE(got, error);
        // A complete or failed read returns at once; only a silent line waits it out.
        if (expected.size() == n || !error.isEmpty()) QVERIFY(clock.elapsed() < 150);
    }
};

QTEST_GUILESS_MAIN(TestPortRead)
#include "test_port_read.moc"
