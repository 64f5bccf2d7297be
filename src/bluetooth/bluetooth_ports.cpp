#include "bluetooth/bluetooth_ports.h"

#include "link/port_read.h"
#include "link/qt_serial_port.h"

#include <QBluetoothAddress>
#include <QBluetoothSocket>
#include <QBluetoothUuid>
#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QEventLoop>
#include <QTimer>

namespace quenda {

namespace {
const QString kPrefix = QStringLiteral("bluetooth:");
const QString kService = QStringLiteral("org.bluez");
} // namespace

QString BluetoothPortName(const QString& address) { return kPrefix + AddressText(address); }

QString BluetoothPortAddress(const QString& portName) {
    if (!portName.startsWith(kPrefix, Qt::CaseInsensitive)) return {};
    return AddressText(portName.mid(kPrefix.size()));
}

QStringList BluetoothPortEntries(const QList<BtDevice>& devices) {
    QStringList entries;
    for (const BtDevice& d : devices)
        if (d.problem.name.isEmpty() && d.paired && d.trusted && d.name == QLatin1String(kControllerName))
            entries << BluetoothPortName(d.address) + QStringLiteral(" (") + d.name + QLatin1Char(')');
    return entries;
}

// ---------------------------------------------------------------------------

BluetoothPortList::BluetoothPortList(QObject* parent) : QObject(parent) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) return;
    const QString om = QStringLiteral("org.freedesktop.DBus.ObjectManager");
    bus.connect(kService, QStringLiteral("/"), om, QStringLiteral("InterfacesAdded"), this, SLOT(refresh()));
    bus.connect(kService, QStringLiteral("/"), om, QStringLiteral("InterfacesRemoved"), this, SLOT(refresh()));
    // Any object of the daemon: pairing and trusting change device properties.
    bus.connect(kService, QString(), QStringLiteral("org.freedesktop.DBus.Properties"),
                QStringLiteral("PropertiesChanged"), this, SLOT(refresh()));
    auto* watcher = new QDBusServiceWatcher(kService, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &BluetoothPortList::refresh);
    refresh();
}

void BluetoothPortList::refresh() {
    // One question at a time; changes meanwhile ask once more afterwards.
    if (pending_) {
        again_ = true;
        return;
    }
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) return;
    pending_ = true;
    const QDBusMessage m = QDBusMessage::createMethodCall(
        kService, QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.ObjectManager"),
        QStringLiteral("GetManagedObjects"));
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(m, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        received(w->reply());
    });
}

void BluetoothPortList::received(const QDBusMessage& reply) {
    pending_ = false;
    BluezObjects objects;
    BtError error;
    // No daemon, or a reply that makes no sense: no Bluetooth ports.
    ParseManagedObjects(reply, objects, error);
    const QStringList entries = BluetoothPortEntries(objects.devices);
    if (entries != entries_) {
        entries_ = entries;
        emit changed();
    }
    if (again_) {
        again_ = false;
        refresh();
    }
}

// ---------------------------------------------------------------------------

RfcommPort::RfcommPort(int timeoutMs) : timeoutMs_(timeoutMs > 0 ? timeoutMs : 5000) {}

RfcommPort::~RfcommPort() { close(); }

bool RfcommPort::waitFor(const std::function<bool()>& done, int timeoutMs) {
    if (done()) return true;
    QEventLoop loop;
    QObject context; // ends every connection below when the wait is over
    const auto check = [&] {
        if (done() || socket_->error() != QBluetoothSocket::SocketError::NoSocketError ||
            socket_->state() == QBluetoothSocket::SocketState::UnconnectedState)
            loop.quit();
    };
    QTimer::singleShot(timeoutMs, &context, [&] { loop.quit(); });
    QObject::connect(socket_.get(), &QBluetoothSocket::readyRead, &context, check);
    QObject::connect(socket_.get(), &QBluetoothSocket::bytesWritten, &context, check);
    QObject::connect(socket_.get(), &QBluetoothSocket::stateChanged, &context, check);
    QObject::connect(socket_.get(), &QBluetoothSocket::errorOccurred, &context, check);
    loop.exec();
    return done();
}

bool RfcommPort::open(const QString& name) {
    close();
    error_.clear();
    name_ = name;
    const QString address = BluetoothPortAddress(name);
    if (address.isEmpty()) {
        error_ = QStringLiteral("Not a Bluetooth port: ") + name;
        return false;
    }
    socket_ = std::make_unique<QBluetoothSocket>(QBluetoothServiceInfo::RfcommProtocol);
    socket_->connectToService(QBluetoothAddress(address), QBluetoothUuid(QString::fromLatin1(kSerialPortServiceUuid)));
    const bool ok = waitFor([this] { return socket_->state() == QBluetoothSocket::SocketState::ConnectedState; },
                            timeoutMs_);
    if (ok) return true;
    error_ = socket_->error() != QBluetoothSocket::SocketError::NoSocketError ? socket_->errorString()
                                                                               : QStringLiteral("Connect time-out");
    close();
    return false;
}

bool RfcommPort::isOpen() const {
    return socket_ && socket_->state() == QBluetoothSocket::SocketState::ConnectedState;
}

void RfcommPort::close() {
    if (!socket_) return;
    socket_->abort();
    socket_.reset();
}

bool RfcommPort::ready() {
    error_.clear();
    if (isOpen()) return true;
    error_ = QStringLiteral("Port not open");
    return false;
}

bool RfcommPort::purge() {
    if (!ready()) return false;
    // Take what arrived already and whatever the event loop still has to deliver.
    waitFor([] { return false; }, 0);
    socket_->readAll();
    return true;
}

bool RfcommPort::write(const QByteArray& data) {
    if (!ready()) return false;
    if (socket_->write(data) != data.size()) {
        error_ = socket_->errorString();
        return false;
    }
    if (waitFor([this] { return socket_->bytesToWrite() == 0; }, timeoutMs_)) return true;
    error_ = isOpen() ? QStringLiteral("Write time-out") : socket_->errorString();
    return false;
}

QByteArray RfcommPort::read(int n) {
    if (n > 0 && !ready()) return {};
    const PortReadSteps steps{[this](qint64 max) { return socket_->read(max); },
                              [this](int ms) {
                                  if (!isOpen()) return QStringLiteral("Connection closed by the other side");
                                  waitFor([this] { return socket_->bytesAvailable() > 0; }, ms);
                                  return QString();
                              }};
    return ReadWithin(n, timeoutMs_, steps, error_);
}

// ---------------------------------------------------------------------------

LinkPort::LinkPort(Factory makeBluetooth, Factory makeSerial)
    : makeBluetooth_(std::move(makeBluetooth)), makeSerial_(std::move(makeSerial)) {
    if (!makeBluetooth_) makeBluetooth_ = [] { return std::make_unique<RfcommPort>(); };
    if (!makeSerial_) makeSerial_ = [] { return std::make_unique<QtSerialPort>(); };
}

bool LinkPort::open(const QString& name) {
    const bool bluetooth = !BluetoothPortAddress(name).isEmpty();
    if (!port_ || bluetooth != bluetooth_) {
        if (port_) port_->close();
        port_ = bluetooth ? makeBluetooth_() : makeSerial_();
        bluetooth_ = bluetooth;
    }
    return port_->open(name);
}

void LinkPort::close() {
    if (port_) port_->close();
}

QString LinkPort::errorString() const { return port_ ? port_->errorString() : QStringLiteral("Port not open"); }

} // namespace quenda
