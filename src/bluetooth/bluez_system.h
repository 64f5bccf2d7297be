// The Bluetooth stack of a Linux desktop: the BlueZ daemon on the system bus.
//
// Scan: discovery on every powered adapter for the inquiry time. Device list: the
// daemon's managed objects (no last-used time on this platform). Pairing:
// Device1.Pair, while the tool's own agent answers the controller's PIN or passkey
// request. Reachable as a port: the paired controller is marked trusted, and the port
// list offers it as a Bluetooth serial port that the link opens over RFCOMM.
#pragma once

#include "bluetooth/bluetooth_system.h"

#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>
#include <memory>
#include <mutex>

namespace quenda {

// The device the tool is pairing right now; the agent answers only for it.
class PairingTarget {
public:
    void set(const QString& devicePath);
    void clear();
    bool is(const QString& devicePath) const;

private:
    mutable std::mutex mutex_;
    QString path_;
};

// The tool's pairing agent. Lives on the window's thread (its calls arrive through
// the event loop there) and answers PIN and passkey requests with the controller's
// passkey, only for the device being paired; every other request is rejected.
class BluezAgent : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.bluez.Agent1")
public:
    static constexpr char kPath[] = "/org/quenda/PairingAgent";

    explicit BluezAgent(std::shared_ptr<PairingTarget> target, QObject* parent = nullptr);
    // Offers the agent's object on the system bus; false when there is none.
    bool Export();

public slots:
    void Release() {}
    QString RequestPinCode(const QDBusObjectPath& device);
    uint RequestPasskey(const QDBusObjectPath& device);
    void DisplayPasskey(const QDBusObjectPath& device, uint passkey, ushort entered);
    void DisplayPinCode(const QDBusObjectPath& device, const QString& pin);
    void RequestConfirmation(const QDBusObjectPath& device, uint passkey);
    void RequestAuthorization(const QDBusObjectPath& device);
    void AuthorizeService(const QDBusObjectPath& device, const QString& uuid);
    void Cancel() {}

private:
    bool accept(const QDBusObjectPath& device);
    std::shared_ptr<PairingTarget> target_;
};

// The daemon's view of the radios and devices, read from a GetManagedObjects reply.
struct BluezObjects {
    QStringList adapters;
    QStringList poweredAdapters;
    QList<BtDevice> devices;
};
// False, with the error, when the reply is an error or not shaped as expected.
bool ParseManagedObjects(const QDBusMessage& reply, BluezObjects& objects, BtError& error);

class BluezSystem : public BluetoothSystem {
public:
    struct Options {
        int callTimeoutMs = 10000;
        int pairTimeoutMs = 60000; // the user may be answering a prompt
        QString agentPath = QString::fromLatin1(BluezAgent::kPath);
    };

    explicit BluezSystem(std::shared_ptr<PairingTarget> target, Options options);
    explicit BluezSystem(std::shared_ptr<PairingTarget> target);

    bool StartInquiry(BtError& error) override;
    void StopInquiry() override;
    bool ListDevices(QList<BtDevice>& devices, BtError& error) override;
    bool ReadDevice(BtDevice& device, BtError& error) override;
    bool Pair(const BtDevice& device, BtError& error) override;
    bool EnableSerialPort(const BtDevice& device, BtError& error) override;
    bool Remove(const BtDevice& device, BtError& error) override;

private:
    bool objects(BluezObjects& out, BtError& error);
    bool call(const QString& path, const QString& interface, const QString& method, const QVariantList& args,
              BtError& error, int timeoutMs = 0, QDBusMessage* reply = nullptr);

    std::shared_ptr<PairingTarget> target_;
    Options options_;
    QStringList discovering_;
};

} // namespace quenda
