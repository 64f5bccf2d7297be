// The controller's fixed-size records, byte for byte as they travel on the wire.
//
// Every record is described once: the packed struct gives the code names, and the
// field table beside it (offset, element width, signedness, element count, INI key)
// drives layout checks, generic field access, INI files and round-trip tests.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

static_assert(std::endian::native == std::endian::little,
              "records are stored as they arrive: little-endian hosts only");

namespace quenda {

#pragma pack(push, 1)

struct TDeviceId {
    uint8_t HardwareType;
    uint8_t Version;
};

struct TInfo {
    uint8_t RowCount;
    uint8_t ActiveFlags;
    uint8_t ErrorFlags;
    uint8_t StatusFlags;
    int8_t CurrentRow;
    int8_t Centisecond;
    int8_t Second;
    int8_t Minute;
    int8_t Hour;
    int8_t Day;
    int8_t Month;
    int8_t Year;
    uint8_t ClockSpare;
    uint8_t Reserved1[4];
    int16_t Channel[12];
    uint8_t Reserved2[3];
    int16_t TempWater;
    int16_t TempBoard;
    int16_t Voltage;
    int16_t TempSlave;
};

struct TConfig {
    uint8_t Mode;
    uint8_t Flag;
    uint8_t FanLow;
    uint8_t FanHigh;
    uint8_t LCDBLMin;
    uint8_t LCDBLMax;
    uint8_t TimeLapse;
    uint8_t ColorName[12];
    uint16_t CloudP;
    uint16_t CloudD;
    uint16_t StormP;
    uint16_t StormD;
    int16_t Lat;
    int16_t Lon;
};

struct TScheduleRow {
    int8_t Hour;
    int8_t Minute;
    int16_t Alt;
    int16_t Color16[12];
    int16_t Timer;
    uint8_t Switch;
};

// A schedule row as it travels: its 0-based index first.
struct TScheduleWire {
    int8_t Index;
    TScheduleRow Row;
};

struct TExpert {
    uint8_t FanMode;
    uint8_t JMPMode;
    uint8_t ChartMode;
    uint8_t PWMPrescaler;
    uint8_t TWIBitrate;
    uint8_t RandomInit;
    uint8_t FanOff;
    uint8_t LCDBLNight;
    uint8_t Language;
    uint8_t ChartScale;
    int8_t TempOffset;
    int8_t BalanceSumRamp;
    int16_t TempWaterLow;
    int16_t TempWaterHigh;
    int16_t TempCoolLow;
    int16_t TempCoolHigh;
    int16_t TempHeatLow;
    int16_t TempHeatHigh;
    int16_t CloudTempWater;
    int16_t CloudTempBoard;
    uint16_t ChartInterval;
    int8_t StandardMonth;
    int8_t StandardDay;
    int8_t StandardHour;
    int8_t StandardDayOfWeek;
    int8_t DaylightMonth;
    int8_t DaylightDay;
    int8_t DaylightHour;
    int8_t DaylightDayOfWeek;
    int16_t Bias;
    uint16_t Up;
    uint16_t Down;
    uint16_t Left;
    uint16_t Right;
    uint16_t Previous;
    uint16_t Next;
    uint16_t Settings;
    uint16_t Step;
};

struct TExpertWeather {
    uint16_t CloudStep;
    uint16_t StormStep;
    uint16_t LightningP;
    uint8_t CloudAlpha;
    uint8_t StormAlpha;
    uint8_t BalanceSum;
    int16_t MoonColor16[12];
    uint8_t Balance[12];
    uint8_t LightningMask[12];
    uint8_t WeatherDelay[12];
};

struct TChart {
    int16_t Sample[40];
};

// Nine 24-bit counters, then the power-up count.
struct THealth {
    uint8_t Counter[9][3];
    uint16_t PowerCycles;
};

struct TBootInfo {
    uint16_t PageSize;
    uint32_t FlashSize;
};

struct TFirmwareBlock {
    uint16_t Address;
    uint8_t Data[64];
};

#pragma pack(pop)

static_assert(sizeof(TDeviceId) == 2);
static_assert(sizeof(TInfo) == 52);
static_assert(sizeof(TConfig) == 31);
static_assert(sizeof(TScheduleRow) == 31);
static_assert(sizeof(TScheduleWire) == 32);
static_assert(sizeof(TExpert) == 56);
static_assert(sizeof(TExpertWeather) == 69);
static_assert(sizeof(TChart) == 80);
static_assert(sizeof(THealth) == 29);
static_assert(sizeof(TBootInfo) == 6);
static_assert(sizeof(TFirmwareBlock) == 66);

// Marks used by the device and the tool.
inline constexpr int16_t kNoMeasurement = 0x7FFF;
inline constexpr int kChannels = 12;
inline constexpr int kLevelMax = 4096;
inline constexpr uint8_t kHardwareApplication = 5;
inline constexpr uint8_t kHardwareBootloader = 4;
inline constexpr uint8_t kHardwareNone = 255;
inline constexpr uint8_t kSupportedVersion = 5;

// ---- Field tables -------------------------------------------------------

enum class FieldKind : uint8_t { U8, S8, U16, S16, U24, U32, Bytes };

constexpr int kindWidth(FieldKind k) {
    switch (k) {
    case FieldKind::U8:
    case FieldKind::S8:
    case FieldKind::Bytes: return 1;
    case FieldKind::U16:
    case FieldKind::S16: return 2;
    case FieldKind::U24: return 3;
    case FieldKind::U32: return 4;
    }
    return 1;
}
constexpr bool kindSigned(FieldKind k) { return k == FieldKind::S8 || k == FieldKind::S16; }

struct FieldDesc {
    std::string_view key; // code name, and the INI key (arrays append the channel number)
    uint16_t offset;
    FieldKind kind;
    uint8_t count; // 1 for a scalar, 12 for a per-channel array
    constexpr int width() const { return kindWidth(kind); }
    constexpr int size() const { return width() * count; }
};

namespace detail {
// Checks each table row against the struct at compile time.
template <std::size_t Actual, std::size_t Expected, std::size_t MemberBytes, std::size_t TableBytes>
constexpr uint16_t checkedOffset() {
    static_assert(Actual == Expected, "field offset differs from the record layout");
    static_assert(MemberBytes == TableBytes, "field size differs from the record layout");
    return static_cast<uint16_t>(Expected);
}
} // namespace detail

#define QUENDA_FIELD(Rec, Member, Off, Kind, Count)                                                             \
    ::quenda::FieldDesc {                                                                                        \
        #Member,                                                                                                  \
            ::quenda::detail::checkedOffset<offsetof(Rec, Member), Off, sizeof(Rec::Member),                     \
                                            std::size_t(::quenda::kindWidth(::quenda::FieldKind::Kind)) * Count>(), \
            ::quenda::FieldKind::Kind, Count                                                                      \
    }

enum class RecordKind : uint8_t { DeviceId, Info, Config, ScheduleRow, Expert, ExpertWeather, Chart, Health, BootInfo, FirmwareBlock };

struct RecordDesc {
    RecordKind kind;
    std::string_view name;
    std::size_t size;
    std::span<const FieldDesc> fields;
};

// The tables (defined in records.cpp, checked there against the structs).
const RecordDesc& recordDesc(RecordKind kind);
// The field called `key` (case-sensitive code name) of a record, or nullptr.
const FieldDesc* findField(RecordKind kind, std::string_view key);

// Generic access through a table row. Reads sign-extend signed kinds; writes keep the
// low bits of the value (a record field is stored cut to its width).
int64_t readField(const void* record, const FieldDesc& f, int index = 0);
void writeField(void* record, const FieldDesc& f, int index, int64_t value);

// THealth counters are 24-bit little-endian.
uint32_t healthCounter(const THealth& h, int i);

} // namespace quenda
