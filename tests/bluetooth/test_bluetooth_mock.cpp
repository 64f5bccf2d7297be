// The install and uninstall runs against a mock Bluetooth daemon on a private bus.
#include "bluetooth/bluetooth_ports.h"
#include "bluetooth/bluez_system.h"
#include "bluetooth/discover.h"
#include "bluetooth/mock_bluez.h"
#include "lang/texts.h"
#include "link/link_test_util.h"

#include <QSignalSpy>
#include <QtTest>

using namespace quenda;
using namespace quenda::testing;

namespace {
const QString kCtl = QStringLiteral("11:22:33:44:55:66");
const QString kCtl2 = QStringLiteral("11:22:33:44:55:77");
QString devicePath(const QString& address) {
    return QStringLiteral("/org/bluez/hci0/dev_") + QString(address).replace(QLatin1Char(':'), QLatin1Char('_'));
}
QString msg(const char* key) { return Msg(QString::fromLatin1(key)); }
} // namespace

class TestBluetoothMock : public QObject {
    Q_OBJECT

    std::unique_ptr<MockBluez> bus_;
    std::shared_ptr<DeviceState> state_;
    std::unique_ptr<RecordingWindow> window_;
    std::shared_ptr<HeadlessLinkHost> host_;

    // Runs one install or uninstall to its end with short pauses; returns its log.
    QStringList run(bool install, int pauseMs = 5) {
        auto system = std::make_shared<BluezSystem>(std::make_shared<PairingTarget>(),
                                                    BluezSystem::Options{2000, 5000, QStringLiteral("/agent")});
        auto d = std::make_shared<TthdDiscover>(host_, system, install, DiscoverTiming{pauseMs, 20});
        QString error;
        if (!d->Start(error)) qWarning() << error;
        if (!QTest::qWaitFor([&] { return d->Finished(); }, 20000)) qWarning() << "run did not finish";
        QStringList lines;
        host_->Inspect([&](LinkWindow&) { lines = window_->texts(QStringLiteral("log")); });
        return lines;
    }
    int countOf(const QStringList& lines, const QString& text) { return int(lines.count(text)); }
    int countStarting(const QStringList& lines, const QString& prefix) {
        return int(std::count_if(lines.begin(), lines.end(), [&](const QString& l) { return l.startsWith(prefix); }));
    }

private slots:
    void initTestCase() {
        if (!QFile::exists(QString::fromLatin1(MockBluez::kPython))) QSKIP("no system python for the mock daemon");
        bus_ = std::make_unique<MockBluez>();
        QVERIFY2(bus_->ok(), "dbus-daemon did not start");
        LoadLanguage(LanguageChoice::English);
    }
    void init() {
        QVERIFY2(bus_->startDaemon(), "mock daemon did not start (python3-dbusmock missing?)");
        state_ = std::make_shared<DeviceState>();
        window_ = std::make_unique<RecordingWindow>(state_);
        host_ = std::make_shared<HeadlessLinkHost>(*window_);
    }
    void cleanup() { bus_->stopDaemon(); }

    // One controller among look-alikes: only it is paired, trusted and offered as a port.
    void installPairsOnlyTheExactName() {
        bus_->addAdapter();
        bus_->addDevice(kCtl, QStringLiteral("Drevanilux2"));
        bus_->addDevice(QStringLiteral("AA:00:00:00:00:01"), QStringLiteral("Drevanilux2 "));
        bus_->addDevice(QStringLiteral("AA:00:00:00:00:02"), QStringLiteral("drevanilux2"));
        BluetoothPortList ports;
        QSignalSpy changed(&ports, &BluetoothPortList::changed);

        const QStringList log = run(true);
        QCOMPARE(log.first(), msg("DiscoverNearbyDevices"));
        QCOMPARE(log.last(), msg("DiscoveryCompleted"));
        QCOMPARE(countStarting(log, QStringLiteral("Detected ")), 3);
        QVERIFY(log.contains(QStringLiteral("\"Drevanilux2 \"")));
        QVERIFY(log.contains(QStringLiteral("\"drevanilux2\"")));
        QCOMPARE(countOf(log, QStringLiteral("Adding \"Drevanilux2\" to the system...")), 1);
        QCOMPARE(countOf(log, msg("InstallSerialPort")), 1);
        QCOMPARE(countOf(log, msg("InstallationStarted")), 1);
        QCOMPARE(countStarting(log, QStringLiteral("Windows error")), 0);

        QCOMPARE(bus_->property(devicePath(kCtl), QStringLiteral("org.bluez.Device1"), QStringLiteral("Paired")), true);
        QCOMPARE(bus_->property(devicePath(kCtl), QStringLiteral("org.bluez.Device1"), QStringLiteral("Trusted")), true);
        for (const char* other : {"AA:00:00:00:00:01", "AA:00:00:00:00:02"})
            QCOMPARE(bus_->property(devicePath(QString::fromLatin1(other)), QStringLiteral("org.bluez.Device1"),
                                    QStringLiteral("Paired")),
                     false);
        // The port list hears of it from the daemon's signals.
        QTRY_COMPARE(ports.entries(), QStringList{QStringLiteral("bluetooth:11:22:33:44:55:66 (Drevanilux2)")});
        QVERIFY(changed.count() >= 1);
    }

    void installSkipsPairedControllerButMakesItReachable() {
        bus_->addAdapter();
        bus_->addDevice(kCtl, QStringLiteral("Drevanilux2"));
        bus_->pairDevice(kCtl);
        const QStringList log = run(true);
        QVERIFY(log.contains(QStringLiteral("\"Drevanilux2\", installed")));
        QCOMPARE(countStarting(log, QStringLiteral("Adding ")), 0);
        QCOMPARE(countOf(log, msg("InstallationStarted")), 0);
        QCOMPARE(bus_->property(devicePath(kCtl), QStringLiteral("org.bluez.Device1"), QStringLiteral("Trusted")), true);
    }

    // Unusable descriptions: a device with no name is asked ten times, one without an
    // address or flags is reported with the error line; neither stops the run.
    void installSkipsBadDevices() {
        bus_->addAdapter();
        bus_->addDevice(QStringLiteral("AA:00:00:00:00:03"), QString());
        QVERIFY(bus_->addBareDevice(QStringLiteral("/org/bluez/hci0/dev_bare"), QStringLiteral("{'Name':'Drevanilux2'}")));
        bus_->addDevice(kCtl, QStringLiteral("Drevanilux2"));
        const QStringList log = run(true);
        QCOMPARE(countOf(log, msg("NoDeviceName")), TthdDiscover::kNameTries);
        QVERIFY(countStarting(log, QStringLiteral("Windows error org.freedesktop.DBus.Error.InvalidArgs: \"/org/bluez/hci0/dev_bare")) == 1);
        QCOMPARE(countOf(log, msg("InstallationStarted")), 1);
        QCOMPARE(log.last(), msg("DiscoveryCompleted"));
    }

    void missingOrSwitchedOffBluetooth() {
        QStringList log = run(true);
        QCOMPARE(log, (QStringList{msg("DiscoverNearbyDevices"),
                                   QStringLiteral("Windows error org.bluez.Error.NotAvailable: \"No Bluetooth adapter\"."),
                                   msg("BluetoothAvailable"), msg("DiscoveryCompleted")}));
        const QString adapter = bus_->addAdapter();
        QVERIFY(bus_->setProperty(adapter, QStringLiteral("org.bluez.Adapter1"), QStringLiteral("Powered"), false));
        host_->Inspect([&](LinkWindow&) { window_->events.clear(); });
        log = run(true);
        QCOMPARE(log.value(2), msg("BluetoothAvailable"));
        // No daemon at all: the bus's own error, and the run still completes.
        bus_->stopDaemon();
        host_->Inspect([&](LinkWindow&) { window_->events.clear(); });
        log = run(false);
        QCOMPARE(log.size(), 3);
        QVERIFY2(log[1].startsWith(QStringLiteral("Windows error org.freedesktop.DBus.Error.ServiceUnknown")), qPrintable(log[1]));
        QCOMPARE(log.last(), msg("RemovalCompleted"));
    }

    // The daemon goes away while the run waits for a name: error lines, then the end.
    void daemonVanishingMidRun() {
        bus_->addAdapter();
        bus_->addDevice(QStringLiteral("AA:00:00:00:00:03"), QString());
        auto system = std::make_shared<BluezSystem>(std::make_shared<PairingTarget>(),
                                                    BluezSystem::Options{2000, 5000, QStringLiteral("/agent")});
        auto d = std::make_shared<TthdDiscover>(host_, system, true, DiscoverTiming{100, 20});
        QString error;
        QVERIFY(d->Start(error));
        QVERIFY(host_->WaitUntil([](LinkWindow& w) {
            return static_cast<RecordingWindow&>(w).count(QStringLiteral("log"), msg("NoDeviceName")) >= 1;
        }, 10000));
        bus_->stopDaemon();
        QVERIFY(QTest::qWaitFor([&] { return d->Finished(); }, 20000));
        QStringList log;
        host_->Inspect([&](LinkWindow&) { log = window_->texts(QStringLiteral("log")); });
        QVERIFY(countStarting(log, QStringLiteral("Windows error org.freedesktop.DBus.Error.ServiceUnknown")) >= 1);
        QCOMPARE(log.last(), msg("DiscoveryCompleted"));
    }

    void uninstallRemovesIdleControllersOnly() {
        bus_->addAdapter();
        bus_->addDevice(kCtl, QStringLiteral("Drevanilux2"));
        bus_->pairDevice(kCtl);
        bus_->addDevice(kCtl2, QStringLiteral("Drevanilux2"));
        bus_->pairDevice(kCtl2);
        bus_->connectDevice(kCtl2);
        bus_->addDevice(QStringLiteral("AA:00:00:00:00:04"), QStringLiteral("Drevanilux2"));
        const QStringList log = run(false);
        QCOMPARE(log.first(), msg("ListingInstalledDevices"));
        QVERIFY(log.contains(QStringLiteral("AA:00:00:00:00:04, \"Drevanilux2\", not installed")));
        QVERIFY(log.contains(kCtl2 + QStringLiteral(", \"Drevanilux2\", connected")));
        QCOMPARE(countOf(log, msg("DeviceInUse")), TthdDiscover::kInUsePolls);
        QCOMPARE(countOf(log, msg("UninstallSuccessful")), 1);
        QCOMPARE(log.last(), msg("RemovalCompleted"));
        QVERIFY(!bus_->property(devicePath(kCtl), QStringLiteral("org.bluez.Device1"), QStringLiteral("Address")).isValid());
        QCOMPARE(bus_->property(devicePath(kCtl2), QStringLiteral("org.bluez.Device1"), QStringLiteral("Paired")), true);
    }

    // The agent gives the passkey to the device being paired and to no other.
    void agentAnswersOnlyTheDeviceBeingPaired() {
        auto target = std::make_shared<PairingTarget>();
        BluezAgent agent(target);
        QVERIFY(agent.Export());
        auto other = QDBusConnection::connectToBus(bus_->address(), QStringLiteral("probe"));
        const QString me = QDBusConnection::systemBus().baseService();
        QDBusInterface probe(me, QString::fromLatin1(BluezAgent::kPath), QStringLiteral("org.bluez.Agent1"), other);
        const auto ask = [&](const QString& method, const QString& device) {
            QDBusPendingCall call = probe.asyncCall(method, QVariant::fromValue(QDBusObjectPath(device)));
            (void)QTest::qWaitFor([&] { return call.isFinished(); }, 5000);
            return call.reply();
        };
        QDBusMessage r = ask(QStringLiteral("RequestPinCode"), devicePath(kCtl));
        QCOMPARE(r.errorName(), QStringLiteral("org.bluez.Error.Rejected"));
        target->set(devicePath(kCtl));
        r = ask(QStringLiteral("RequestPinCode"), devicePath(kCtl));
        QCOMPARE(r.arguments().value(0).toString(), QStringLiteral("8642"));
        r = ask(QStringLiteral("RequestPasskey"), devicePath(kCtl));
        QCOMPARE(r.arguments().value(0).toUInt(), 8642u);
        QCOMPARE(ask(QStringLiteral("RequestPinCode"), devicePath(kCtl2)).errorName(),
                 QStringLiteral("org.bluez.Error.Rejected"));
        QDBusConnection::disconnectFromBus(QStringLiteral("probe"));
    }
};

QTEST_GUILESS_MAIN(TestBluetoothMock)
#include "test_bluetooth_mock.moc"
