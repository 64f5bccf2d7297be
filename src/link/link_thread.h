// The link thread: the one worker that owns the serial port and talks to the device.
//
// It opens the port, identifies what answers, and then loops: every pass serves at
// most one raised request bit in a fixed priority order, and every 25 idle passes'
// time (half a second) it polls the device. An idle pass waits until a request is
// raised, at most 20 ms. Every result, message and change of the link state goes to the window
// through the LinkHost as a synchronous call; the window only raises bits in
// `Requests` and reads `Finished`.
//
// Lifetime: Create() starts the thread at once. The thread keeps the link object, the
// host and the state block alive until it has left, so the window may drop its
// reference at any time (it never waits for the thread, except for the bounded wait
// at shutdown). The thread never calls into a window whose host has begun closing.
#pragma once

#include "link/device_state.h"
#include "link/firmware.h"
#include "link/link_host.h"
#include "link/protocol.h"
#include "link/serial_port.h"

#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace quenda {

// The waits of the link; the defaults are the product's, tests shorten them.
struct LinkTiming {
    int waitStepMs = 100;        // a reconnect wait is 10 such steps
    int idleSleepMs = 20;        // longest wait of a pass that served nothing (a raise ends it)
    int bootloaderStartMs = 500; // after asking the device to restart into its bootloader
    int firmwareRetryMs = 500;   // after a firmware block that was not acknowledged
};

class TthdCom : public std::enable_shared_from_this<TthdCom> {
public:
    // Called on the link thread; the port's own time-outs apply (5000 ms in the product).
    using PortFactory = std::function<std::unique_ptr<IPort>()>;

    struct Options {
        PortFactory makePort; // empty: a QtSerialPort with the product's time-outs
        LinkTiming timing;
    };

    static constexpr int kPollPasses = 25;
    // While the user edits, a due poll waits for the moment just after an edit, this
    // long at the most.
    static constexpr std::chrono::milliseconds kPollDeferral{100};
    static constexpr int kOpenAttempts = 5;
    static constexpr int kIdentifyAttempts = 5;
    static constexpr int kWaitSteps = 10;
    // Tries of a write the device does not acknowledge before its record is read back.
    static constexpr int kWriteTries = 3;

    // Makes the link for the port text (the port name is the text before its first
    // blank) and starts it.
    static std::shared_ptr<TthdCom> Create(std::shared_ptr<DeviceState> state, std::shared_ptr<LinkHost> host,
                                           const QString& portText, bool debug, Options options = {});

    // `state` must be the block the host's window returns from State(). Not started:
    // for derived links; use Start() once the object is owned by a shared_ptr.
    TthdCom(std::shared_ptr<DeviceState> state, std::shared_ptr<LinkHost> host, const QString& portText,
            bool debug, Options options = {});
    virtual ~TthdCom();
    TthdCom(const TthdCom&) = delete;
    TthdCom& operator=(const TthdCom&) = delete;

    void Start();

    // ---- Window's side ----
    // Replaces the wanted port and the debug switch; the loop reconnects at its next pass.
    void SetPortName(const QString& portText, bool debug);
    // The thread ends at its next check (a port read in progress finishes first).
    void Terminate();
    bool Terminated() const { return terminated_.load(); }
    // True once the end sequence has run.
    bool Finished() const { return finished_.load(); }
    // The window's bounded wait at shutdown: checks Finished every stepMs, at most
    // `checks` times. Begin closing the host first, or the link's last reports wait for
    // an event loop that is not running.
    bool WaitFinished(int checks = 10, int stepMs = 50) const;
    QString WantedPortName() const;

    // The text before the first blank, all of it when there is none.
    static QString PortNameOf(const QString& portText);
    // The name shown for a foreign hardware type.
    static QString HardwareName(int hardwareType);
    // Waits until every link thread of the process has left (tests, and the program
    // after its window is gone). False when some are still running at the time-out.
    static bool WaitForThreads(int timeoutMs);

protected:
    // The firmware step, run while the bootloader answers and its boot information was
    // read: asks the window for a file until one is accepted or the dialog is
    // cancelled, sends the image block by block and resets the device
    // (firmware_update.cpp).
    virtual void RunFirmwareUpdate();

    // For the firmware step.
    Protocol& protocol() { return *protocol_; }
    LinkHost& host() { return *host_; }
    DeviceState& state() { return *state_; }
    uint16_t PageSize() const { return pageSize_; }
    uint32_t FlashSize() const { return flashSize_; }
    const QString& FirmwareFile() const { return firmwareFile_; }
    const QString& PortName() const { return portName_; }
    // Hand-overs that end the link when the window refuses them.
    void Log(const QString& text);
    void Status(const QString& text);
    void Progress(const QString& text, uint64_t done, uint64_t total);
    // Leaves the thread (through the end sequence) when terminated.
    void CheckTerminated();
    void Identify();

private:
    struct Ended {}; // thrown to leave the thread through the end sequence

    void Run();
    void ConnectSequence();
    bool Pass(); // false: leave
    bool ServeOne();
    // reportDone: the "Done" status follows the read, whether it succeeded or not.
    static uint32_t ReadBitOf(LinkRecord record);
    void ReadRecord(uint8_t code, int n, const char* name, LinkRecord record, bool reportDone = false);
    void WriteRecord(uint8_t code, int n, const char* name, LinkRecord record, uint32_t writeBit,
                     uint32_t readBit);
    // After a write: a success forgets earlier failures of `what`; a failure is logged
    // and gives true while another try is due, false once the tries are spent.
    bool WriteFailed(bool sent, const QString& what);
    void SetInfo(uint32_t servedBit);
    // Clears bit, raises raiseAfter, then sends the special function.
    void SpecialFunction(const char* name, uint32_t bit, uint8_t function, uint32_t raiseAfter = 0);
    void DownloadSchedule();
    void UploadScheduleRow();
    void FirmwareStep();
    // Parts of RunFirmwareUpdate. Reads and checks a chosen file; false after a refusal,
    // which has been reported.
    bool ReadFirmware(const QString& path, FirmwareImage& image, int32_t& first, int32_t& last);
    // Asks for files until one fits the flash; false when the dialog was cancelled.
    bool ChooseFirmware(FirmwareImage& image, FlashPlan& plan);
    // Sends the planned blocks with their retries; false when some block was not taken.
    bool SendFirmware(const FirmwareImage& image, const FlashPlan& plan, TransferBuffer& block);
    bool GetBootInfo();
    void StartBootloader();
    void EndSequence();

    void ConnectedChanged(bool usable);
    void Hand(bool accepted); // a refused hand-over ends the link
    void LogFromProtocol(const QString& text);
    // Raised and none of the blockers raised; one lock hold.
    bool Pending(uint32_t bit, uint32_t blockers = 0);
    // The time 25 idle passes take.
    std::chrono::milliseconds PollInterval() const;
    // 10 steps, leaving at once when terminated.
    void WaitASecond();
    // Sleeps, returning early when terminated.
    void Sleep(int ms);

    const std::shared_ptr<DeviceState> state_;
    const std::shared_ptr<LinkHost> host_;
    Options options_;

    // Guarded by state_->StateLock.
    QString wantedName_;
    bool wantedDebug_ = false;

    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> started_{false};
    std::mutex sleepMutex_;
    std::condition_variable sleepWake_;

    // Link thread only.
    std::unique_ptr<IPort> port_;
    std::unique_ptr<Protocol> protocol_;
    QString portName_; // the port the current connect sequence opened
    uint8_t lastHardwareType_ = 255;
    uint8_t lastVersion_ = 255;
    bool isApplication_ = false;
    bool isBootloader_ = false;
    uint16_t pageSize_ = 0;
    uint32_t flashSize_ = 0;
    QString firmwareFile_;
    int passes_ = 0;
    std::chrono::steady_clock::time_point nextPoll_{};
    std::chrono::steady_clock::time_point editSentAt_{}; // the last SetInfo on the wire
    bool pollHeld_ = false;                               // a due poll waits for an edit
    std::map<QString, int> writeFailures_; // failed tries per record or schedule line
    // Schedule lines a download has still to read; kept when the download is cut short,
    // so the next one goes on (the device hands out its lines in turn).
    std::vector<uint8_t> linesToRead_;
};

} // namespace quenda
