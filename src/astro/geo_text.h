// The sun and moon figures of one place and local moment, and the two text lines that
// describe them. Shared by the place-and-clock page and the command-line almanac.
//
// No toolkit here: the window injects its text lookup and decimal separator through
// GeoTextStyle; without them the English texts and "." are used.
#pragma once

#include "astro/astro.h"

#include <functional>
#include <string>
#include <string_view>

namespace quenda {

// A place and a local moment as the device keeps them: degrees, calendar date and
// clock, and the zone in whole hours east of UTC.
struct GeoMoment {
    double latDeg = 0;
    double lonDeg = 0;
    int day = 1, month = 1, year = 2000;
    int hour = 0, minute = 0;
    int zoneHours = 0;
};

struct GeoFigures {
    double jd0 = 0; // Julian date of 0h UT of the date
    double jd = 0;  // the moment in UT
    double jdT = 0; // the moment in dynamical time (DeltaT added)
    double gst = 0; // Greenwich sidereal time, hours
    double lst = 0; // local sidereal time, hours
    TBodyPosition observer, sun, moon;
    TRiseSet sunEvents, moonEvents;
};

// Everything the page shows for one place and moment.
GeoFigures ComputeGeo(const GeoMoment& moment);

// Whole hours of a UTC offset in minutes, the remainder dropped (+5:30 gives +5).
inline int ZoneHoursFromMinutes(int offsetMinutes) {
    return offsetMinutes / 60;
}

struct GeoTextStyle {
    // Interface text of a key ("Sun", "Azimuth", "Altitude", "Rise", "Set", "DayLength",
    // "Hours", "Moon", "Phase"); empty: the English texts.
    std::function<std::string(std::string_view key)> text;
    std::string decimalSeparator = ".";
};

// English text of one of the keys above; the key itself for any other.
std::string_view GeoEnglishText(std::string_view key);

// A number with at most one decimal ("0.#"): 12.8, 12, -3.1; never "-0".
std::string FormatDecimal1(double value, std::string_view decimalSeparator = ".");

// True when rise and set lie more than 30 seconds apart, i.e. both are worth showing.
bool RiseAndSetDiffer(const TRiseSet& events);
// Set minus rise, plus 24 when negative.
double DayLength(const TRiseSet& sunEvents);

// "Sun: Azimuth: 231.4°, Altitude: 12.8°, Rise: 07:52, Set: 16:31, Length of day: 08:39 hours"
std::string GeoSunLine(const GeoFigures& f, const GeoTextStyle& style = {});
// "Moon: Azimuth: 75.2°, Altitude: -3.1°, Rise: 15:10, Set: 06:02, Phase: 87.3%"
std::string GeoMoonLine(const GeoFigures& f, const GeoTextStyle& style = {});
// Both lines, each followed by a line break ("\n").
std::string GeoText(const GeoFigures& f, const GeoTextStyle& style = {});

} // namespace quenda
