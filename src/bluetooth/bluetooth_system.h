// What the discovery run needs from the system's Bluetooth stack: a scan, the list of
// known devices, a fresh look at one device, pairing, making a paired controller
// reachable as a serial port, and removal. Every call blocks and reports failure as an
// error name and message, the way the platform names them.
#pragma once

#include <QDateTime>
#include <QString>
#include <QList>

namespace quenda {

// The controller's Bluetooth name, compared exactly (case and blanks count).
inline constexpr char kControllerName[] = "Drevanilux2";
// The fixed passkey the controller pairs with.
inline constexpr char kControllerPasskey[] = "8642";
// The serial-port service class.
inline constexpr char kSerialPortServiceUuid[] = "00001101-0000-1000-8000-00805F9B34FB";

struct BtError {
    QString name;
    QString message;
};

struct BtDevice {
    QString id;      // the system's handle for the device
    QString adapter; // the system's handle for the radio that knows it
    QString address; // "00:11:22:33:44:55"
    QString name;    // empty when the device has not told its name
    bool paired = false;
    bool connected = false;
    bool trusted = false; // reachable as a serial port
    QDateTime lastUsed; // invalid where the system keeps no such time
    // Set when the system's description of the device is unusable; the device is
    // then reported and skipped.
    BtError problem;
};

// "00:11:22:33:44:55" from any letter case; empty when the text is no such address.
QString AddressText(const QString& text);

class BluetoothSystem {
public:
    virtual ~BluetoothSystem() = default;

    // Starts looking for devices nearby; fails when Bluetooth is missing or off.
    virtual bool StartInquiry(BtError& error) = 0;
    virtual void StopInquiry() = 0;
    // Every device the system knows (found by the scan, paired or connected).
    virtual bool ListDevices(QList<BtDevice>& devices, BtError& error) = 0;
    // Reads the device's name and flags afresh.
    virtual bool ReadDevice(BtDevice& device, BtError& error) = 0;
    // Pairs with the controller's passkey.
    virtual bool Pair(const BtDevice& device, BtError& error) = 0;
    // Makes a paired device reachable as a serial port.
    virtual bool EnableSerialPort(const BtDevice& device, BtError& error) = 0;
    virtual bool Remove(const BtDevice& device, BtError& error) = 0;
};

} // namespace quenda
