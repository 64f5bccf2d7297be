#include "astro/astro.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quenda {

namespace {

constexpr double Pi = astro::Pi;
constexpr double TwoPi = 2 * Pi;
constexpr double HalfPi = Pi / 2;

// Sun, mean elements at the 1990 epoch.
constexpr double SunDailyMotion = 0.017202791632524146; // 2 pi / 365.242191
constexpr double SunEpsilonG = 4.876507578297351;       // mean longitude at epoch
constexpr double SunVarpiG = 4.935239984568769;         // longitude of perigee
constexpr double SunEcc = 0.016713;
constexpr double SunR0 = 1.495985e8; // km
constexpr double SunTheta0 = 0.009304838934572329;

// Moon, mean elements at the 1990 epoch.
constexpr double MoonL0 = 5.556284436750021;
constexpr double MoonDailyMotion = 0.22997150421858628;
constexpr double MoonP0 = 0.6342598060246726;
constexpr double MoonPerigeeMotion = 0.0019443683452210149;
constexpr double MoonN0 = 5.559050068029439;
constexpr double MoonNodeMotion = 0.0009242199067718253;
constexpr double MoonIncl = 0.08980410151894616;
constexpr double MoonEcc = 0.0549;
constexpr double MoonA = 384401; // km
constexpr double MoonTheta0 = 0.009042550854582622;
constexpr double MoonPi0 = 0.016592845198710092;

constexpr double QuarterWindow = 0.2127729531723531; // half-width of the quarter names
constexpr double HoursPerRadian = 3.819718634205488; // 12 / pi
constexpr double TimeSecondsPerRadian = 13750.987083139757;

constexpr std::string_view SignNames[12] = {"Widder",  "Stier",     "Zwillinge",  "Krebs",
                                            "Löwe",    "Jungfrau",  "Waage",      "Skorpion",
                                            "Schütze", "Steinbock", "Wassermann", "Fische"};

constexpr std::string_view PhaseNames[9] = {"Neumond",          "Zunehmende Sichel", "Erstes Viertel",
                                            "Zunehmender Mond", "Vollmond",          "Abnehmender Mond",
                                            "Letztes Viertel",  "Abnehmende Sichel", "Neumond"};

double Frac(double x) {
    return x - std::trunc(x);
}

// Rounding can push a mathematically bounded argument a hair beyond +-1; those places
// must not turn into NaN.
double AsinClamped(double x) {
    return std::asin(std::clamp(x, -1.0, 1.0));
}
double AcosClamped(double x) {
    return std::acos(std::clamp(x, -1.0, 1.0));
}

// Julian date of 0h UT of jd's day.
double DayStart(double jd) {
    return std::floor(jd - 0.5) + 0.5;
}

// T0 of the sidereal-time series for the 0h UT of jd's day, hours (not reduced).
double SiderealT0(double jd) {
    const double jd0 = DayStart(jd);
    const double t = (jd0 - astro::J2000) / 36525;
    return (0.000025862 * t + 2400.051336) * t + 6.697374558;
}

// Time shift of a rise or set for the altitude correction x: Delta t in hours.
// Near the poles acos and asin leave their domain; the shift is then dropped.
double RefractionShift(double x, double decMean, double latRad) {
    if (x == 0) return 0;
    const double cosDec = std::cos(decMean);
    if (cosDec == 0) return 0;
    const double a = std::sin(latRad) / cosDec;
    if (!(a >= -1 && a <= 1)) return 0;
    const double psi = std::acos(a);
    const double sinPsi = std::sin(psi);
    if (sinPsi == 0) return 0;
    const double b = std::sin(x) / sinPsi;
    if (!(b >= -1 && b <= 1)) return 0;
    const double y = std::asin(b);
    const double dt = y * TimeSecondsPerRadian / cosDec / 3600;
    return std::isfinite(dt) ? dt : 0;
}

// All ten sun events of the UT day starting at jd0, in UT hours from jd0.
void SunEventsUT(TRiseSet& r, double latRad, double lonRad, double deltaTSeconds, double jd0) {
    TBodyPosition sun1, sun2;
    SunPosition(sun1, 0, 0, jd0 + deltaTSeconds / 86400);
    SunPosition(sun2, 0, 0, jd0 + 1 + deltaTSeconds / 86400);
    RiseSetBetween(sun1, sun2, r, 0, 1, latRad, lonRad, jd0);
    struct Twilight {
        double alt;
        double TRiseSet::*dawn;
        double TRiseSet::*dusk;
    };
    static constexpr Twilight twilights[3] = {
        {astro::CivilAltitude, &TRiseSet::CivilDawn, &TRiseSet::CivilDusk},
        {astro::NauticalAltitude, &TRiseSet::NauticalDawn, &TRiseSet::NauticalDusk},
        {astro::AstroAltitude, &TRiseSet::AstroDawn, &TRiseSet::AstroDusk},
    };
    for (const Twilight& t : twilights) {
        TRiseSet tw;
        RiseSetBetween(sun1, sun2, tw, t.alt, 1, latRad, lonRad, jd0);
        r.*t.dawn = tw.Rise;
        r.*t.dusk = tw.Set;
    }
}

void MoonEventsUT(TRiseSet& r, double latRad, double lonRad, double deltaTSeconds, double jd0) {
    const TBodyPosition noPlace;
    TBodyPosition sun1, sun2, moon1, moon2;
    const double t1 = jd0 + deltaTSeconds / 86400;
    const double t2 = jd0 + 0.5 + deltaTSeconds / 86400;
    SunPosition(sun1, 0, 0, t1);
    MoonPosition(sun1, noPlace, moon1, 0, t1);
    SunPosition(sun2, 0, 0, t2);
    MoonPosition(sun2, noPlace, moon2, 0, t2);
    RiseSetBetween(moon1, moon2, r, 0, 0.5, latRad, lonRad, jd0);
}

// The four events every body has first, then the sun's twilight times.
constexpr double TRiseSet::*EventFields[10] = {
    &TRiseSet::Transit,   &TRiseSet::LowerTransit, &TRiseSet::Rise,         &TRiseSet::Set,
    &TRiseSet::CivilDawn, &TRiseSet::CivilDusk,    &TRiseSet::NauticalDawn, &TRiseSet::NauticalDusk,
    &TRiseSet::AstroDawn, &TRiseSet::AstroDusk};

double* EventField(TRiseSet& r, int i) {
    return &(r.*EventFields[i]);
}

} // namespace

double ModPos(double m, double x) {
    double r = x - m * std::floor(x / m);
    // For huge |x| the product loses the remainder altogether; fmod is exact.
    if (!(r >= 0 && r < m) && std::isfinite(x)) {
        r = std::fmod(x, m);
        if (r < 0) r += m;
    }
    // A tiny negative x rounds to m itself; that is the same angle as 0.
    return r >= m ? 0.0 : r;
}

double JulianDay(int day, int month, int year) {
    // In double so that no int argument can overflow.
    double y = double(year) - 1900;
    double m = month;
    if (month <= 2) {
        y -= 1;
        m += 12;
    }
    m += 1;
    return day + std::trunc(30.6001 * m) + std::trunc(365.25 * y) + 2414956.5;
}

double SiderealTime(double jd) {
    const double ut = Frac(jd - 0.5) * 24;
    return ModPos(24, ut * 1.002737909 + SiderealT0(jd));
}

double SiderealToUT(double gst, double jd) {
    return (gst - ModPos(24, SiderealT0(jd))) * 0.9972695663;
}

double LocalSidereal(double lonRad, double gst) {
    return ModPos(24, gst + Degrees(lonRad) / 15);
}

void EclipticToEquatorial(TBodyPosition& body, double jd) {
    const double t = (jd - astro::J2000) / 36525;
    const double eps = Radians(23.439291666666666 + t * (t * (0.00181 * t - 0.0006) - 46.815) / 3600);
    const double lambda = body.EclLon;
    const double beta = body.EclLat;
    body.RA = ModPos(TwoPi, std::atan2(std::sin(lambda) * std::cos(eps) - std::tan(beta) * std::sin(eps),
                                       std::cos(lambda)));
    body.Dec =
        AsinClamped(std::sin(beta) * std::cos(eps) + std::cos(beta) * std::sin(eps) * std::sin(lambda));
}

void EquatorialToHorizon(TBodyPosition& body, double lstRad, double latRad) {
    const double h = lstRad - body.RA;
    const double dec = body.Dec;
    const double y = -std::cos(dec) * std::sin(h);
    body.Rising = y >= 0;
    const double x = std::sin(dec) * std::cos(latRad) - std::cos(dec) * std::cos(h) * std::sin(latRad);
    body.Azimuth = ModPos(TwoPi, std::atan2(y, x));
    body.Altitude =
        AsinClamped(std::sin(dec) * std::sin(latRad) + std::cos(dec) * std::cos(h) * std::cos(latRad));
}

void TopocentricCorrection(TBodyPosition& body, const TBodyPosition& observer, double lstRad) {
    const double dist = body.Distance;
    const double ra = body.RA;
    const double dec = body.Dec;
    const double lat = observer.EclLat;
    const double rho = observer.ObserverRadius;
    const double x = std::cos(ra) * dist * std::cos(dec) - rho * std::cos(lat) * std::cos(lstRad);
    const double y = std::sin(ra) * dist * std::cos(dec) - rho * std::cos(lat) * std::sin(lstRad);
    const double z = dist * std::sin(dec) - rho * std::sin(lat);
    body.TopoDistance = std::sqrt(x * x + y * y + z * z);
    body.TopoDec = body.TopoDistance > 0 ? AsinClamped(z / body.TopoDistance) : dec;
    body.TopoRA = ModPos(TwoPi, std::atan2(y, x));
}

void SphericalToRect(TBodyPosition& record, double r, double lat, double lon) {
    record.X = r * std::cos(lat) * std::cos(lon);
    record.Y = r * std::cos(lat) * std::sin(lon);
    record.Z = r * std::sin(lat);
}

void ObserverPosition(TBodyPosition& observer, double gstHours, double heightKm, double latRad,
                      double lonRad) {
    const double a = astro::EarthRadius;
    const double q = astro::PolarRatio;
    const double cosLat = std::cos(latRad);
    const double sinLat = std::sin(latRad);
    const double c = 1 / std::sqrt(cosLat * cosLat + q * q * sinLat * sinLat);
    const double r = a * c + heightKm;
    const double s = a * q * q * c + heightKm;
    const double rho = std::sqrt(r * r * cosLat * cosLat + s * s * sinLat * sinLat);
    double geocLat = rho > 0 ? AcosClamped(r * cosLat / rho) : latRad;
    if (latRad < 0) geocLat = -geocLat;
    SphericalToRect(observer, rho, geocLat, lonRad);
    const double theta = gstHours / 24 * TwoPi;
    const double x = observer.X;
    const double y = observer.Y;
    observer.X = x * std::cos(theta) - y * std::sin(theta);
    observer.Y = x * std::sin(theta) + y * std::cos(theta);
    observer.ObserverRadius = rho;
    observer.EclLat = latRad;
    observer.EclLon = lonRad;
}

void SunPosition(TBodyPosition& sun, double lstRad, double latRad, double jd) {
    const double d = jd - astro::Epoch1990;
    const double m = SunDailyMotion * d + SunEpsilonG - SunVarpiG;
    sun.MeanAnomaly = m;
    const double nu = m + 2 * SunEcc * std::sin(m);
    sun.EclLon = ModPos(TwoPi, nu + SunVarpiG);
    sun.EclLat = 0;
    const double r = (1 - SunEcc * SunEcc) / (1 + SunEcc * std::cos(nu));
    sun.AngularDiameter = SunTheta0 / r;
    sun.Distance = r * SunR0;
    sun.Parallax = astro::EarthRadius / sun.Distance;
    EclipticToEquatorial(sun, jd);
    EquatorialToHorizon(sun, lstRad, latRad);
    sun.SignName = ZodiacName(sun.EclLon);
}

void MoonPosition(const TBodyPosition& sun, const TBodyPosition& observer, TBodyPosition& moon, double lstRad,
                  double jd) {
    const double lambdaSun = sun.EclLon;
    const double ms = sun.MeanAnomaly;
    const double d = jd - astro::Epoch1990;
    const double l = MoonDailyMotion * d + MoonL0;
    const double mm = l - MoonPerigeeMotion * d - MoonP0;
    const double n = MoonN0 - MoonNodeMotion * d;
    const double ev = 0.022233749341155764 * std::sin(2 * (l - lambdaSun) - mm);
    const double ae = 0.0032428217502054645 * std::sin(ms);
    const double a3 = 0.006457718232379019 * std::sin(ms);
    const double mCorr = mm + ev - ae - a3;
    const double ec = 0.10975677534091541 * std::sin(mCorr);
    const double a4 = 0.0037350045992678655 * std::sin(2 * mCorr);
    const double l1 = l + ev + ec - ae + a4;
    const double v = 0.011489502465878671 * std::sin(2 * (l1 - lambdaSun));
    const double l2 = l1 + v;
    const double n1 = n - 0.0027925268031909274 * std::sin(ms);
    moon.EclLon = ModPos(TwoPi, std::atan2(std::sin(l2 - n1) * std::cos(MoonIncl), std::cos(l2 - n1)) + n1);
    moon.EclLat = AsinClamped(std::sin(l2 - n1) * std::sin(MoonIncl));
    EclipticToEquatorial(moon, jd);
    const double rho = (1 - MoonEcc * MoonEcc) / (1 + MoonEcc * std::cos(mCorr + ec));
    moon.AngularDiameter = MoonTheta0 / rho;
    moon.Parallax = MoonPi0 / rho;
    moon.Distance = rho * MoonA;
    if (lstRad != 0) {
        TopocentricCorrection(moon, observer, lstRad);
        moon.GeoRA = moon.RA;
        moon.GeoDec = moon.Dec;
        moon.RA = moon.TopoRA;
        moon.Dec = moon.TopoDec;
        EquatorialToHorizon(moon, lstRad, observer.EclLat);
    }
    moon.Age = ModPos(TwoPi, l2 - lambdaSun);
    moon.Phase = (1 - std::cos(moon.Age)) / 2;
    moon.PhaseName = MoonPhaseName(MoonPhaseIndex(moon.Age));
    moon.SignName = ZodiacName(moon.EclLon);
}

TSiderealCrossings CrossingTimes(const TBodyPosition& body, double altRad, double latRad, double lonRad) {
    const double ra = body.RA;
    const double dec = body.Dec;
    double c = (std::sin(altRad) - std::sin(dec) * std::sin(latRad)) / (std::cos(latRad) * std::cos(dec));
    // Beyond +-1 the body never sets (or never rises): rise and set fall onto a transit.
    if (c < -1) c = -1;
    if (c > 1) c = 1;
    const double h = std::acos(c);
    TSiderealCrossings s;
    s.Transit = ModPos(24, (ra - lonRad) * HoursPerRadian);
    s.LowerTransit = ModPos(24, (ra - lonRad) * HoursPerRadian + 12);
    s.Rise = ModPos(24, (ra - h - lonRad) * HoursPerRadian + 24);
    s.Set = ModPos(24, (ra + h - lonRad) * HoursPerRadian);
    return s;
}

double InterpolateCrossing(double intervalDays, double st2, double st1, double gst0) {
    return (24.07 * intervalDays * st1 - (st2 - st1) * gst0) / (24.07 * intervalDays + st1 - st2);
}

void RiseSetBetween(const TBodyPosition& body1, const TBodyPosition& body2, TRiseSet& result, double altRad,
                    double intervalDays, double latRad, double lonRad, double jd0) {
    // Vertical shift for refraction, semi-diameter and parallax: it belongs to the
    // visible rise and set of the upper limb. Twilight is defined by the centre's
    // geometric altitude and takes no shift.
    const double x = altRad == 0 ? body1.AngularDiameter / 2 - body1.Parallax + astro::Refraction : 0.0;

    const TSiderealCrossings c1 = CrossingTimes(body1, altRad, latRad, lonRad);
    const TSiderealCrossings c2 = CrossingTimes(body2, altRad, latRad, lonRad);
    double s1[4] = {c1.Transit, c1.LowerTransit, c1.Rise, c1.Set};
    double s2[4] = {c2.Transit, c2.LowerTransit, c2.Rise, c2.Set};
    for (int i = 0; i < 4; ++i)
        if (s1[i] > s2[i] && std::fabs(s1[i] - s2[i]) > 18) s2[i] += 24;

    // Take each event on the UT day of jd0, i.e. at a sidereal time from that day's
    // 0h on. The zone-time functions fetch events outside the local day from the
    // adjacent UT day, which only works when every result belongs to this UT day.
    const double gst0 = SiderealTime(jd0);
    for (int i = 0; i < 4; ++i) {
        if (s1[i] < gst0) {
            s1[i] += 24;
            s2[i] += 24;
        }
    }

    const double dt = RefractionShift(x, (body1.Dec + body2.Dec) / 2, latRad);

    result.Transit = SiderealToUT(InterpolateCrossing(intervalDays, s2[0], s1[0], gst0), jd0);
    result.LowerTransit = SiderealToUT(InterpolateCrossing(intervalDays, s2[1], s1[1], gst0), jd0);
    result.Rise = SiderealToUT(InterpolateCrossing(intervalDays, s2[2], s1[2], gst0) - dt, jd0);
    result.Set = SiderealToUT(InterpolateCrossing(intervalDays, s2[3], s1[3], gst0) + dt, jd0);
}

void SunRiseSetUT(TRiseSet& result, double latRad, double lonRad, double deltaTSeconds, double jd) {
    SunEventsUT(result, latRad, lonRad, deltaTSeconds, DayStart(jd));
}

void MoonRiseSetUT(TRiseSet& result, double latRad, double lonRad, double deltaTSeconds, double jd) {
    MoonEventsUT(result, latRad, lonRad, deltaTSeconds, DayStart(jd));
}

void SunRiseSet(TRiseSet& result, int zoneHours, double latRad, double lonRad, double deltaTSeconds,
                double jd) {
    const double m = zoneHours;
    const double jd0 = DayStart(jd);
    SunEventsUT(result, latRad, lonRad, deltaTSeconds, jd0);

    // An event past the end of the local day (zones east of UTC) belongs to the next
    // local day; this local day's one happened late on the previous UT day. West of
    // UTC an event before the local day's start is replaced by the next UT day's.
    auto outside = [m](double v) { return m >= 0 ? v >= 24 - m : v < -m; };
    bool any = false;
    for (int i = 0; i < 10; ++i)
        any = any || outside(*EventField(result, i));
    if (any) {
        TRiseSet other;
        SunEventsUT(other, latRad, lonRad, deltaTSeconds, m >= 0 ? jd0 - 1 : jd0 + 1);
        for (int i = 0; i < 10; ++i) {
            double& v = *EventField(result, i);
            if (!outside(v)) continue;
            // The neighbouring days' events, in hours from this day's 0h UT.
            const double w = *EventField(other, i);
            const double before = m >= 0 ? w - 24 : v;
            const double after = m >= 0 ? v : w + 24;
            if (after - before > 36)
                // A UT day spans only 24 sidereal hours, so an event in its last four
                // minutes is found on neither day; it lies half-way between the two.
                v = (before + after) / 2;
            else
                // Otherwise the adjacent day's event: inside the local day or, on the
                // rare day the event skips, the one just across local midnight.
                v = w;
        }
    }
    for (int i = 0; i < 10; ++i) {
        double& v = *EventField(result, i);
        v = ModPos(24, m + v);
    }
}

void MoonRiseSet(TRiseSet& result, int zoneHours, double latRad, double lonRad, double deltaTSeconds,
                 double jd) {
    const double m = zoneHours;
    const double jd0 = DayStart(jd);
    TRiseSet r;
    MoonEventsUT(r, latRad, lonRad, deltaTSeconds, jd0);

    // The moon rises about 50 minutes later each day, so an event outside the local
    // day is replaced by the adjacent UT day's event when that one falls inside the
    // local day, and otherwise marked missing.
    auto outside = [m](double v) { return m >= 0 ? (v >= 24 - m || v < -m) : v < -m; };
    bool any = false;
    for (int i = 0; i < 4; ++i)
        any = any || outside(*EventField(r, i));
    if (any) {
        TRiseSet other;
        MoonEventsUT(other, latRad, lonRad, deltaTSeconds, m >= 0 ? jd0 - 1 : jd0 + 1);
        for (int i = 0; i < 4; ++i) {
            double& v = *EventField(r, i);
            if (!outside(v)) continue;
            const double w = *EventField(other, i);
            v = (m >= 0 ? w >= 24 - m : w <= -m) ? w : astro::MissingTime;
        }
    }
    for (int i = 0; i < 4; ++i) {
        const double v = *EventField(r, i);
        *EventField(result, i) = v == astro::MissingTime ? v : ModPos(24, m + v);
    }
}

std::string FormatHours(double hours) {
    if (!(hours >= 0) || !std::isfinite(hours)) return "--:--";
    double h = std::trunc(hours);
    double minutes = (hours - h) * 60;
    if (minutes >= 59.5) {
        h += 1;
        minutes -= 60;
    }
    // Halves to even, as elsewhere; -0.5 thus becomes 0, never -1.
    minutes = std::nearbyint(minutes) + 0.0;
    char buf[400];
    std::snprintf(buf, sizeof buf, "%02.0f:%02.0f", h, minutes);
    return buf;
}

std::string_view ZodiacName(double lonRad) {
    const double index = std::floor(Degrees(lonRad) / 30);
    if (!std::isfinite(index)) return {};
    // Longitudes outside [0, 2pi) name the sign of the same direction.
    const int i = std::clamp(static_cast<int>(ModPos(12, index)), 0, 11);
    return SignNames[i];
}

int MoonPhaseIndex(double age) {
    if (!std::isfinite(age)) return -1;
    // An age outside [0, 2pi) is the same phase as its reduced value.
    if (age < 0 || age >= TwoPi) age = ModPos(TwoPi, age);
    const double q = ModPos(HalfPi, age);
    const double quarters = age / HalfPi;
    double index;
    if (q >= QuarterWindow && q <= HalfPi - QuarterWindow)
        index = 2 * std::floor(quarters) + 1; // crescent or gibbous
    else
        index = 2 * std::nearbyint(quarters); // new, quarter or full; halves to even
    return std::clamp(static_cast<int>(index), 0, 8);
}

std::string_view MoonPhaseName(int index) {
    if (index < 0 || index > 8) return {};
    return PhaseNames[index];
}

double StoredAltitudeDegrees(int storedSine) {
    return Degrees(std::asin(storedSine / 10000.0));
}

double StoredAltitudeSine(double degrees) {
    return std::sin(Radians(degrees)) * 10000.0;
}

} // namespace quenda
