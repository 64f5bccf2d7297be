#include "link/records.h"

#include <array>
#include <cstring>

namespace quenda {
namespace {

constexpr FieldDesc kDeviceId[] = {
    QUENDA_FIELD(TDeviceId, HardwareType, 0, U8, 1),
    QUENDA_FIELD(TDeviceId, Version, 1, U8, 1),
};

constexpr FieldDesc kInfo[] = {
    QUENDA_FIELD(TInfo, RowCount, 0, U8, 1),     QUENDA_FIELD(TInfo, ActiveFlags, 1, U8, 1),
    QUENDA_FIELD(TInfo, ErrorFlags, 2, U8, 1),   QUENDA_FIELD(TInfo, StatusFlags, 3, U8, 1),
    QUENDA_FIELD(TInfo, CurrentRow, 4, S8, 1),   QUENDA_FIELD(TInfo, Centisecond, 5, S8, 1),
    QUENDA_FIELD(TInfo, Second, 6, S8, 1),       QUENDA_FIELD(TInfo, Minute, 7, S8, 1),
    QUENDA_FIELD(TInfo, Hour, 8, S8, 1),         QUENDA_FIELD(TInfo, Day, 9, S8, 1),
    QUENDA_FIELD(TInfo, Month, 10, S8, 1),       QUENDA_FIELD(TInfo, Year, 11, S8, 1),
    QUENDA_FIELD(TInfo, ClockSpare, 12, U8, 1),  QUENDA_FIELD(TInfo, Reserved1, 13, Bytes, 4),
    QUENDA_FIELD(TInfo, Channel, 17, S16, 12),   QUENDA_FIELD(TInfo, Reserved2, 41, Bytes, 3),
    QUENDA_FIELD(TInfo, TempWater, 44, S16, 1),  QUENDA_FIELD(TInfo, TempBoard, 46, S16, 1),
    QUENDA_FIELD(TInfo, Voltage, 48, S16, 1),    QUENDA_FIELD(TInfo, TempSlave, 50, S16, 1),
};

constexpr FieldDesc kConfig[] = {
    QUENDA_FIELD(TConfig, Mode, 0, U8, 1),       QUENDA_FIELD(TConfig, Flag, 1, U8, 1),
    QUENDA_FIELD(TConfig, FanLow, 2, U8, 1),     QUENDA_FIELD(TConfig, FanHigh, 3, U8, 1),
    QUENDA_FIELD(TConfig, LCDBLMin, 4, U8, 1),   QUENDA_FIELD(TConfig, LCDBLMax, 5, U8, 1),
    QUENDA_FIELD(TConfig, TimeLapse, 6, U8, 1),  QUENDA_FIELD(TConfig, ColorName, 7, U8, 12),
    QUENDA_FIELD(TConfig, CloudP, 19, U16, 1),   QUENDA_FIELD(TConfig, CloudD, 21, U16, 1),
    QUENDA_FIELD(TConfig, StormP, 23, U16, 1),   QUENDA_FIELD(TConfig, StormD, 25, U16, 1),
    QUENDA_FIELD(TConfig, Lat, 27, S16, 1),      QUENDA_FIELD(TConfig, Lon, 29, S16, 1),
};

constexpr FieldDesc kScheduleRow[] = {
    QUENDA_FIELD(TScheduleRow, Hour, 0, S8, 1),       QUENDA_FIELD(TScheduleRow, Minute, 1, S8, 1),
    QUENDA_FIELD(TScheduleRow, Alt, 2, S16, 1),       QUENDA_FIELD(TScheduleRow, Color16, 4, S16, 12),
    QUENDA_FIELD(TScheduleRow, Timer, 28, S16, 1),    QUENDA_FIELD(TScheduleRow, Switch, 30, U8, 1),
};

constexpr FieldDesc kExpert[] = {
    QUENDA_FIELD(TExpert, FanMode, 0, U8, 1),            QUENDA_FIELD(TExpert, JMPMode, 1, U8, 1),
    QUENDA_FIELD(TExpert, ChartMode, 2, U8, 1),          QUENDA_FIELD(TExpert, PWMPrescaler, 3, U8, 1),
    QUENDA_FIELD(TExpert, TWIBitrate, 4, U8, 1),         QUENDA_FIELD(TExpert, RandomInit, 5, U8, 1),
    QUENDA_FIELD(TExpert, FanOff, 6, U8, 1),             QUENDA_FIELD(TExpert, LCDBLNight, 7, U8, 1),
    QUENDA_FIELD(TExpert, Language, 8, U8, 1),           QUENDA_FIELD(TExpert, ChartScale, 9, U8, 1),
    QUENDA_FIELD(TExpert, TempOffset, 10, S8, 1),        QUENDA_FIELD(TExpert, BalanceSumRamp, 11, S8, 1),
    QUENDA_FIELD(TExpert, TempWaterLow, 12, S16, 1),     QUENDA_FIELD(TExpert, TempWaterHigh, 14, S16, 1),
    QUENDA_FIELD(TExpert, TempCoolLow, 16, S16, 1),      QUENDA_FIELD(TExpert, TempCoolHigh, 18, S16, 1),
    QUENDA_FIELD(TExpert, TempHeatLow, 20, S16, 1),      QUENDA_FIELD(TExpert, TempHeatHigh, 22, S16, 1),
    QUENDA_FIELD(TExpert, CloudTempWater, 24, S16, 1),   QUENDA_FIELD(TExpert, CloudTempBoard, 26, S16, 1),
    QUENDA_FIELD(TExpert, ChartInterval, 28, U16, 1),    QUENDA_FIELD(TExpert, StandardMonth, 30, S8, 1),
    QUENDA_FIELD(TExpert, StandardDay, 31, S8, 1),       QUENDA_FIELD(TExpert, StandardHour, 32, S8, 1),
    QUENDA_FIELD(TExpert, StandardDayOfWeek, 33, S8, 1), QUENDA_FIELD(TExpert, DaylightMonth, 34, S8, 1),
    QUENDA_FIELD(TExpert, DaylightDay, 35, S8, 1),       QUENDA_FIELD(TExpert, DaylightHour, 36, S8, 1),
    QUENDA_FIELD(TExpert, DaylightDayOfWeek, 37, S8, 1), QUENDA_FIELD(TExpert, Bias, 38, S16, 1),
    QUENDA_FIELD(TExpert, Up, 40, U16, 1),               QUENDA_FIELD(TExpert, Down, 42, U16, 1),
    QUENDA_FIELD(TExpert, Left, 44, U16, 1),             QUENDA_FIELD(TExpert, Right, 46, U16, 1),
    QUENDA_FIELD(TExpert, Previous, 48, U16, 1),         QUENDA_FIELD(TExpert, Next, 50, U16, 1),
    QUENDA_FIELD(TExpert, Settings, 52, U16, 1),         QUENDA_FIELD(TExpert, Step, 54, U16, 1),
};

constexpr FieldDesc kExpertWeather[] = {
    QUENDA_FIELD(TExpertWeather, CloudStep, 0, U16, 1),      QUENDA_FIELD(TExpertWeather, StormStep, 2, U16, 1),
    QUENDA_FIELD(TExpertWeather, LightningP, 4, U16, 1),     QUENDA_FIELD(TExpertWeather, CloudAlpha, 6, U8, 1),
    QUENDA_FIELD(TExpertWeather, StormAlpha, 7, U8, 1),      QUENDA_FIELD(TExpertWeather, BalanceSum, 8, U8, 1),
    QUENDA_FIELD(TExpertWeather, MoonColor16, 9, S16, 12),   QUENDA_FIELD(TExpertWeather, Balance, 33, U8, 12),
    QUENDA_FIELD(TExpertWeather, LightningMask, 45, U8, 12), QUENDA_FIELD(TExpertWeather, WeatherDelay, 57, U8, 12),
};

constexpr FieldDesc kChart[] = {QUENDA_FIELD(TChart, Sample, 0, S16, 40)};

constexpr FieldDesc kHealth[] = {
    QUENDA_FIELD(THealth, Counter, 0, U24, 9),
    QUENDA_FIELD(THealth, PowerCycles, 27, U16, 1),
};

constexpr FieldDesc kBootInfo[] = {
    QUENDA_FIELD(TBootInfo, PageSize, 0, U16, 1),
    QUENDA_FIELD(TBootInfo, FlashSize, 2, U32, 1),
};

constexpr FieldDesc kFirmwareBlock[] = {
    QUENDA_FIELD(TFirmwareBlock, Address, 0, U16, 1),
    QUENDA_FIELD(TFirmwareBlock, Data, 2, Bytes, 64),
};

// A table must cover its record exactly: fields in order, no overlap, no gap.
template <std::size_t N> constexpr bool coversExactly(const FieldDesc (&t)[N], std::size_t size) {
    std::size_t next = 0;
    for (const auto& f : t) {
        if (f.offset != next) return false;
        next += static_cast<std::size_t>(f.size());
    }
    return next == size;
}
static_assert(coversExactly(kDeviceId, sizeof(TDeviceId)));
static_assert(coversExactly(kInfo, sizeof(TInfo)));
static_assert(coversExactly(kConfig, sizeof(TConfig)));
static_assert(coversExactly(kScheduleRow, sizeof(TScheduleRow)));
static_assert(coversExactly(kExpert, sizeof(TExpert)));
static_assert(coversExactly(kExpertWeather, sizeof(TExpertWeather)));
static_assert(coversExactly(kChart, sizeof(TChart)));
static_assert(coversExactly(kHealth, sizeof(THealth)));
static_assert(coversExactly(kBootInfo, sizeof(TBootInfo)));
static_assert(coversExactly(kFirmwareBlock, sizeof(TFirmwareBlock)));

const std::array<RecordDesc, 10> kRecords = {{
    {RecordKind::DeviceId, "TDeviceId", sizeof(TDeviceId), kDeviceId},
    {RecordKind::Info, "TInfo", sizeof(TInfo), kInfo},
    {RecordKind::Config, "TConfig", sizeof(TConfig), kConfig},
    {RecordKind::ScheduleRow, "TScheduleRow", sizeof(TScheduleRow), kScheduleRow},
    {RecordKind::Expert, "TExpert", sizeof(TExpert), kExpert},
    {RecordKind::ExpertWeather, "TExpertWeather", sizeof(TExpertWeather), kExpertWeather},
    {RecordKind::Chart, "TChart", sizeof(TChart), kChart},
    {RecordKind::Health, "THealth", sizeof(THealth), kHealth},
    {RecordKind::BootInfo, "TBootInfo", sizeof(TBootInfo), kBootInfo},
    {RecordKind::FirmwareBlock, "TFirmwareBlock", sizeof(TFirmwareBlock), kFirmwareBlock},
}};

} // namespace

const RecordDesc& recordDesc(RecordKind kind) { return kRecords[static_cast<std::size_t>(kind)]; }

const FieldDesc* findField(RecordKind kind, std::string_view key) {
    for (const auto& f : recordDesc(kind).fields)
        if (f.key == key) return &f;
    return nullptr;
}

int64_t readField(const void* record, const FieldDesc& f, int index) {
    if (index < 0 || index >= f.count) return 0;
    const auto* p = static_cast<const uint8_t*>(record) + f.offset + index * f.width();
    uint64_t v = 0;
    for (int i = f.width() - 1; i >= 0; --i) v = (v << 8) | p[i];
    if (kindSigned(f.kind)) {
        const int bits = f.width() * 8;
        const uint64_t sign = uint64_t{1} << (bits - 1);
        return static_cast<int64_t>((v ^ sign)) - static_cast<int64_t>(sign);
    }
    return static_cast<int64_t>(v);
}

void writeField(void* record, const FieldDesc& f, int index, int64_t value) {
    if (index < 0 || index >= f.count) return;
    auto* p = static_cast<uint8_t*>(record) + f.offset + index * f.width();
    auto v = static_cast<uint64_t>(value);
    for (int i = 0; i < f.width(); ++i, v >>= 8) p[i] = static_cast<uint8_t>(v & 0xFF);
}

uint32_t healthCounter(const THealth& h, int i) {
    if (i < 0 || i >= 9) return 0;
    return uint32_t(h.Counter[i][0]) | uint32_t(h.Counter[i][1]) << 8 | uint32_t(h.Counter[i][2]) << 16;
}

} // namespace quenda
