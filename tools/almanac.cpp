// almanac: sun and moon figures for a place, day by day, as the place-and-clock page
// shows them, plus twilight, sidereal time and the moon's phase name. Text or JSON.

#include "astro/astro.h"
#include "astro/geo_text.h"
#include "astro/utc_offset.h"

#include <quenda_version.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace quenda;

namespace {

// The day formula is exact only in this span.
const QDate FirstDate(1900, 3, 1);
const QDate LastDate(2100, 2, 28);
constexpr qint64 MaxDays = 3660;
// Days times times of day: one entry an hour over the longest range.
constexpr qint64 MaxEntries = MaxDays * 24;

struct Options {
    double lat = 0, lon = 0;
    std::optional<int> zone; // empty: the system's rules at each moment
    QDate from, to;
    std::vector<QTime> times;
    bool json = false;
};

class UsageError {
public:
    explicit UsageError(QString m) : message(std::move(m)) {}
    QString message;
};

// Degrees with an optional hemisphere letter: "50.1", "-33.9", "33.9S", "8.5e" (east).
double ParseAngle(const QString& text, const char* what, double limit, char pos, char neg) {
    QString s = text.trimmed();
    double sign = 1;
    if (!s.isEmpty()) {
        const QChar last = s.back().toUpper();
        if (last == QLatin1Char(pos) || last == QLatin1Char(neg)) {
            if (last == QLatin1Char(neg)) sign = -1;
            s.chop(1);
            if (s.startsWith(QLatin1Char('-')) || s.startsWith(QLatin1Char('+')))
                throw UsageError(QStringLiteral("%1 \"%2\": use either a sign or a hemisphere letter")
                                     .arg(QLatin1String(what), text));
        }
    }
    bool ok = false;
    const double v = s.toDouble(&ok) * sign;
    if (!ok || !std::isfinite(v))
        throw UsageError(QStringLiteral("%1 \"%2\" is not a number").arg(QLatin1String(what), text));
    if (std::fabs(v) > limit)
        throw UsageError(QStringLiteral("%1 %2 is out of range (-%3 .. %3 degrees)")
                             .arg(QLatin1String(what), text)
                             .arg(limit));
    return v;
}

QDate ParseDate(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})$"));
    const auto m = form.match(text.trimmed());
    if (!m.hasMatch())
        throw UsageError(QStringLiteral("date \"%1\" is not of the form YYYY-MM-DD").arg(text));
    const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!d.isValid()) throw UsageError(QStringLiteral("date %1 does not exist").arg(text));
    if (d < FirstDate || d > LastDate)
        throw UsageError(QStringLiteral("date %1 is outside %2 .. %3")
                             .arg(text, FirstDate.toString(Qt::ISODate), LastDate.toString(Qt::ISODate)));
    return d;
}

QTime ParseTime(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^(\\d{1,2}):(\\d{2})$"));
    const auto m = form.match(text.trimmed());
    if (!m.hasMatch()) throw UsageError(QStringLiteral("time \"%1\" is not of the form HH:MM").arg(text));
    const QTime t(m.captured(1).toInt(), m.captured(2).toInt());
    if (!t.isValid()) throw UsageError(QStringLiteral("time %1 does not exist").arg(text));
    return t;
}

std::optional<int> ParseZone(const QString& text) {
    const QString s = text.trimmed();
    if (s.compare(QLatin1String("system"), Qt::CaseInsensitive) == 0) return std::nullopt;
    static const QRegularExpression form(QStringLiteral("^[+-]?\\d{1,2}$"));
    if (!form.match(s).hasMatch())
        throw UsageError(
            QStringLiteral("zone \"%1\" is not whole hours east of UTC or \"system\"").arg(text));
    const int z = s.toInt();
    if (z < -12 || z > 14) throw UsageError(QStringLiteral("zone %1 is out of range (-12 .. +14)").arg(text));
    return z;
}

QString ClockText(double hours, bool seconds) {
    if (!std::isfinite(hours) || hours < 0) return QStringLiteral("--:--");
    const qint64 total = std::llround(hours * 3600);
    const int h = int(total / 3600 % 24), m = int(total / 60 % 60), s = int(total % 60);
    return seconds ? QStringLiteral("%1:%2:%3")
                         .arg(h, 2, 10, QLatin1Char('0'))
                         .arg(m, 2, 10, QLatin1Char('0'))
                         .arg(s, 2, 10, QLatin1Char('0'))
                   : QString::fromStdString(FormatHours(hours));
}

QString ZoneText(int zone) {
    return QStringLiteral("UTC%1%2").arg(zone < 0 ? '-' : '+').arg(std::abs(zone));
}

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QJsonValue EventValue(double hours) {
    if (hours == astro::MissingTime || !std::isfinite(hours)) return QJsonValue(QJsonValue::Null);
    return hours;
}

// What sun and moon have alike: the position and whether rise and set are shown.
QJsonObject BodyJson(const TBodyPosition& b, const TRiseSet& e) {
    QJsonObject o;
    o[QStringLiteral("azimuthDeg")] = Degrees(b.Azimuth);
    o[QStringLiteral("altitudeDeg")] = Degrees(b.Altitude);
    o[QStringLiteral("rightAscensionDeg")] = Degrees(b.RA);
    o[QStringLiteral("declinationDeg")] = Degrees(b.Dec);
    o[QStringLiteral("eclipticLongitudeDeg")] = Degrees(b.EclLon);
    o[QStringLiteral("distanceKm")] = b.Distance;
    o[QStringLiteral("angularDiameterDeg")] = Degrees(b.AngularDiameter);
    o[QStringLiteral("sign")] = Utf8(b.SignName);
    o[QStringLiteral("riseAndSet")] = RiseAndSetDiffer(e);
    return o;
}

QJsonObject SunJson(const GeoFigures& f) {
    const TRiseSet& e = f.sunEvents;
    QJsonObject o = BodyJson(f.sun, e);
    o[QStringLiteral("rise")] = e.Rise;
    o[QStringLiteral("set")] = e.Set;
    o[QStringLiteral("dayLength")] = DayLength(e);
    o[QStringLiteral("transit")] = e.Transit;
    o[QStringLiteral("lowerTransit")] = e.LowerTransit;
    o[QStringLiteral("civilDawn")] = e.CivilDawn;
    o[QStringLiteral("civilDusk")] = e.CivilDusk;
    o[QStringLiteral("nauticalDawn")] = e.NauticalDawn;
    o[QStringLiteral("nauticalDusk")] = e.NauticalDusk;
    o[QStringLiteral("astronomicalDawn")] = e.AstroDawn;
    o[QStringLiteral("astronomicalDusk")] = e.AstroDusk;
    return o;
}

QJsonObject MoonJson(const GeoFigures& f) {
    const TBodyPosition& m = f.moon;
    const TRiseSet& e = f.moonEvents;
    QJsonObject o = BodyJson(m, e);
    o[QStringLiteral("geocentricRightAscensionDeg")] = Degrees(m.GeoRA);
    o[QStringLiteral("geocentricDeclinationDeg")] = Degrees(m.GeoDec);
    o[QStringLiteral("eclipticLatitudeDeg")] = Degrees(m.EclLat);
    o[QStringLiteral("topocentricDistanceKm")] = m.TopoDistance;
    o[QStringLiteral("ageDeg")] = Degrees(m.Age);
    o[QStringLiteral("illuminated")] = m.Phase;
    o[QStringLiteral("phaseIndex")] = MoonPhaseIndex(m.Age);
    o[QStringLiteral("phaseName")] = Utf8(m.PhaseName);
    o[QStringLiteral("rise")] = EventValue(e.Rise);
    o[QStringLiteral("set")] = EventValue(e.Set);
    o[QStringLiteral("transit")] = EventValue(e.Transit);
    o[QStringLiteral("lowerTransit")] = EventValue(e.LowerTransit);
    return o;
}

void PrintText(const Options& opt, const QDate& date, const QTime& time, int zone, const GeoFigures& f) {
    const TRiseSet& s = f.sunEvents;
    const TRiseSet& m = f.moonEvents;
    auto hm = [](double h) { return ClockText(h, false); };
    QString out;
    out += QStringLiteral("%1 %2 %3, latitude %4, longitude %5\n")
               .arg(date.toString(Qt::ISODate), time.toString(QStringLiteral("HH:mm")), ZoneText(zone),
                    QString::fromStdString(FormatDecimal1(opt.lat)),
                    QString::fromStdString(FormatDecimal1(opt.lon)));
    out += QString::fromStdString(GeoText(f));
    out += QStringLiteral("Sun transit: %1, lower transit: %2, sign: %3\n")
               .arg(hm(s.Transit), hm(s.LowerTransit), Utf8(f.sun.SignName));
    out += QStringLiteral("Twilight: civil %1 - %2, nautical %3 - %4, astronomical %5 - %6\n")
               .arg(hm(s.CivilDawn), hm(s.CivilDusk), hm(s.NauticalDawn), hm(s.NauticalDusk), hm(s.AstroDawn),
                    hm(s.AstroDusk));
    out += QStringLiteral("Moon transit: %1, lower transit: %2, sign: %3\n")
               .arg(hm(m.Transit), hm(m.LowerTransit), Utf8(f.moon.SignName));
    out += QStringLiteral("Moon phase: %1, age %2\u00B0\n")
               .arg(Utf8(f.moon.PhaseName), QString::fromStdString(FormatDecimal1(Degrees(f.moon.Age))));
    out += QStringLiteral("Sidereal time: Greenwich %1, local %2\n\n")
               .arg(ClockText(f.gst, true), ClockText(f.lst, true));
    const QByteArray bytes = out.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

QJsonObject EntryJson(const Options& opt, const QDate& date, const QTime& time, int zone,
                      const GeoFigures& f) {
    QJsonObject o;
    o[QStringLiteral("date")] = date.toString(Qt::ISODate);
    o[QStringLiteral("time")] = time.toString(QStringLiteral("HH:mm"));
    o[QStringLiteral("zoneHours")] = zone;
    o[QStringLiteral("latitudeDeg")] = opt.lat;
    o[QStringLiteral("longitudeDeg")] = opt.lon;
    o[QStringLiteral("julianDay0h")] = f.jd0;
    o[QStringLiteral("julianDay")] = f.jd;
    o[QStringLiteral("greenwichSiderealHours")] = f.gst;
    o[QStringLiteral("localSiderealHours")] = f.lst;
    o[QStringLiteral("sun")] = SunJson(f);
    o[QStringLiteral("moon")] = MoonJson(f);
    o[QStringLiteral("sunLine")] = QString::fromStdString(GeoSunLine(f));
    o[QStringLiteral("moonLine")] = QString::fromStdString(GeoMoonLine(f));
    return o;
}

Options ParseOptions(QCommandLineParser& p, const QStringList& args) {
    const QCommandLineOption lat(QStringLiteral("lat"),
                                 QStringLiteral("Latitude in degrees, north positive (or 50.1N, 33.9S)."),
                                 QStringLiteral("deg"));
    const QCommandLineOption lon(QStringLiteral("lon"),
                                 QStringLiteral("Longitude in degrees, east positive (or 8.5E, 118.2W)."),
                                 QStringLiteral("deg"));
    const QCommandLineOption zone(
        QStringLiteral("zone"),
        QStringLiteral("Zone in whole hours east of UTC (-12..14), or \"system\" for the "
                       "system's time-zone rules at each moment (default: system)."),
        QStringLiteral("hours"), QStringLiteral("system"));
    const QCommandLineOption date(QStringLiteral("date"),
                                  QStringLiteral("Local date YYYY-MM-DD (default: today)."),
                                  QStringLiteral("date"));
    const QCommandLineOption to(QStringLiteral("to"),
                                QStringLiteral("Last date of a range, YYYY-MM-DD (at most 3660 days)."),
                                QStringLiteral("date"));
    const QCommandLineOption time(QStringLiteral("time"),
                                  QStringLiteral("Local time of day HH:MM for the positions; may be repeated "
                                                 "(default: 12:00)."),
                                  QStringLiteral("HH:MM"));
    const QCommandLineOption json(
        QStringLiteral("json"), QStringLiteral("Print JSON: one object per day and time, numbers unrounded, "
                                               "times in hours, a missing moon event as null."));
    p.setApplicationDescription(
        QStringLiteral("Sun and moon for a place: azimuth, altitude, rise, set, day length, twilight, "
                       "sidereal time and the moon's phase.\nExample: almanac --lat 50.1 --lon 8.5 --zone 1 "
                       "--date 2026-12-08"));
    p.addHelpOption();
    p.addVersionOption();
    p.addOptions({lat, lon, zone, date, to, time, json});
    if (!p.parse(args)) throw UsageError(p.errorText());
    if (p.isSet(QStringLiteral("help")) || p.isSet(QStringLiteral("version"))) return {};
    if (!p.positionalArguments().isEmpty())
        throw UsageError(QStringLiteral("unexpected argument \"%1\"").arg(p.positionalArguments().first()));
    for (const auto* single : {&lat, &lon, &zone, &date, &to})
        if (p.values(*single).size() > 1)
            throw UsageError(QStringLiteral("--%1 given more than once").arg(single->names().first()));
    if (!p.isSet(lat) || !p.isSet(lon)) throw UsageError(QStringLiteral("--lat and --lon are required"));

    Options o;
    o.lat = ParseAngle(p.value(lat), "latitude", 90, 'N', 'S');
    o.lon = ParseAngle(p.value(lon), "longitude", 180, 'E', 'W');
    o.zone = ParseZone(p.value(zone));
    o.from = p.isSet(date) ? ParseDate(p.value(date)) : QDate::currentDate();
    o.to = p.isSet(to) ? ParseDate(p.value(to)) : o.from;
    if (o.to < o.from) throw UsageError(QStringLiteral("--to lies before --date"));
    if (o.from.daysTo(o.to) >= MaxDays)
        throw UsageError(QStringLiteral("date range longer than %1 days").arg(MaxDays));
    for (const QString& t : p.values(time)) {
        const QTime parsed = ParseTime(t);
        if (std::find(o.times.begin(), o.times.end(), parsed) == o.times.end()) o.times.push_back(parsed);
    }
    if (o.times.empty()) o.times.emplace_back(12, 0);
    const qint64 entries = (o.from.daysTo(o.to) + 1) * qint64(o.times.size());
    if (entries > MaxEntries)
        throw UsageError(QStringLiteral("%1 days times %2 times of day is more than %3 entries")
                             .arg(QString::number(o.from.daysTo(o.to) + 1), QString::number(o.times.size()),
                                  QString::number(MaxEntries)));
    o.json = p.isSet(json);
    return o;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("almanac"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUENDA_VERSION));
    QCommandLineParser parser;
    Options opt;
    try {
        opt = ParseOptions(parser, QCoreApplication::arguments());
    } catch (const UsageError& e) {
        std::fprintf(stderr, "almanac: %s\nTry 'almanac --help'.\n", qPrintable(e.message));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("almanac %s\n", QUENDA_VERSION);
        return 0;
    }

    // Written as it goes: a long range must not be held in memory.
    bool first = true;
    if (opt.json) std::fputs("[\n", stdout);
    for (QDate d = opt.from; d <= opt.to; d = d.addDays(1)) {
        for (const QTime& t : opt.times) {
            const int zone = opt.zone ? *opt.zone : ZoneHoursFromMinutes(UtcOffsetAt(d, t));
            GeoMoment m;
            m.latDeg = opt.lat;
            m.lonDeg = opt.lon;
            m.day = d.day();
            m.month = d.month();
            m.year = d.year();
            m.hour = t.hour();
            m.minute = t.minute();
            m.zoneHours = zone;
            const GeoFigures f = ComputeGeo(m);
            if (opt.json) {
                QByteArray bytes = QJsonDocument(EntryJson(opt, d, t, zone, f)).toJson(QJsonDocument::Indented);
                if (bytes.endsWith('\n')) bytes.chop(1);
                if (!first) std::fputs(",\n", stdout);
                first = false;
                std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
            } else
                PrintText(opt, d, t, zone, f);
        }
    }
    if (opt.json) std::fputs("\n]\n", stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
