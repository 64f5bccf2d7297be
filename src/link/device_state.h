// The block the window and the link thread share: local copies of every device
// record, the schedule with its upload marks, and the request-flag word.
//
// Records are written only on the window's thread (page handlers, and the copy
// operations the link thread runs there synchronously), so the window reads them
// without the lock. `Requests`, `UploadMarks` and the link's wanted port name are
// changed only under `StateLock`.
#pragma once

#include "link/records.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace quenda {

// Request bits, one per pending command.
enum Request : uint32_t {
    rqGetInfo = 0x1,
    rqSetTime = 0x2,
    rqSetChannels = 0x4,
    rqSetRow = 0x8,
    rqGetConfig = 0x10,
    rqSetConfig = 0x20,
    rqGetSchedule = 0x40,
    rqSetSchedule = 0x80,
    rqGetExpert = 0x100,
    rqSetExpert = 0x200,
    rqGetExpertWeather = 0x400,
    rqSetExpertWeather = 0x800,
    rqGetChart = 0x1000,
    rqGetHealth = 0x2000,
    rqLoadReef = 0x4000,
    rqFirmwareUpdate = 0x8000,
    rqSaveEEPROM = 0x10000,
    rqToggleCloud = 0x20000,
    rqToggleStorm = 0x40000,
};
inline constexpr uint32_t rqRefreshAll = rqGetInfo | rqGetConfig | rqGetSchedule | rqGetExpert | rqGetExpertWeather;
inline constexpr uint32_t rqOnConnect = rqRefreshAll | rqGetChart;
inline constexpr uint32_t rqChartMode = rqSetExpert | rqGetChart;
// An imported configuration goes to the device as a whole.
inline constexpr uint32_t rqConfigImport = rqSetConfig | rqSetExpert | rqSetExpertWeather;

// The link's transfer buffer: the echoed command code, then the payload.
struct TransferBuffer {
    uint8_t Echo = 0;
    uint8_t Payload[132] = {};
};

class DeviceState {
public:
    DeviceState();

    TInfo Info{};
    TConfig Config{};
    TExpert Expert{};
    TExpertWeather ExpertWeather{};
    TChart Chart{};
    THealth Health{};
    std::vector<TScheduleRow> Schedule;
    std::vector<uint8_t> UploadMarks;   // guarded by StateLock
    // One mark per line the tool has read from the device (guarded by StateLock); a
    // line not read holds no known values and is never uploaded.
    std::vector<uint8_t> ReadMarks;

    // Non-recursive, held for a few instructions only, never across a command or a
    // call onto the window.
    std::mutex StateLock;

    // ---- Request word (each call takes StateLock once) ----
    // Every raise wakes a link waiting in waitForRaise().
    void raise(uint32_t bits);
    // The window's raise: also keeps a copy of Info when a SetInfo bit is raised, so
    // the link sends the edit without waiting for the window's thread.
    void raiseFromWindow(uint32_t bits);
    void assignRequests(uint32_t word); // replaces the whole word
    void clearRequests(uint32_t bits);
    bool isRaised(uint32_t bits);       // any of the bits
    // A read on the line: a raise of its bit while the reply is awaited asks for a
    // newer copy (a mode the user just changed, a Refresh), so finishing the read keeps
    // that bit for the next pass instead of swallowing it.
    void beginRead(uint32_t bit);
    void finishRead(uint32_t bit);
    uint32_t requests();
    // Marks rows for upload and raises rqSetSchedule, in one lock hold.
    void markRowsForUpload(int first, int last);
    bool isMarked(int row);
    bool isRead(int row);
    bool allRead();
    // A write of the line failed: it is known no longer and is read again.
    void forgetRow(int row);

    // ---- The link's idle wait ----
    // How many raises there were so far; with waitForRaise, none is missed.
    uint64_t raises();
    // Waits up to `timeout` for a raise after `seen` was read, or until stop() holds
    // (checked under StateLock; whoever makes it true calls wakeWaiters()).
    void waitForRaise(uint64_t seen, std::chrono::milliseconds timeout, const std::function<bool()>& stop);
    void wakeWaiters();

    // Link thread: the Info copy kept by raiseFromWindow() into the buffer, clearing
    // servedBit; false (nothing changed) when there is no copy or the bit is not raised.
    bool takeInfoCopy(TransferBuffer& b, uint32_t servedBit);

    // ---- The schedule's line count, for the link ----
    // Link thread, before it hands an Info record to the window.
    void infoOnItsWay();
    // Link thread: Info.RowCount as the window holds it, when no Info record handed
    // over is still on its way there; false then (only the window can tell).
    bool settledRowCount(int& rows);

    // ---- Copy operations (window's thread; each holds StateLock throughout) ----
    void storeInfo(const TransferBuffer& b);
    void loadInfo(TransferBuffer& b, uint32_t servedBit);
    void storeConfig(const TransferBuffer& b);
    void loadConfig(TransferBuffer& b);
    void storeExpert(const TransferBuffer& b);
    void loadExpert(TransferBuffer& b);
    void storeExpertWeather(const TransferBuffer& b);
    void loadExpertWeather(TransferBuffer& b);
    void storeChart(const TransferBuffer& b);
    void storeHealth(const TransferBuffer& b);
    // Stores a downloaded line and marks it read, unless the user changed the line
    // since (its upload mark is set): that edit is newer and is still to be sent.
    void storeScheduleRow(const TransferBuffer& b);
    // The first line that is marked and read goes into the buffer, and true. Marked
    // lines not read yet wait for their download. False clears rqSetSchedule.
    bool pickScheduleRow(TransferBuffer& b);

    // Sizes the schedule and the marks (new rows zero).
    void resizeSchedule(int rows);

    // SetInfo masks, applied to the transfer buffer only: the two groups the
    // served request does not mean to change are marked "not to be set".
    static void applySetInfoMask(TransferBuffer& b, uint32_t servedBit);

    // The "Now" action's clock fields; raises nothing.
    struct ClockValue {
        int year, month, day, hour, minute, second, millisecond;
    };
    void setClock(const ClockValue& c);

private:
    void raiseLocked(uint32_t bits);

    template <class R> void storeRecord(R& rec, const TransferBuffer& b, uint32_t writeBit);
    template <class R> void loadRecord(const R& rec, TransferBuffer& b, uint32_t writeBit);
    uint32_t requests_ = 0; // guarded by StateLock
    uint64_t raises_ = 0;   // guarded by StateLock
    uint32_t raisedSinceRead_ = 0; // guarded by StateLock
    std::condition_variable raised_;
    TInfo infoCopy_{};      // guarded by StateLock
    bool infoCopied_ = false;
    int infoOnItsWay_ = 0;  // guarded by StateLock
    void resizeScheduleLocked(int rows);
};

} // namespace quenda
