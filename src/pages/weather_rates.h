// Clouds and thunderstorms as the device runs them: per tenth of a second, a chance
// that one starts and a chance that a running one ends. The user sets an average
// count per day (clouds) or week (thunderstorms) and an average duration; these
// turn one into the other. Cloud chances are in units of 2^-19, thunderstorm chances
// in units of 2^-23; every division truncates, products are formed in 64 bits.
#pragma once

#include <cstdint>
#include <optional>

namespace quenda {

// The end chance the device is sent for a duration of 0 (which the track bars never give).
inline constexpr uint16_t kNoDuration = 0xFFFF;

struct WeatherRates {
    uint16_t start = 0; // CloudP or StormP
    uint16_t end = 0;   // CloudD or StormD
};

// From the clouds' count per day and duration in seconds.
WeatherRates CloudRates(int64_t perDay, int64_t seconds);
// From the thunderstorms' count per week and duration in minutes.
WeatherRates StormRates(int64_t perWeek, int64_t minutes);

// Back, as the track bars show a received record. A duration of an end chance of 0
// is unknown (the bar stays where it was).
int64_t CloudsPerDay(uint16_t cloudP);
std::optional<int64_t> CloudSeconds(uint16_t cloudD);
int64_t StormsPerWeek(uint16_t stormP);
std::optional<int64_t> StormMinutes(uint16_t stormD);

} // namespace quenda
