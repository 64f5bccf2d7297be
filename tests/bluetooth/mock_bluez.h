// A private bus standing in for the system bus, with a mock Bluetooth daemon on it
// (python3-dbusmock's bluez5 template). Construct it before anything in the process
// touches the system bus: the bus address is read once.
#pragma once

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QProcess>
#include <QTest>

namespace quenda::testing {

class MockBluez {
public:
    static constexpr char kPython[] = "/usr/bin/python3";

    // Starts the bus; ok() tells whether it runs.
    MockBluez() {
        bus_.setProgram(QStringLiteral("dbus-daemon"));
        bus_.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                           QStringLiteral("--print-address=1")});
        bus_.start();
        if (!bus_.waitForStarted(5000)) return;
        for (int i = 0; i < 50 && !bus_.canReadLine(); ++i)
            bus_.waitForReadyRead(100);
        address_ = QString::fromUtf8(bus_.readLine()).trimmed();
        if (!address_.isEmpty()) qputenv("DBUS_SYSTEM_BUS_ADDRESS", address_.toUtf8());
    }
    ~MockBluez() {
        stopDaemon();
        bus_.kill();
        bus_.waitForFinished(2000);
    }

    bool ok() const { return !address_.isEmpty(); }
    QString address() const { return address_; }

    // A fresh daemon with no adapter and no device.
    bool startDaemon() {
        stopDaemon();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), address_);
        daemon_.setProcessEnvironment(env);
        daemon_.setProgram(QString::fromLatin1(kPython));
        daemon_.setArguments({QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--system"),
                              QStringLiteral("--template"), QStringLiteral("bluez5")});
        daemon_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        daemon_.start();
        if (!daemon_.waitForStarted(5000)) return false;
        return QTest::qWaitFor([] { return registered(); }, 10000);
    }
    void stopDaemon() {
        if (daemon_.state() == QProcess::NotRunning) return;
        daemon_.terminate();
        if (!daemon_.waitForFinished(3000)) {
            daemon_.kill();
            daemon_.waitForFinished(2000);
        }
        (void)QTest::qWaitFor([] { return !registered(); }, 3000);
    }
    static bool registered() {
        return QDBusConnection::systemBus().interface()->isServiceRegistered(QStringLiteral("org.bluez")).value();
    }

    // ---- The daemon's mock controls ----
    QString addAdapter(const QString& name = QStringLiteral("hci0")) {
        return mock(QStringLiteral("AddAdapter"), {name, QStringLiteral("test computer")});
    }
    // Returns the device's object path.
    QString addDevice(const QString& address, const QString& name, const QString& adapter = QStringLiteral("hci0")) {
        return mock(QStringLiteral("AddDevice"), {adapter, address, name});
    }
    void pairDevice(const QString& address) { mock(QStringLiteral("PairDevice"), {QStringLiteral("hci0"), address, 0}); }
    void connectDevice(const QString& address) { mock(QStringLiteral("ConnectDevice"), {QStringLiteral("hci0"), address}); }
    // An object with the device interface but only the given properties.
    bool addBareDevice(const QString& path, const QString& pythonProps) {
        QProcess p;
        p.start(QString::fromLatin1(kPython),
                {QStringLiteral("-c"),
                 QStringLiteral("import dbus,sys; b=dbus.bus.BusConnection(sys.argv[1]); "
                                "m=dbus.Interface(b.get_object('org.bluez','/'),'org.freedesktop.DBus.Mock'); "
                                "m.AddObject(sys.argv[2],'org.bluez.Device1',%1,dbus.Array([],signature='(ssss)'))")
                     .arg(pythonProps),
                 address_, path});
        return p.waitForFinished(10000) && p.exitCode() == 0;
    }
    QVariant property(const QString& path, const QString& iface, const QString& name) {
        QDBusInterface props(QStringLiteral("org.bluez"), path, QStringLiteral("org.freedesktop.DBus.Properties"),
                             QDBusConnection::systemBus());
        QDBusReply<QVariant> r = props.call(QStringLiteral("Get"), iface, name);
        return r.isValid() ? r.value() : QVariant();
    }
    bool setProperty(const QString& path, const QString& iface, const QString& name, const QVariant& value) {
        QDBusInterface props(QStringLiteral("org.bluez"), path, QStringLiteral("org.freedesktop.DBus.Properties"),
                             QDBusConnection::systemBus());
        return props.call(QStringLiteral("Set"), iface, name, QVariant::fromValue(QDBusVariant(value))).type() ==
               QDBusMessage::ReplyMessage;
    }

private:
    QString mock(const QString& method, const QVariantList& args) {
        QDBusInterface m(QStringLiteral("org.bluez"), QStringLiteral("/"), QStringLiteral("org.bluez.Mock"),
                         QDBusConnection::systemBus());
        const QDBusMessage r = m.callWithArgumentList(QDBus::Block, method, args);
        if (r.type() == QDBusMessage::ErrorMessage) qWarning() << method << r.errorMessage();
        return r.arguments().value(0).toString();
    }

    QProcess bus_;
    QProcess daemon_;
    QString address_;
};

} // namespace quenda::testing
