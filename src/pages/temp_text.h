// Temperatures travel in tenths of a degree Celsius; the user sees and types them in
// degrees Celsius or Fahrenheit, as bit 2 of the configuration's Flag chooses.
#pragma once

#include "link/device_codes.h"
#include "link/records.h"

#include <QString>
#include <cstdint>
#include <optional>

namespace quenda {

inline bool fahrenheitUnit(const TConfig& c) {
    return (c.Flag & Flag::Fahrenheit) != 0;
}
// The value that stands for "no measurement".
inline bool measured(int16_t v) {
    return v != kNoMeasurement;
}

// "°F" or "°C".
QString TempUnitText(bool fahrenheit);
inline QString TempUnitText(const TConfig& c) {
    return TempUnitText(fahrenheitUnit(c));
}

// Tenths of a degree Celsius as the user's unit with one decimal and the desktop's
// decimal separator, without the unit. The value is converted as it is: callers
// leave 0x7FFF out themselves.
QString TempText(int tenthsCelsius, bool fahrenheit);
inline QString TempText(int tenthsCelsius, const TConfig& c) {
    return TempText(tenthsCelsius, fahrenheitUnit(c));
}

// The inverse: a number in the user's unit back to tenths of a degree Celsius, to the
// nearest integer (ties to even). Nothing for text that is not a number. The result
// is not range-checked; callers cut it to their field.
std::optional<int64_t> ParseTemp(const QString& text, bool fahrenheit);
inline std::optional<int64_t> ParseTemp(const QString& text, const TConfig& c) {
    return ParseTemp(text, fahrenheitUnit(c));
}

} // namespace quenda
