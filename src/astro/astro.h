// Low-precision positional astronomy for one observer: Julian dates, sidereal time,
// sun and moon positions, moon phase, and rise, set, transit and twilight times.
//
// The sun is a circular-orbit model with a one-term equation of the centre, the moon
// carries its six largest periodic terms, and rise and set times are interpolated
// between two positions. That is good to about a minute of time and a tenth of a
// degree for dates between 1900 March 1 and 2100 February 28, which is all the
// controller's place-and-clock page and the day curve need.
//
// Angles are radians unless a name says hours or degrees. Every function is pure:
// nothing is kept between calls, nothing is allocated (name texts point into
// constant tables), and no floating-point exception or NaN is produced for sane
// inputs.
#pragma once

#include <string>
#include <string_view>

namespace quenda {

// One record for the sun, the moon and the observer; which fields mean what depends
// on the body (see the functions that fill them).
struct TBodyPosition {
    double EclLat = 0;          // ecliptic latitude; observer: geodetic latitude
    double EclLon = 0;          // ecliptic longitude in [0, 2pi); observer: longitude, east positive
    double RA = 0;              // right ascension in [0, 2pi) (moon with a place: topocentric)
    double Dec = 0;             // declination (moon with a place: topocentric)
    double Azimuth = 0;         // from north through east, [0, 2pi)
    double Altitude = 0;        // above the horizon
    double TopoDistance = 0;    // moon: km from the observer
    double TopoDec = 0;         // moon: topocentric declination
    double TopoRA = 0;          // moon: topocentric right ascension in [0, 2pi)
    double Distance = 0;        // km from the Earth's centre
    double X = 0, Y = 0, Z = 0; // observer: km, equatorial frame turned by the sidereal angle
    double MeanAnomaly = 0;     // sun: mean anomaly, not reduced
    double Parallax = 0;        // equatorial horizontal parallax (its sine)
    double Age = 0;             // moon: elongation from the sun, [0, 2pi)
    double Phase = 0;           // moon: illuminated fraction 0..1
    double ObserverRadius = 0;  // observer: km from the Earth's centre
    double AngularDiameter = 0;
    double GeoRA = 0, GeoDec = 0; // moon with a place: the geocentric RA and Dec
    std::string_view SignName;    // ecliptic sign of EclLon
    std::string_view PhaseName;   // moon: phase name
    bool Rising = false;          // east of the meridian
};

// Times in hours. The moon fills only the first four; a moon time of exactly -1 means
// no such event on that local day.
struct TRiseSet {
    double Rise = 0;
    double Set = 0;
    double Transit = 0;
    double LowerTransit = 0;
    double AstroDawn = 0;
    double AstroDusk = 0;
    double NauticalDawn = 0;
    double NauticalDusk = 0;
    double CivilDawn = 0;
    double CivilDusk = 0;
};

// Greenwich sidereal times of the four crossings of one position.
struct TSiderealCrossings {
    double Transit = 0;
    double LowerTransit = 0;
    double Rise = 0;
    double Set = 0;
};

namespace astro {
inline constexpr double Pi = 3.141592653589793238462643383279502884;
inline constexpr double Epoch1990 = 2447891.5; // 1990 January 0.0
inline constexpr double J2000 = 2451545;
inline constexpr double DeltaT = 65; // seconds, terrestrial minus universal time
inline constexpr double DeltaTDays = DeltaT / 86400;
inline constexpr double EarthRadius = 6378.137; // km, equatorial
inline constexpr double PolarRatio = 0.9966471893352525;
inline constexpr double Refraction = 0.009890199094634533;       // 34 arc minutes
inline constexpr double CivilAltitude = -0.10471975511965978;    // -6 degrees
inline constexpr double NauticalAltitude = -0.20943951023931956; // -12 degrees
inline constexpr double AstroAltitude = -0.3141592653589793;     // -18 degrees
inline constexpr double MissingTime = -1;                        // moon: no event that day
} // namespace astro

inline constexpr double Degrees(double rad) {
    return rad * (180.0 / astro::Pi);
}
inline constexpr double Radians(double deg) {
    return deg * (astro::Pi / 180.0);
}

// x - m*floor(x/m), in [0, m) for positive m.
double ModPos(double m, double x);

// Julian date at 0h UT; no Gregorian century correction (1900-03-01 .. 2100-02-28).
double JulianDay(int day, int month, int year);
// Greenwich sidereal time in hours [0, 24).
double SiderealTime(double jd);
// Universal time in hours since 0h of jd's day; not reduced to [0, 24).
double SiderealToUT(double gst, double jd);
// Local sidereal time in hours [0, 24).
double LocalSidereal(double lonRad, double gst);

void EclipticToEquatorial(TBodyPosition& body, double jd);
void EquatorialToHorizon(TBodyPosition& body, double lstRad, double latRad);
void TopocentricCorrection(TBodyPosition& body, const TBodyPosition& observer, double lstRad);
void SphericalToRect(TBodyPosition& record, double r, double lat, double lon);
void ObserverPosition(TBodyPosition& observer, double gstHours, double heightKm, double latRad,
                      double lonRad);
void SunPosition(TBodyPosition& sun, double lstRad, double latRad, double jd);
// sun must be computed for the same jd; observer is needed only when lstRad != 0
// (an angle of exactly zero stands for "no place": no topocentric step, no horizon).
void MoonPosition(const TBodyPosition& sun, const TBodyPosition& observer, TBodyPosition& moon, double lstRad,
                  double jd);

TSiderealCrossings CrossingTimes(const TBodyPosition& body, double altRad, double latRad, double lonRad);
double InterpolateCrossing(double intervalDays, double st2, double st1, double gst0);
// Rise, Set, Transit and LowerTransit in UT hours from jd0 (not reduced); body1 and
// body2 are positions at the start and end of an interval of intervalDays.
void RiseSetBetween(const TBodyPosition& body1, const TBodyPosition& body2, TRiseSet& result, double altRad,
                    double intervalDays, double latRad, double lonRad, double jd0);

// Sun events of jd's UT day in UT hours, twilight included.
void SunRiseSetUT(TRiseSet& result, double latRad, double lonRad, double deltaTSeconds, double jd);
// Moon events of jd's UT day in UT hours (Rise, Set, Transit, LowerTransit only).
void MoonRiseSetUT(TRiseSet& result, double latRad, double lonRad, double deltaTSeconds, double jd);
// All events of the local day in zone hours; zoneHours is whole hours east of UTC.
void SunRiseSet(TRiseSet& result, int zoneHours, double latRad, double lonRad, double deltaTSeconds,
                double jd);
void MoonRiseSet(TRiseSet& result, int zoneHours, double latRad, double lonRad, double deltaTSeconds,
                 double jd);

// "HH:MM"; "--:--" for negative (and non-finite) values; 23.999 gives "24:00".
std::string FormatHours(double hours);
// Ecliptic sign name of a longitude.
std::string_view ZodiacName(double lonRad);

// Phase index 0..8 of a moon age (new, waxing crescent, first quarter, waxing gibbous,
// full, waning gibbous, last quarter, waning crescent, new); -1 for a non-finite age.
int MoonPhaseIndex(double age);
// Name of a phase index; empty outside 0..8.
std::string_view MoonPhaseName(int index);

// A schedule line keeps the sun's altitude as its sine times 10000.
// Degrees of such a stored sine; NaN outside -10000..10000.
double StoredAltitudeDegrees(int storedSine);
// The stored sine of an altitude in degrees, before rounding.
double StoredAltitudeSine(double degrees);

} // namespace quenda
