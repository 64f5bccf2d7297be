// Arbitrary bytes as a settings file: both imports, and an export onto the bytes as an
// existing file. Nothing may read or write outside a record, and the exported text
// must read back into exactly the records it was written from.
//
// Built twice: fuzz_settings runs the imports only; fuzz_settings_export also exports
// onto the bytes (over a hundred times the cost of an import) and reads the result back.
#include "files/settings_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

using namespace quenda;

namespace {

void prepare(DeviceState& s, int rows) {
    s.Info.RowCount = static_cast<uint8_t>(rows);
    s.resizeSchedule(rows);
}

[[maybe_unused]] bool sameRecords(const DeviceState& a, const DeviceState& b) {
    if (std::memcmp(&a.Config, &b.Config, sizeof a.Config) || std::memcmp(&a.Expert, &b.Expert, sizeof a.Expert) ||
        std::memcmp(&a.ExpertWeather, &b.ExpertWeather, sizeof a.ExpertWeather))
        return false;
    for (std::size_t i = 0; i < a.Schedule.size(); ++i)
        if (std::memcmp(&a.Schedule[i], &b.Schedule[i], sizeof(TScheduleRow))) return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    DeviceState imported;
    prepare(imported, 6);
    applyConfigurationText(imported, text);
    applyScheduleText(imported, text);

#ifdef QUENDA_FUZZ_EXPORT
    // Whatever the old file held, the new one gives back what was exported.
    const auto merged = mergeSettingsText(imported, text);
    if (!merged) return 0;
    DeviceState reread;
    prepare(reread, 6);
    applyConfigurationText(reread, *merged);
    applyScheduleText(reread, *merged);
    if (!sameRecords(imported, reread)) std::abort();
#endif
    return 0;
}
