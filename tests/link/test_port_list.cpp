// Port list entries and logging, the remembered port, and the port-arrival notice.
#include "lang/texts.h"
#include "link/link_thread.h"
#include "link/port_list.h"
#include "link/qt_serial_port.h"

#include <QFile>
#include <QSerialPortInfo>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <memory>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quenda;

class TestPortList : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true); // settings go to a test location
        LoadLanguage(LanguageChoice::English);
    }

    void arrivalOrderAndAutomaticChoice() {
        const QStringList start{"ttyUSB1 (b)", "ttyS0 (/dev/ttyS0)"};
        // A new port the system lists first still comes last; a vanished one drops out.
        const QStringList later = InArrivalOrder(start, {"ttyACM0 (new)", "ttyS0 (/dev/ttyS0)", "ttyUSB1 (b)"});
        QCOMPARE(later, (QStringList{"ttyUSB1 (b)", "ttyS0 (/dev/ttyS0)", "ttyACM0 (new)"}));
        QCOMPARE(InArrivalOrder(later, {"ttyS0 (/dev/ttyS0)"}), QStringList{"ttyS0 (/dev/ttyS0)"});
        QCOMPARE(NewestChoosablePort(later), QStringLiteral("ttyACM0 (new)"));
        QCOMPARE(NewestChoosablePort({"ttyUSB1 (b)", "ttyS0 (/dev/ttyS0)", "/dev/ttyS12"}), QStringLiteral("ttyUSB1 (b)"));
        QVERIFY(NewestChoosablePort({"ttyS0 (/dev/ttyS0)"}).isEmpty());
        QVERIFY(!IsOnboardPort(QStringLiteral("ttySAC0 (Samsung UART)")));
    }

    // Paths that are no terminal are told apart before the port's own cryptic error.
    void notASerialPort() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("plain"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        const QString fifo = dir.filePath(QStringLiteral("fifo"));
        QCOMPARE(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
        for (const QString& path : {file, fifo, dir.path(), QStringLiteral("/dev/null")}) {
            QVERIFY2(!isSerialDevice(path), qPrintable(path));
            QtSerialPort port(200);
            QVERIFY(!port.open(path));
            QVERIFY2(port.errorString().contains(QStringLiteral("is not a serial port")), qPrintable(port.errorString()));
        }
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0);
        QVERIFY(::grantpt(master) == 0 && ::unlockpt(master) == 0);
        QVERIFY(isSerialDevice(QString::fromLocal8Bit(::ptsname(master))));
        ::close(master);
        QVERIFY(isSerialDevice(dir.filePath(QStringLiteral("missing")))); // the open says what is wrong
        QVERIFY(isSerialDevice(QStringLiteral("COM7")));
    }

    void listing_data() {
        QTest::addColumn<QStringList>("ports");
        QTest::addColumn<QStringList>("logged");
        QTest::newRow("two ports, in system order")
            << QStringList{"rfcomm0 (/dev/rfcomm0)", "ttyUSB0 (FT232R USB UART)"}
            << QStringList{"Listing seral ports...", "rfcomm0 (/dev/rfcomm0)", "ttyUSB0 (FT232R USB UART)"};
        QTest::newRow("none") << QStringList{}
                              << QStringList{"Listing seral ports...", "No serial ports found."};
    }
    void listing() {
        QFETCH(QStringList, ports);
        QFETCH(QStringList, logged);
        QStringList list{"stale (entry)"};
        QStringList log;
        ListSerialPorts(
            list, [&](const QString& s) { log << s; }, [&] { return ports; });
        QCOMPARE(list, ports); // rebuilt from scratch
        QCOMPARE(log, logged);
    }

    // Every port the system lists gives an entry whose first word opens it.
    void entriesNameThePort() {
        const auto ports = QSerialPortInfo::availablePorts();
        const QStringList entries = SerialPortEntries();
        QCOMPARE(entries.size(), ports.size());
        for (int i = 0; i < ports.size(); ++i) {
            QCOMPARE(TthdCom::PortNameOf(entries[i]), ports[i].portName());
            QVERIFY(entries[i].endsWith(QLatin1Char(')')));
        }
    }

    void rememberedPort() {
        ForgetLastPort();
        QString current = QStringLiteral("keep");
        QStringList log;
        const auto logTo = [&](const QString& s) { log << s; };
        QVERIFY(!LoadLastPort(current, logTo));
        QCOMPARE(current, QStringLiteral("keep"));
        QVERIFY(log.isEmpty());

        SaveLastPort(QStringLiteral("rfcomm0 (/dev/rfcomm0)"), logTo);
        QCOMPARE(log, QStringList{"Written to registry: rfcomm0 (/dev/rfcomm0)"});
        QVERIFY(LoadLastPort(current, logTo));
        QCOMPARE(current, QStringLiteral("rfcomm0 (/dev/rfcomm0)"));
        QCOMPARE(log.last(), QStringLiteral("Read from registry: rfcomm0 (/dev/rfcomm0)"));

        ForgetLastPort();
        current.clear();
        QVERIFY(!LoadLastPort(current, logTo));
        QVERIFY(current.isEmpty());
    }

    // A node appearing in the watched folder makes the watcher list again and report
    // only what is new; a node going away reports nothing.
    void arrivalInWatchedFolder() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        auto ports = std::make_shared<QStringList>(QStringList{"ttyS0 (/dev/ttyS0)"});
        PortArrivalWatcher::Options o;
        o.enumerate = [ports] { return *ports; };
        o.watchDir = dir.path();
        o.settleMs = 10;
        o.lateMs = 60;
        PortArrivalWatcher watcher(o);
        QVERIFY(watcher.watching());
        QSignalSpy spy(&watcher, &PortArrivalWatcher::portsArrived);

        *ports << "rfcomm0 (/dev/rfcomm0)";
        QFile node(dir.filePath(QStringLiteral("rfcomm0")));
        QVERIFY(node.open(QIODevice::WriteOnly));
        node.close();
        QVERIFY(spy.wait(2000));
        QCOMPARE(spy.first().first().toStringList(), QStringList{"rfcomm0 (/dev/rfcomm0)"});
        QTest::qWait(100); // the late re-list finds nothing new
        QCOMPARE(spy.size(), 1);

        ports->removeAll(QStringLiteral("rfcomm0 (/dev/rfcomm0)"));
        QVERIFY(node.remove());
        QTest::qWait(150);
        QCOMPARE(spy.size(), 1);

        // A node that the device manager finishes late is caught by the second listing.
        QFile late(dir.filePath(QStringLiteral("ttyUSB0")));
        QVERIFY(late.open(QIODevice::WriteOnly));
        late.close();
        QTest::qWait(30);
        *ports << "ttyUSB0 (usb)";
        QVERIFY(spy.wait(2000));
        QCOMPARE(spy.last().first().toStringList(), QStringList{"ttyUSB0 (usb)"});
    }

    // Where the folder cannot be watched, the ports are polled.
    void pollingFallback() {
        auto ports = std::make_shared<QStringList>();
        PortArrivalWatcher::Options o;
        o.enumerate = [ports] { return *ports; };
        o.watchDir = QStringLiteral("/nonexistent/quenda-dev");
        o.pollMs = 20;
        PortArrivalWatcher watcher(o);
        QVERIFY(!watcher.watching());
        QSignalSpy spy(&watcher, &PortArrivalWatcher::portsArrived);
        *ports << "ttyACM0 (/dev/ttyACM0)"
               << "ttyACM1 (/dev/ttyACM1)";
        QVERIFY(spy.wait(1000));
        QCOMPARE(spy.first().first().toStringList(),
                 (QStringList{"ttyACM0 (/dev/ttyACM0)", "ttyACM1 (/dev/ttyACM1)"}));
    }
};

QTEST_GUILESS_MAIN(TestPortList)
#include "test_port_list.moc"
