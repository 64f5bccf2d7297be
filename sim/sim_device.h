// The simulated controller: records, clock, schedule playback, chart and health
// recording, and the command interpreter for the application and the bootloader.
// Transport-free: it turns one received line into the bytes to answer.
//
// Thread-safe: every public member takes the device's lock, so a test may read or
// change the records while a server thread feeds it lines.
#pragma once

#include "link/records.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <span>
#include <vector>

namespace quenda::sim {

// The most schedule rows the line can address: the row index is a signed byte.
inline constexpr int kMaxRows = 127;

struct DeviceOptions {
    uint8_t hardwareType = kHardwareApplication; // reported by GetDevice in the application
    uint8_t version = kSupportedVersion;
    bool startInBootloader = false;
    int rows = 24;           // schedule rows, 0..kMaxRows
    bool waterSensor = true; // false: TempWater is 0x7FFF
    bool slave = true;       // false: TempSlave is 0x7FFF
    int timeLapse = 1;       // initial TConfig.TimeLapse
    int chartMode = 0;       // initial TExpert.ChartMode: the recorded quantity
    uint16_t pageSize = 128; // bootloader TBootInfo
    uint32_t flashSize = 65536;
    bool lowerCaseHex = false; // reply digits in lower case
    char lineEnd = '\n';       // reply line end: '\n' or '\r'
    char ack = 'K';            // acknowledgement of an accepted write
    char nak = '?';            // answer to a line the device cannot use
    QString statePath;         // SaveEEPROM writes here; loaded at start when present
    QDateTime clock;           // initial device clock (local wall time); invalid: the host's
    uint64_t weatherSeed = 1;  // clouds and thunderstorms start and end by draws from this seed
};

// Everything a test may look at or change.
struct Records {
    TInfo info{};
    TConfig config{};
    TExpert expert{};
    TExpertWeather weather{};
    TChart chart{};
    THealth health{};
    std::vector<TScheduleRow> schedule;
};

struct Response {
    enum class Kind {
        None,    // nothing is sent (StartBootloader, unknown line in silence)
        Record,  // a read reply: echo, digit pairs, line end
        Ack,     // the one-character acknowledgement of a write
        Rejected // the one-character answer to a line the device could not use
    };
    Kind kind = Kind::None;
    QByteArray bytes;
    QStringList events; // notable things that happened (mode switch, reset, save)
};

class SimDevice {
public:
    // Monotonic milliseconds; the device clock runs at this pace times TimeLapse.
    using Clock = std::function<int64_t()>;

    explicit SimDevice(DeviceOptions options = {}, Clock clock = {});

    // One received line without its line end.
    Response handle(const QByteArray& line);

    // A consistent copy, with clock, levels and measurements brought up to date.
    Records records();
    // Changes records under the lock; RowCount follows the schedule's size afterwards.
    void update(const std::function<void(Records&)>& change);

    bool inBootloader();
    void setBootloader(bool on);
    void setIdentity(uint8_t hardwareType, uint8_t version);

    // Device wall time (local time of the device, kept as UTC to avoid DST jumps).
    QDateTime clock();
    void setClock(const QDateTime& t);

    // Bootloader side of a firmware update.
    // The next `times` blocks written at `address` go unanswered, as a block lost on
    // the line; the one after is taken.
    void failBlock(uint16_t address, int times);
    std::vector<uint8_t> flash();
    int blocksWritten();
    int resets();
    // Sum of the flash bytes from the lowest to the highest written address.
    uint32_t imageSum();

    int saves();
    // Default records: a realistic day on `rows` rows.
    static Records defaults(const DeviceOptions& o);
    // The reef preset schedule (LoadReef).
    static void applyReefPreset(Records& r);

    // Reply formatting shared with fault injection.
    static QByteArray hex(const uint8_t* data, int n, bool lower);

private:
    using Lock = std::lock_guard<std::mutex>;
    using Payload = std::vector<uint8_t>;
    // One command of the line: its code and what the device does with the payload.
    // Cmd::Special is a command whose payload byte picks one of the special commands.
    struct Command {
        uint8_t code;
        Response (SimDevice::*run)(uint8_t code, const Payload& payload, QStringList& events);
    };
    static std::span<const Command> applicationCommands();
    static std::span<const Command> bootloaderCommands();
    static std::span<const Command> specialCommands();
    Response dispatch(std::span<const Command> table, uint8_t code, const Payload& p, QStringList& events);

    Response getDevice(uint8_t code, const Payload& p, QStringList& events);
    Response getInfo(uint8_t code, const Payload& p, QStringList& events);
    Response getSchedule(uint8_t code, const Payload& p, QStringList& events);
    template <auto Field> Response getRecord(uint8_t code, const Payload& p, QStringList& events);
    template <auto Field> Response setRecord(uint8_t code, const Payload& p, QStringList& events);
    Response setInfo(uint8_t code, const Payload& p, QStringList& events);
    Response setSchedule(uint8_t code, const Payload& p, QStringList& events);
    Response setExpert(uint8_t code, const Payload& p, QStringList& events);
    Response special(uint8_t code, const Payload& p, QStringList& events);
    Response enterBootloader(uint8_t code, const Payload& p, QStringList& events);
    Response saveEEPROM(uint8_t code, const Payload& p, QStringList& events);
    Response toggleCloud(uint8_t code, const Payload& p, QStringList& events);
    Response toggleStorm(uint8_t code, const Payload& p, QStringList& events);
    Response loadReef(uint8_t code, const Payload& p, QStringList& events);
    Response bootGetDevice(uint8_t code, const Payload& p, QStringList& events);
    Response bootGetInfo(uint8_t code, const Payload& p, QStringList& events);
    Response bootWriteBlock(uint8_t code, const Payload& p, QStringList& events);
    Response bootReset(uint8_t code, const Payload& p, QStringList& events);
    Response recordReply(uint8_t code, const void* data, int n) const;
    Response ack() const;
    Response rejected() const;
    void advance();
    void refreshInfo();
    void applySetInfo(const TInfo& in, QStringList& events);
    int currentScheduleRow(int minuteOfDay) const;
    void computeLevels(double minuteOfDay);
    int16_t measurement(int chartMode, int64_t deviceMs) const;
    void recordChartSample(int64_t deviceMs);
    void countHealth(int64_t periods);
    void resetTimers();
    // A cloud or a thunderstorm: device times of its end while it runs, of the next
    // start while not (-1: not drawn yet), and the chances they were drawn with.
    struct WeatherEvent {
        int64_t until = -1, next = -1;
        uint16_t startP = 0, endP = 0;
        bool active() const { return until >= 0; }
    };
    // Ticks (tenths of a second) up to an event that has `chance` * 2^-bits per tick.
    int64_t drawTicks(uint16_t chance, int bits);
    // Starts and ends the event up to the present from the chances of TConfig.
    void runWeather(WeatherEvent& e, uint16_t startP, uint16_t endP, int bits, int64_t from);
    void toggleWeather(WeatherEvent& e, uint16_t endP, int bits);
    int64_t chartIntervalMs() const; // ChartInterval minutes, at least one
    uint32_t writtenSum() const;     // imageSum() under a lock already held
    bool saveState(QString* error) const;
    bool loadState();

    mutable std::mutex m_;
    DeviceOptions opt_;
    Clock now_;
    Records r_;
    bool bootloader_ = false;
    uint8_t hardwareType_, version_;
    int64_t lastReal_ = 0;
    int64_t deviceMs_ = 0;                      // since 2000-01-01 00:00, device wall time
    double fraction_ = 0;                       // sub-millisecond remainder of the time lapse
    int64_t nextChart_ = 0;                     // device time of the next chart sample
    int64_t nextHealth_ = 0;                    // device time of the next 15 s health period
    int64_t savingUntil_ = -1;                  // real time until which StatusFlags bit 4 stays set
    WeatherEvent cloud_, storm_;
    std::mt19937_64 weatherRng_;
    int rowOverride_ = -1, overriddenAt_ = -1;  // CurrentRow chosen by SetInfo
    int nextScheduleRow_ = 0;
    std::vector<uint8_t> flash_;
    std::map<uint16_t, int> failBlocks_; // block address -> writes still to go unanswered
    int blocks_ = 0, resets_ = 0, saves_ = 0;
    int64_t lowWritten_ = -1, highWritten_ = -1;
};

} // namespace quenda::sim
