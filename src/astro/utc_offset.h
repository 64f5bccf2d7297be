// Offset of local (wall-clock) time from UTC under the system's time-zone rules.
#pragma once

#include <QDate>
#include <QTime>
#include <QTimeZone>

namespace quenda {

// Minutes east of UTC that apply at a local date and time of the system's zone.
// A wall time skipped by a switch to daylight time counts as daylight time, a wall
// time that occurs twice counts as the first (daylight) occurrence. An invalid date
// or time gives the zone's standard offset.
int UtcOffsetAt(const QDate& date, const QTime& time);
// The same for a given zone.
int UtcOffsetAt(const QDate& date, const QTime& time, const QTimeZone& zone);

} // namespace quenda
