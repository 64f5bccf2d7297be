// Paired controllers as ports of the Connection menu, and the port that reaches them.
//
// A controller that the install run paired and marked trusted is offered as
// "bluetooth:<address> (Drevanilux2)"; the link opens such a name as an RFCOMM
// connection to the serial-port service. Every other name is a serial port, so an
// already bound /dev/rfcomm* keeps working as before.
#pragma once

#include "bluetooth/bluez_system.h"
#include "link/serial_port.h"

#include <QObject>
#include <QStringList>
#include <memory>

class QBluetoothSocket;

namespace quenda {

// "bluetooth:<address>" for an address; the address of such a port name (letter case
// of the address ignored), empty for any other name.
QString BluetoothPortName(const QString& address);
QString BluetoothPortAddress(const QString& portName);
// The port entries of the controllers that are paired and reachable, in listing order.
QStringList BluetoothPortEntries(const QList<BtDevice>& devices);

// The Bluetooth entries, kept current from the daemon without ever blocking the
// window's thread: read at start and again whenever the daemon reports a change.
class BluetoothPortList : public QObject {
    Q_OBJECT
public:
    explicit BluetoothPortList(QObject* parent = nullptr);
    QStringList entries() const { return entries_; }

public slots:
    void refresh();

signals:
    // The entries changed.
    void changed();

private:
    void received(const QDBusMessage& reply);
    QStringList entries_;
    bool pending_ = false;
    bool again_ = false;
};

// RFCOMM to the serial-port service of a paired device, behind the serial-port
// interface. Blocking like the serial port: each call runs a local event loop on the
// link thread until it is done or the time-out passes.
class RfcommPort : public IPort {
public:
    explicit RfcommPort(int timeoutMs = 5000);
    ~RfcommPort() override;
    RfcommPort(const RfcommPort&) = delete;
    RfcommPort& operator=(const RfcommPort&) = delete;

    bool open(const QString& name) override;
    bool isOpen() const override;
    QString name() const override { return name_; }
    void close() override;
    bool purge() override;
    bool write(const QByteArray& data) override;
    QByteArray read(int n) override;
    QString errorString() const override { return error_; }

private:
    bool ready();
    // Runs the event loop until done() holds, an error occurs or the time-out passes.
    bool waitFor(const std::function<bool()>& done, int timeoutMs);

    std::unique_ptr<QBluetoothSocket> socket_;
    QString name_;
    QString error_;
    int timeoutMs_;
};

// The link's port: RFCOMM for a Bluetooth port name, the serial port for any other.
class LinkPort : public IPort {
public:
    using Factory = std::function<std::unique_ptr<IPort>()>;
    // Empty factories: RfcommPort and QtSerialPort.
    explicit LinkPort(Factory makeBluetooth = {}, Factory makeSerial = {});

    bool open(const QString& name) override;
    bool isOpen() const override { return port_ && port_->isOpen(); }
    QString name() const override { return port_ ? port_->name() : QString(); }
    void close() override;
    bool purge() override { return port_ && port_->purge(); }
    bool write(const QByteArray& data) override { return port_ && port_->write(data); }
    QByteArray read(int n) override { return port_ ? port_->read(n) : QByteArray(); }
    QString errorString() const override;

private:
    Factory makeBluetooth_, makeSerial_;
    std::unique_ptr<IPort> port_;
    bool bluetooth_ = false;
};

} // namespace quenda
