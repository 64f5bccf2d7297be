#include "pages/time_zone_rules.h"

#include <QDateTime>

#include <algorithm>

namespace quenda {

int ruleDay(int month, int occurrence) {
    int last = 31;
    if (month == 4 || month == 6 || month == 9 || month == 11) last = 30;
    else if (month == 2) last = 28;
    return std::min(7 * occurrence, last);
}

namespace {
ZoneTransition transitionAt(const QTimeZone& zone, const QDateTime& utc) {
    // The hour counts in the time that the change ends, as the rules state it.
    const int before = zone.offsetFromUtc(utc.addSecs(-1));
    const QDateTime local = utc.toOffsetFromUtc(before);
    const QDate d = local.date();
    const int occurrence = d.day() + 7 > d.daysInMonth() ? 5 : (d.day() - 1) / 7 + 1;
    return {d.month(), ruleDay(d.month(), occurrence), local.time().hour(), d.dayOfWeek() % 7};
}
} // namespace

std::optional<ZoneRules> zoneRules(const QTimeZone& zone, int year) {
    if (!zone.isValid()) return std::nullopt;
    const QDateTime from(QDate(year, 1, 1), QTime(0, 0), Qt::UTC);
    const QDateTime to(QDate(year + 1, 1, 1), QTime(0, 0), Qt::UTC);
    ZoneRules r;
    r.bias = zone.standardTimeOffset(from) / 60;
    if (!zone.hasTransitions()) return r;
    for (const QTimeZone::OffsetData& t : zone.transitions(from, to)) {
        if (!t.atUtc.isValid()) continue;
        const bool daylight = t.daylightTimeOffset != 0;
        (daylight ? r.daylight : r.standard) = transitionAt(zone, t.atUtc);
    }
    // A zone that keeps one time all year has no rules to give.
    if (r.daylight.month == 0) r.standard = {};
    return r;
}

} // namespace quenda
