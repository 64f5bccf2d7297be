#include "bluetooth/discover.h"

#include "lang/texts.h"

#include <QLocale>
#include <QRegularExpression>
#include <chrono>
#include <exception>
#include <system_error>
#include <thread>

namespace quenda {

QString AddressText(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^[0-9A-Fa-f]{2}(:[0-9A-Fa-f]{2}){5}$"));
    return pattern.match(text).hasMatch() ? text.toUpper() : QString();
}

namespace {
const QString kName = QString::fromLatin1(kControllerName);

QString msg(const char* key) { return Msg(QString::fromLatin1(key)); }

// The address, or the system's handle when the device gave no usable address.
QString shownAddress(const BtDevice& d) { return d.address.isEmpty() ? d.id : d.address; }

// The last-used time, when the system keeps one worth showing.
QString lastUsedText(const QDateTime& t) {
    if (!t.isValid() || t.date().year() <= 2000) return {};
    return QStringLiteral(", ") + QLocale::system().toString(t.toLocalTime(), QLocale::ShortFormat);
}
} // namespace

TthdDiscover::TthdDiscover(std::shared_ptr<LinkHost> host, std::shared_ptr<BluetoothSystem> system, bool install,
                           DiscoverTiming timing)
    : host_(std::move(host)), system_(std::move(system)), install_(install), timing_(timing) {}

bool TthdDiscover::Start(QString& error) {
    try {
        // The thread keeps the run (and through it the host and the system) alive
        // until it has left.
        std::thread([self = shared_from_this()] { self->Run(); }).detach();
        return true;
    } catch (const std::system_error& e) {
        finished_ = true;
        error = QString::fromLocal8Bit(e.what());
        return false;
    }
}

QString TthdDiscover::LastLine() const {
    std::lock_guard lock(mutex_);
    return lastLine_;
}

void TthdDiscover::Terminate() {
    {
        std::lock_guard lock(mutex_);
        terminated_ = true;
    }
    wake_.notify_all();
}

bool TthdDiscover::WaitFinished(int timeoutMs) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!Finished() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return Finished();
}

void TthdDiscover::Run() {
    try {
        if (install_)
            InstallDevices();
        else
            UninstallDevices();
    } catch (const Ended&) {
    } catch (const std::exception&) {
        // Only a hand-over that failed itself gets here; nothing more can be told.
    }
    finished_ = true;
}

void TthdDiscover::Log(const QString& text) {
    {
        std::lock_guard lock(mutex_);
        if (terminated_) throw Ended{};
        lastLine_ = text;
    }
    if (!host_->Log(text)) throw Ended{};
}

void TthdDiscover::LogError(const BtError& error) {
    Log(MsgFmt(QStringLiteral("WindowsError"), {error.name, error.message}));
}

void TthdDiscover::BringToFront() {
    if (!host_->RunOnWindow([](LinkWindow& w) { w.BringToFront(); })) throw Ended{};
}

void TthdDiscover::Pause(int ms) {
    std::unique_lock lock(mutex_);
    if (wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return terminated_; })) throw Ended{};
}

template <typename Call> bool TthdDiscover::Retry(int tries, Call call) {
    for (int i = 0; i < tries; ++i) {
        BtError error;
        if (call(error)) return true;
        LogError(error);
        Pause(timing_.retryPauseMs);
    }
    return false;
}

// ---------------------------------------------------------------------------

void TthdDiscover::InstallDevices() {
    Log(msg("DiscoverNearbyDevices"));
    try {
        QList<BtDevice> devices;
        BtError error;
        bool listed = system_->StartInquiry(error);
        if (listed) {
            try {
                Pause(timing_.inquiryMs);
            } catch (const Ended&) {
                system_->StopInquiry();
                throw;
            }
            system_->StopInquiry();
            listed = system_->ListDevices(devices, error);
        }
        if (!listed) {
            LogError(error);
            Log(msg("BluetoothAvailable"));
        }
        for (BtDevice& device : devices)
            InstallDevice(device);
    } catch (const std::exception& e) {
        Log(QString::fromLocal8Bit(e.what()));
    }
    Log(msg("DiscoveryCompleted"));
}

void TthdDiscover::InstallDevice(BtDevice& device) {
    Log(MsgFmt(QStringLiteral("DeviceDetected"), {shownAddress(device)}));
    if (!device.problem.name.isEmpty()) {
        LogError(device.problem);
        return;
    }

    bool read = false;
    for (int i = 0; i < kNameTries; ++i) {
        BtError error;
        read = system_->ReadDevice(device, error);
        if (read && !device.name.isEmpty()) break;
        if (read)
            Log(msg("NoDeviceName"));
        else
            LogError(error);
        Pause(timing_.retryPauseMs);
    }
    if (!read || device.name.isEmpty()) return;

    QString line = QLatin1Char('"') + device.name + QLatin1Char('"') + lastUsedText(device.lastUsed);
    if (device.paired) line += QStringLiteral(", ") + msg("Installed");
    if (device.connected) line += QStringLiteral(", ") + msg("Connected");
    Log(line);

    if (device.name != kName) return;

    if (device.paired) {
        BringToFront();
        BtError ignored;
        system_->EnableSerialPort(device, ignored);
        return;
    }

    Log(MsgFmt(QStringLiteral("InstallingDevice"), {device.name}));
    const bool paired = Retry(kPairTries, [&](BtError& e) {
        BringToFront();
        return system_->Pair(device, e);
    });
    if (!paired) return;

    Log(msg("InstallSerialPort"));
    const bool enabled = Retry(kServiceTries, [&](BtError& e) {
        BringToFront();
        return system_->EnableSerialPort(device, e);
    });
    if (enabled) {
        Log(msg("InstallationStarted"));
        return;
    }
    Log(MsgFmt(QStringLiteral("UninstallingDevice"), {device.name}));
    if (Retry(kRemoveTries, [&](BtError& e) { return system_->Remove(device, e); })) {
        Log(msg("UninstallSuccessful"));
        Log(msg("TryColdStart"));
    }
}

// ---------------------------------------------------------------------------

void TthdDiscover::UninstallDevices() {
    Log(msg("ListingInstalledDevices"));
    try {
        QList<BtDevice> devices;
        BtError error;
        if (!system_->ListDevices(devices, error)) LogError(error);
        for (BtDevice& device : devices) {
            try {
                UninstallDevice(device);
            } catch (const std::exception& e) {
                Log(QString::fromLocal8Bit(e.what()));
            }
        }
    } catch (const std::exception& e) {
        Log(QString::fromLocal8Bit(e.what()));
    }
    Log(msg("RemovalCompleted"));
}

void TthdDiscover::UninstallDevice(BtDevice& device) {
    if (!device.problem.name.isEmpty()) {
        Log(shownAddress(device));
        LogError(device.problem);
        return;
    }
    QString line = device.address + QStringLiteral(", \"") + device.name + QLatin1Char('"') +
                   lastUsedText(device.lastUsed);
    if (!device.paired) line += QStringLiteral(", ") + msg("NotInstalled");
    if (device.connected) line += QStringLiteral(", ") + msg("Connected");
    Log(line);

    if (!device.paired || device.name != kName) return;

    for (int i = 0; i < kInUsePolls; ++i) {
        BtError error;
        if (!system_->ReadDevice(device, error)) {
            LogError(error);
        } else if (device.connected) {
            Log(msg("DeviceInUse"));
        } else {
            break;
        }
        Pause(timing_.retryPauseMs);
    }
    if (device.connected) return;

    Log(MsgFmt(QStringLiteral("UninstallingDevice"), {device.name}));
    if (Retry(kRemoveTries, [&](BtError& e) { return system_->Remove(device, e); }))
        Log(msg("UninstallSuccessful"));
}

} // namespace quenda
