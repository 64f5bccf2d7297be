// The Bluetooth install and uninstall runs. A run has a thread of its own, touches no
// device record and reaches the window only through the link's hand-over: each log
// line is added on the window's thread while the run waits. A closing window refuses
// the hand-over, and the run then ends at once.
#pragma once

#include "bluetooth/bluetooth_system.h"
#include "link/link_host.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace quenda {

struct DiscoverTiming {
    int retryPauseMs = 2000; // after each failed try
    int inquiryMs = 6400;    // the scan: five inquiry units of 1.28 s
};

class TthdDiscover : public std::enable_shared_from_this<TthdDiscover> {
public:
    static constexpr int kNameTries = 10;
    static constexpr int kPairTries = 5;
    static constexpr int kServiceTries = 5;
    static constexpr int kRemoveTries = 5;
    static constexpr int kInUsePolls = 10;

    // install: true for the install run, false for the uninstall run.
    TthdDiscover(std::shared_ptr<LinkHost> host, std::shared_ptr<BluetoothSystem> system, bool install,
                 DiscoverTiming timing = {});

    // Starts the run on its own thread. False (and Finished) when the thread could not
    // be started, with the reason in `error`.
    bool Start(QString& error);

    bool Install() const { return install_; }
    // Set when the run's body has ended, in every case.
    bool Finished() const { return finished_.load(); }
    // The last line handed to the window.
    QString LastLine() const;
    // Ends the run at its next pause or log line.
    void Terminate();
    // The bounded wait at shutdown.
    bool WaitFinished(int timeoutMs) const;

private:
    struct Ended {};

    void Run();
    void InstallDevices();
    void UninstallDevices();
    void InstallDevice(BtDevice& device);
    void UninstallDevice(BtDevice& device);
    // Up to `tries` calls of `call`; each failure logs the error line and pauses.
    template <typename Call> bool Retry(int tries, Call call);

    void Log(const QString& text);
    void LogError(const BtError& error);
    void BringToFront();
    void Pause(int ms);

    std::shared_ptr<LinkHost> host_;
    std::shared_ptr<BluetoothSystem> system_;
    const bool install_;
    const DiscoverTiming timing_;

    mutable std::mutex mutex_;
    mutable std::condition_variable wake_;
    bool terminated_ = false;
    QString lastLine_;
    std::atomic<bool> finished_{false};
};

} // namespace quenda
