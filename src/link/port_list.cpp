#include "link/port_list.h"

#include "lang/texts.h"
#include "link/link_thread.h"

#include <QDir>
#include <QSerialPortInfo>
#include <QSettings>

namespace quenda {

namespace {
QSettings rememberedPortSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromLatin1(kSettingsOrganization));
}
} // namespace

QString PortEntry(const QSerialPortInfo& info) {
    const QString detail = info.description().isEmpty() ? info.systemLocation() : info.description();
    return info.portName() + QStringLiteral(" (") + detail + QLatin1Char(')');
}

QStringList SerialPortEntries() {
    QStringList entries;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        entries << PortEntry(info);
    return entries;
}

bool IsOnboardPort(const QString& entry) {
    const QString name = TthdCom::PortNameOf(entry).section(QLatin1Char('/'), -1);
    return name.size() > 4 && name.startsWith(QLatin1String("ttyS")) && name[4].isDigit();
}

QStringList InArrivalOrder(const QStringList& previous, const QStringList& now) {
    QStringList ordered;
    for (const QString& e : previous)
        if (now.contains(e) && !ordered.contains(e)) ordered << e;
    for (const QString& e : now)
        if (!ordered.contains(e)) ordered << e;
    return ordered;
}

QString NewestChoosablePort(const QStringList& inArrivalOrder) {
    for (auto it = inArrivalOrder.crbegin(); it != inArrivalOrder.crend(); ++it)
        if (!IsOnboardPort(*it)) return *it;
    return QString();
}

void ListSerialPorts(QStringList& list, const PortLogFn& log, const PortEnumerator& enumerate) {
    const auto say = [&](const QString& text) {
        if (log) log(text);
    };
    say(Msg(QStringLiteral("ListingSerialPorts")));
    const QStringList entries = enumerate ? enumerate() : SerialPortEntries();
    for (const QString& e : entries)
        say(e);
    list = entries;
    if (list.isEmpty()) say(Msg(QStringLiteral("NoSerialPorts")));
}

bool LoadLastPort(QString& currentPort, const PortLogFn& log) {
    const QSettings settings = rememberedPortSettings();
    const QString port = settings.value(QString::fromLatin1(kSettingsPortValue)).toString();
    if (settings.status() != QSettings::NoError || port.isEmpty()) return false;
    currentPort = port;
    if (log) log(QStringLiteral("Read from registry: ") + port);
    return true;
}

void SaveLastPort(const QString& port, const PortLogFn& log) {
    QSettings settings = rememberedPortSettings();
    settings.setValue(QString::fromLatin1(kSettingsPortValue), port);
    settings.sync();
    if (settings.status() != QSettings::NoError) return;
    if (log) log(QStringLiteral("Written to registry: ") + port);
}

void ForgetLastPort() {
    QSettings settings = rememberedPortSettings();
    settings.clear();
    settings.sync();
}

// ---------------------------------------------------------------------------

PortArrivalWatcher::PortArrivalWatcher(QObject* parent) : PortArrivalWatcher(Options{}, parent) {}

PortArrivalWatcher::PortArrivalWatcher(Options options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {
    if (!options_.enumerate) options_.enumerate = SerialPortEntries;
    const QStringList now = options_.enumerate();
    known_ = QSet<QString>(now.begin(), now.end());

    settle_.setSingleShot(true);
    late_.setSingleShot(true);
    connect(&settle_, &QTimer::timeout, this, &PortArrivalWatcher::rescan);
    connect(&late_, &QTimer::timeout, this, &PortArrivalWatcher::rescan);
    connect(&poll_, &QTimer::timeout, this, &PortArrivalWatcher::rescan);

    if (QDir(options_.watchDir).exists() && watcher_.addPath(options_.watchDir)) {
        watching_ = true;
        connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &PortArrivalWatcher::folderChanged);
    } else {
        poll_.start(options_.pollMs);
    }
}

void PortArrivalWatcher::folderChanged() {
    // A burst of changes (a node, its links) gives one listing per timer.
    settle_.start(options_.settleMs);
    late_.start(options_.lateMs);
}

void PortArrivalWatcher::rescan() {
    const QStringList now = options_.enumerate();
    QStringList fresh;
    for (const QString& e : now)
        if (!known_.contains(e)) fresh << e;
    known_ = QSet<QString>(now.begin(), now.end());
    if (!fresh.isEmpty()) emit portsArrived(fresh);
}

} // namespace quenda
