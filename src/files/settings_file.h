// Settings files: the device's configuration records and schedule as INI text.
//
// One export writes everything; two imports read back either the configuration
// records or the schedule lines. Everything runs on the window's thread: records are
// read and written without StateLock, and nothing here raises a request.
#pragma once

#include "link/device_state.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quenda {

// What a file operation did; `error` says where it failed (path and cause).
struct FileResult {
    bool ok = false;
    QString error;
};

// Files beyond this size are not read (and not overwritten by an export).
inline constexpr qint64 kMaxSettingsFileBytes = 1 << 20;

// Writes every section from the records and the schedule lines held. An existing
// file keeps its sections, keys and their order; missing ones are appended. The new
// text goes to a temporary file in the same folder that replaces the old one only
// once complete, so a failure leaves the old file as it was.
FileResult WriteSettingsFile(const DeviceState& state, const QString& path);

// `data` into a temporary file beside `path` that then replaces it.
FileResult WriteFileAtomically(const QString& path, const QByteArray& data);

// The configuration sections into Config, Expert and ExpertWeather; schedule
// sections are ignored. Only keys holding a decimal integer change their field.
FileResult ImportConfiguration(DeviceState& state, const QString& path);
// Each schedule line held now from its section; sections beyond them are ignored.
FileResult ImportSchedule(DeviceState& state, const QString& path);

// Whether importing the file would change the configuration records or a schedule
// line held now: the device no longer holds what the file keeps.
struct CompareResult : FileResult {
    bool differs = false;
};
CompareResult CompareWithSettingsFile(const DeviceState& state, const QString& path);

// ---- The same on text (what the file functions use) ----

// `existing` updated with the records (CR LF line ends); nullopt when it cannot be parsed.
std::optional<std::string> mergeSettingsText(const DeviceState& state, std::string_view existing);
// Each returns the number of fields changed from the text.
int applyConfigurationText(DeviceState& state, std::string_view text);
int applyScheduleText(DeviceState& state, std::string_view text);

// A decimal integer with an optional sign and surrounding blanks, as 64 low bits;
// nullopt for anything else, including magnitudes beyond 64 bits.
std::optional<int64_t> parseIniInteger(std::string_view text);

} // namespace quenda
