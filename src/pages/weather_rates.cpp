#include "pages/weather_rates.h"

#include <algorithm>

namespace quenda {

namespace {
constexpr int64_t kTicksPerDay = 864000; // tenths of a second
constexpr int64_t kTicksPerWeek = 7 * kTicksPerDay;
constexpr int64_t kCloudUnit = int64_t(1) << 19;
constexpr int64_t kStormUnit = int64_t(1) << 23;

// A chance outside the field saturates instead of wrapping into a small one.
uint16_t field(int64_t v) {
    return uint16_t(std::clamp<int64_t>(v, 0, 0xFFFF));
}
} // namespace

WeatherRates CloudRates(int64_t perDay, int64_t seconds) {
    return {field(perDay * kCloudUnit / kTicksPerDay),
            seconds > 0 ? field(kCloudUnit / seconds / 10) : kNoDuration};
}

WeatherRates StormRates(int64_t perWeek, int64_t minutes) {
    return {field(perWeek * kStormUnit / kTicksPerDay / 7),
            minutes > 0 ? field(kStormUnit / minutes / 10 / 60) : kNoDuration};
}

int64_t CloudsPerDay(uint16_t cloudP) {
    return cloudP * kTicksPerDay / kCloudUnit;
}

std::optional<int64_t> CloudSeconds(uint16_t cloudD) {
    if (cloudD == 0) return std::nullopt;
    return kCloudUnit / cloudD / 10;
}

int64_t StormsPerWeek(uint16_t stormP) {
    return stormP * kTicksPerWeek / kStormUnit;
}

std::optional<int64_t> StormMinutes(uint16_t stormD) {
    if (stormD == 0) return std::nullopt;
    return kStormUnit / stormD / 600;
}

} // namespace quenda
