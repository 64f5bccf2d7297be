#include "astro/utc_offset.h"

#include <QDateTime>

namespace quenda {

namespace {

int OffsetAtUtcSeconds(const QTimeZone& zone, qint64 utcSeconds) {
    return zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(utcSeconds, Qt::UTC));
}

} // namespace

int UtcOffsetAt(const QDate& date, const QTime& time) {
    return UtcOffsetAt(date, time, QTimeZone::systemTimeZone());
}

int UtcOffsetAt(const QDate& date, const QTime& time, const QTimeZone& zone) {
    if (!zone.isValid()) return 0;
    if (!date.isValid() || !time.isValid())
        return zone.standardTimeOffset(QDateTime::currentDateTimeUtc()) / 60;

    // The wall time read as if it were UTC; the true instant is that minus the offset.
    const qint64 wall = QDateTime(date, time, Qt::UTC).toSecsSinceEpoch();
    // Offsets a day either side bracket any single transition near the moment.
    const int before = OffsetAtUtcSeconds(zone, wall - 86400);
    const int after = OffsetAtUtcSeconds(zone, wall + 86400);
    const bool beforeFits = OffsetAtUtcSeconds(zone, wall - before) == before;
    const bool afterFits = OffsetAtUtcSeconds(zone, wall - after) == after;

    int offset;
    if (before == after)
        offset = beforeFits ? before : OffsetAtUtcSeconds(zone, wall - before);
    else if (beforeFits)
        offset = before; // also the first of two occurrences
    else if (afterFits)
        offset = after;
    else
        offset = after; // skipped wall time: the new rules already apply
    return offset / 60;
}

} // namespace quenda
