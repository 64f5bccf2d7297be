// A computer's time-zone rules in the device's terms: the bias (minutes east of UTC
// in standard time) and, for the starts of standard and daylight time, month, day,
// local hour and weekday. The day is the last one of the month on which that
// occurrence of the weekday can fall (the last occurrence gives the month's last day).
#pragma once

#include <QTimeZone>
#include <optional>

namespace quenda {

struct ZoneTransition {
    int month = 0; // 0: the zone has no daylight saving
    int day = 0;
    int hour = 0;      // local time before the change
    int dayOfWeek = 0; // 0 = Sunday
};

struct ZoneRules {
    int bias = 0; // minutes east of UTC in standard time
    ZoneTransition standard;
    ZoneTransition daylight;
};

// Reads the transitions of `year`; nothing for an invalid zone.
std::optional<ZoneRules> zoneRules(const QTimeZone& zone, int year);

// The device's day for the occurrence (1..5, 5 = last) of a weekday in `month`.
int ruleDay(int month, int occurrence);

} // namespace quenda
