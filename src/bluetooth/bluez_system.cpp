#include "bluetooth/bluez_system.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusVariant>

namespace quenda {

namespace {
const QString kService = QStringLiteral("org.bluez");
const QString kAdapterIface = QStringLiteral("org.bluez.Adapter1");
const QString kDeviceIface = QStringLiteral("org.bluez.Device1");
const QString kPropsIface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kInvalidReply = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");

BtError errorOf(const QDBusMessage& reply) {
    return {reply.errorName(), reply.errorMessage()};
}

// Fills the device from its Device1 properties; a property missing or of the wrong
// type leaves `problem` set (the name may be missing: the device has not told it).
void readDeviceProperties(const QString& path, const QVariantMap& props, BtDevice& d) {
    d.id = path;
    d.problem = {};
    const auto text = [&](const char* key) {
        const QVariant v = props.value(QString::fromLatin1(key));
        return v.metaType().id() == QMetaType::QString ? v.toString() : QString();
    };
    const auto flag = [&](const char* key, bool& out) {
        const QVariant v = props.value(QString::fromLatin1(key));
        if (v.metaType().id() != QMetaType::Bool) {
            d.problem = {kInvalidReply, path + QStringLiteral(": no property ") + QString::fromLatin1(key)};
            return;
        }
        out = v.toBool();
    };
    d.name = text("Name");
    const QVariant adapter = props.value(QStringLiteral("Adapter"));
    d.adapter = adapter.canConvert<QDBusObjectPath>() ? adapter.value<QDBusObjectPath>().path()
                                                      : path.section(QLatin1Char('/'), 0, -2);
    d.address = AddressText(text("Address"));
    flag("Trusted", d.trusted);
    flag("Connected", d.connected);
    flag("Paired", d.paired);
    if (d.address.isEmpty()) d.problem = {kInvalidReply, path + QStringLiteral(": no usable property Address")};
}
} // namespace

// ---------------------------------------------------------------------------

void PairingTarget::set(const QString& devicePath) {
    std::lock_guard lock(mutex_);
    path_ = devicePath;
}

void PairingTarget::clear() { set(QString()); }

bool PairingTarget::is(const QString& devicePath) const {
    std::lock_guard lock(mutex_);
    return !path_.isEmpty() && path_ == devicePath;
}

BluezAgent::BluezAgent(std::shared_ptr<PairingTarget> target, QObject* parent)
    : QObject(parent), target_(std::move(target)) {}

bool BluezAgent::Export() {
    QDBusConnection bus = QDBusConnection::systemBus();
    return bus.isConnected() && bus.registerObject(QString::fromLatin1(kPath), this, QDBusConnection::ExportAllSlots);
}

bool BluezAgent::accept(const QDBusObjectPath& device) {
    if (target_->is(device.path())) return true;
    if (calledFromDBus())
        sendErrorReply(QStringLiteral("org.bluez.Error.Rejected"), QStringLiteral("Not a device this tool is pairing"));
    return false;
}

QString BluezAgent::RequestPinCode(const QDBusObjectPath& device) {
    return accept(device) ? QString::fromLatin1(kControllerPasskey) : QString();
}

uint BluezAgent::RequestPasskey(const QDBusObjectPath& device) {
    return accept(device) ? QString::fromLatin1(kControllerPasskey).toUInt() : 0;
}

void BluezAgent::DisplayPasskey(const QDBusObjectPath&, uint, ushort) {}
void BluezAgent::DisplayPinCode(const QDBusObjectPath&, const QString&) {}
void BluezAgent::RequestConfirmation(const QDBusObjectPath& device, uint) { accept(device); }
void BluezAgent::RequestAuthorization(const QDBusObjectPath& device) { accept(device); }
void BluezAgent::AuthorizeService(const QDBusObjectPath& device, const QString&) { accept(device); }

// ---------------------------------------------------------------------------

bool ParseManagedObjects(const QDBusMessage& reply, BluezObjects& objects, BtError& error) {
    objects = {};
    if (reply.type() == QDBusMessage::ErrorMessage) {
        error = errorOf(reply);
        return false;
    }
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1 ||
        reply.signature() != QLatin1String("a{oa{sa{sv}}}")) {
        error = {kInvalidReply, QStringLiteral("Unexpected reply to GetManagedObjects: ") + reply.signature()};
        return false;
    }
    const QDBusArgument arg = reply.arguments().at(0).value<QDBusArgument>();
    arg.beginMap();
    while (!arg.atEnd()) {
        QDBusObjectPath path;
        QMap<QString, QVariantMap> interfaces;
        arg.beginMapEntry();
        arg >> path;
        arg.beginMap();
        while (!arg.atEnd()) {
            QString name;
            QVariantMap props;
            arg.beginMapEntry();
            arg >> name >> props;
            arg.endMapEntry();
            interfaces.insert(name, props);
        }
        arg.endMap();
        arg.endMapEntry();
        if (interfaces.contains(kAdapterIface)) {
            objects.adapters << path.path();
            if (interfaces[kAdapterIface].value(QStringLiteral("Powered")).toBool())
                objects.poweredAdapters << path.path();
        }
        if (interfaces.contains(kDeviceIface)) {
            BtDevice d;
            readDeviceProperties(path.path(), interfaces[kDeviceIface], d);
            objects.devices << d;
        }
    }
    arg.endMap();
    return true;
}

BluezSystem::BluezSystem(std::shared_ptr<PairingTarget> target, Options options)
    : target_(std::move(target)), options_(std::move(options)) {}

BluezSystem::BluezSystem(std::shared_ptr<PairingTarget> target) : BluezSystem(std::move(target), Options{}) {}

bool BluezSystem::call(const QString& path, const QString& interface, const QString& method,
                       const QVariantList& args, BtError& error, int timeoutMs, QDBusMessage* reply) {
    QDBusMessage m = QDBusMessage::createMethodCall(kService, path, interface, method);
    m.setArguments(args);
    const QDBusMessage r =
        QDBusConnection::systemBus().call(m, QDBus::Block, timeoutMs > 0 ? timeoutMs : options_.callTimeoutMs);
    if (reply) *reply = r;
    if (r.type() == QDBusMessage::ReplyMessage) return true;
    error = errorOf(r);
    if (error.name.isEmpty()) error = {QStringLiteral("org.freedesktop.DBus.Error.Failed"), QStringLiteral("No reply")};
    return false;
}

bool BluezSystem::objects(BluezObjects& out, BtError& error) {
    QDBusMessage reply;
    if (!call(QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.ObjectManager"),
              QStringLiteral("GetManagedObjects"), {}, error, 0, &reply))
        return false;
    if (!ParseManagedObjects(reply, out, error)) return false;
    if (out.adapters.isEmpty()) {
        error = {QStringLiteral("org.bluez.Error.NotAvailable"), QStringLiteral("No Bluetooth adapter")};
        return false;
    }
    return true;
}

bool BluezSystem::StartInquiry(BtError& error) {
    discovering_.clear();
    BluezObjects found;
    if (!objects(found, error)) return false;
    if (found.poweredAdapters.isEmpty()) {
        error = {QStringLiteral("org.bluez.Error.NotReady"), QStringLiteral("Bluetooth is switched off")};
        return false;
    }
    // The controller offers a classic serial port; low-energy devices are of no use.
    const QVariantMap filter{{QStringLiteral("Transport"), QStringLiteral("bredr")}};
    for (const QString& adapter : found.poweredAdapters) {
        BtError ignored;
        call(adapter, kAdapterIface, QStringLiteral("SetDiscoveryFilter"), {filter}, ignored);
        if (call(adapter, kAdapterIface, QStringLiteral("StartDiscovery"), {}, error)) discovering_ << adapter;
    }
    return !discovering_.isEmpty();
}

void BluezSystem::StopInquiry() {
    for (const QString& adapter : std::as_const(discovering_)) {
        BtError ignored;
        call(adapter, kAdapterIface, QStringLiteral("StopDiscovery"), {}, ignored);
    }
    discovering_.clear();
}

bool BluezSystem::ListDevices(QList<BtDevice>& devices, BtError& error) {
    BluezObjects found;
    if (!objects(found, error)) return false;
    devices = found.devices;
    return true;
}

bool BluezSystem::ReadDevice(BtDevice& device, BtError& error) {
    QDBusMessage reply;
    if (!call(device.id, kPropsIface, QStringLiteral("GetAll"), {kDeviceIface}, error, 0, &reply)) return false;
    if (reply.signature() != QLatin1String("a{sv}")) {
        error = {kInvalidReply, QStringLiteral("Unexpected reply to GetAll: ") + reply.signature()};
        return false;
    }
    const QVariantMap props = qdbus_cast<QVariantMap>(reply.arguments().at(0));
    BtDevice fresh = device;
    readDeviceProperties(device.id, props, fresh);
    if (!fresh.problem.name.isEmpty()) {
        error = fresh.problem;
        return false;
    }
    device = fresh;
    return true;
}

bool BluezSystem::Pair(const BtDevice& device, BtError& error) {
    // The daemon asks the agent of the caller that starts the pairing.
    BtError ignored;
    call(QStringLiteral("/org/bluez"), QStringLiteral("org.bluez.AgentManager1"), QStringLiteral("RegisterAgent"),
         {QVariant::fromValue(QDBusObjectPath(options_.agentPath)), QStringLiteral("KeyboardDisplay")}, ignored);
    target_->set(device.id);
    const bool ok = call(device.id, kDeviceIface, QStringLiteral("Pair"), {}, error, options_.pairTimeoutMs);
    target_->clear();
    return ok;
}

bool BluezSystem::EnableSerialPort(const BtDevice& device, BtError& error) {
    return call(device.id, kPropsIface, QStringLiteral("Set"),
                {kDeviceIface, QStringLiteral("Trusted"), QVariant::fromValue(QDBusVariant(true))}, error);
}

bool BluezSystem::Remove(const BtDevice& device, BtError& error) {
    return call(device.adapter, kAdapterIface, QStringLiteral("RemoveDevice"),
                {QVariant::fromValue(QDBusObjectPath(device.id))}, error);
}

} // namespace quenda
