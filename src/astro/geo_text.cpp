#include "astro/geo_text.h"

#include <cmath>
#include <cstdio>

namespace quenda {

namespace {

constexpr double HalfMinute = 0.008333333333333333; // hours
constexpr std::string_view DegreeSign = "\u00B0";

std::string Text(const GeoTextStyle& style, std::string_view key) {
    if (style.text) return style.text(key);
    return std::string(GeoEnglishText(key));
}

std::string Angle(double rad, const GeoTextStyle& style) {
    std::string s = FormatDecimal1(Degrees(rad), style.decimalSeparator);
    s += DegreeSign;
    return s;
}

// Appends "<sep><Key>: <value>".
void AppendField(std::string& s, std::string_view sep, const GeoTextStyle& style, std::string_view key,
                 const std::string& value) {
    s += sep;
    s += Text(style, key);
    s += ": ";
    s += value;
}

// "<Body>: Azimuth: a°, Altitude: h°"
std::string PositionPart(std::string_view bodyKey, const TBodyPosition& body, const GeoTextStyle& style) {
    std::string s = Text(style, bodyKey);
    AppendField(s, ": ", style, "Azimuth", Angle(body.Azimuth, style));
    AppendField(s, ", ", style, "Altitude", Angle(body.Altitude, style));
    return s;
}

void AppendRiseSet(std::string& s, const TRiseSet& events, const GeoTextStyle& style) {
    AppendField(s, ", ", style, "Rise", FormatHours(events.Rise));
    AppendField(s, ", ", style, "Set", FormatHours(events.Set));
}

} // namespace

GeoFigures ComputeGeo(const GeoMoment& m) {
    GeoFigures f;
    const double lat = Radians(m.latDeg);
    const double lon = Radians(m.lonDeg);
    f.jd0 = JulianDay(m.day, m.month, m.year);
    f.jd = f.jd0 + (m.hour - m.zoneHours + m.minute / 60.0) / 24;
    f.jdT = f.jd + astro::DeltaTDays;
    f.gst = SiderealTime(f.jd);
    f.lst = LocalSidereal(lon, f.gst);
    ObserverPosition(f.observer, f.gst, 0, lat, lon);
    SunPosition(f.sun, Radians(f.lst * 15), lat, f.jdT);
    MoonPosition(f.sun, f.observer, f.moon, Radians(f.lst * 15), f.jdT);
    SunRiseSet(f.sunEvents, m.zoneHours, lat, lon, astro::DeltaT, f.jd0);
    MoonRiseSet(f.moonEvents, m.zoneHours, lat, lon, astro::DeltaT, f.jd0);
    return f;
}

std::string_view GeoEnglishText(std::string_view key) {
    struct Entry {
        std::string_view key, text;
    };
    static constexpr Entry table[] = {
        {"Sun", "Sun"},     {"Moon", "Moon"}, {"Azimuth", "Azimuth"},         {"Altitude", "Alt"},
        {"Rise", "Rise"},   {"Set", "Set"},   {"DayLength", "Length of day"}, {"Hours", "hours"},
        {"Phase", "Phase"},
    };
    for (const Entry& e : table)
        if (e.key == key) return e.text;
    return key;
}

std::string FormatDecimal1(double value, std::string_view decimalSeparator) {
    if (!std::isfinite(value)) return std::isnan(value) ? "NaN" : (value > 0 ? "INF" : "-INF");
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.1f", value);
    std::string s = buf;
    if (s.size() >= 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
    if (s == "-0") s = "0";
    const auto dot = s.find('.');
    if (dot != std::string::npos) s.replace(dot, 1, decimalSeparator);
    return s;
}

bool RiseAndSetDiffer(const TRiseSet& events) {
    return std::fabs(events.Rise - events.Set) > HalfMinute;
}

double DayLength(const TRiseSet& sunEvents) {
    double len = sunEvents.Set - sunEvents.Rise;
    if (len < 0) len += 24;
    return len;
}

std::string GeoSunLine(const GeoFigures& f, const GeoTextStyle& style) {
    std::string s = PositionPart("Sun", f.sun, style);
    if (RiseAndSetDiffer(f.sunEvents)) {
        AppendRiseSet(s, f.sunEvents, style);
        AppendField(s, ", ", style, "DayLength", FormatHours(DayLength(f.sunEvents)));
        s += " ";
        s += Text(style, "Hours");
    }
    return s;
}

std::string GeoMoonLine(const GeoFigures& f, const GeoTextStyle& style) {
    std::string s = PositionPart("Moon", f.moon, style);
    if (RiseAndSetDiffer(f.moonEvents)) AppendRiseSet(s, f.moonEvents, style);
    AppendField(s, ", ", style, "Phase", FormatDecimal1(f.moon.Phase * 100, style.decimalSeparator));
    s += "%";
    return s;
}

std::string GeoText(const GeoFigures& f, const GeoTextStyle& style) {
    return GeoSunLine(f, style) + "\n" + GeoMoonLine(f, style) + "\n";
}

} // namespace quenda
