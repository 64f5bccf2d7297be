#include "files/settings_file.h"

#include "files/ini_text.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace quenda {
namespace {

// One INI key: the record field it stands for, and the element for arrays.
struct IniField {
    std::string key;
    RecordKind record;
    const FieldDesc* field;
    int index;
};
struct IniSection {
    const char* name;
    std::vector<IniField> fields;
};

struct FieldRef {
    RecordKind record;
    std::string_view name;
};

// Adds a group of fields; arrays in one group interleave by channel (n of each, then n + 1).
void addGroup(std::vector<IniField>& out, std::initializer_list<FieldRef> group) {
    int n = 1;
    for (const auto& r : group) n = std::max<int>(n, findField(r.record, r.name)->count);
    for (int i = 0; i < n; ++i)
        for (const auto& r : group) {
            const FieldDesc* f = findField(r.record, r.name);
            if (i >= f->count) continue;
            std::string key(f->key);
            if (f->count > 1) key += std::to_string(i);
            out.push_back({std::move(key), r.record, f, i});
        }
}

constexpr auto C = RecordKind::Config;
constexpr auto E = RecordKind::Expert;
constexpr auto W = RecordKind::ExpertWeather;

// The configuration sections, keys in the order a new file gets them.
const std::vector<IniSection>& configSections() {
    static const std::vector<IniSection> sections = [] {
        std::vector<IniSection> s(5);
        s[0].name = "Config";
        addGroup(s[0].fields, {{C, "Mode"},           {C, "Flag"},          {C, "FanLow"},         {C, "FanHigh"},
                               {E, "FanOff"},         {E, "FanMode"},       {E, "TempWaterLow"},   {E, "TempWaterHigh"},
                               {C, "LCDBLMin"},       {C, "LCDBLMax"},      {C, "TimeLapse"},      {C, "Lat"},
                               {C, "Lon"},            {E, "JMPMode"},       {E, "TempCoolLow"},    {E, "TempCoolHigh"},
                               {E, "TempHeatLow"},    {E, "TempHeatHigh"},  {E, "ChartMode"},      {E, "ChartInterval"},
                               {E, "ChartScale"},     {E, "PWMPrescaler"},  {E, "TWIBitrate"},     {E, "RandomInit"},
                               {E, "LCDBLNight"},     {E, "Language"},      {E, "TempOffset"},     {E, "CloudTempWater"},
                               {E, "CloudTempBoard"}, {E, "BalanceSumRamp"}});
        s[1].name = "Weather";
        addGroup(s[1].fields, {{C, "CloudP"}, {C, "CloudD"}, {C, "StormP"}, {C, "StormD"}, {W, "CloudStep"},
                               {W, "StormStep"}, {W, "CloudAlpha"}, {W, "StormAlpha"}, {W, "LightningP"}});
        addGroup(s[1].fields, {{W, "Balance"}, {W, "MoonColor16"}, {W, "WeatherDelay"}, {W, "LightningMask"}});
        addGroup(s[1].fields, {{W, "BalanceSum"}});
        s[2].name = "Names";
        addGroup(s[2].fields, {{C, "ColorName"}});
        s[3].name = "RC5";
        addGroup(s[3].fields, {{E, "Up"}, {E, "Down"}, {E, "Left"}, {E, "Right"}, {E, "Previous"}, {E, "Next"},
                               {E, "Settings"}, {E, "Step"}});
        s[4].name = "TimeZone";
        addGroup(s[4].fields, {{E, "StandardMonth"}, {E, "StandardDay"}, {E, "StandardHour"},
                               {E, "StandardDayOfWeek"}, {E, "DaylightMonth"}, {E, "DaylightDay"},
                               {E, "DaylightHour"}, {E, "DaylightDayOfWeek"}, {E, "Bias"}});
        return s;
    }();
    return sections;
}

// A schedule line's keys: the row's fields in record order.
const std::vector<IniField>& rowFields() {
    static const std::vector<IniField> fields = [] {
        std::vector<IniField> out;
        for (const auto& f : recordDesc(RecordKind::ScheduleRow).fields) addGroup(out, {{RecordKind::ScheduleRow, f.key}});
        return out;
    }();
    return fields;
}

const void* recordOf(const DeviceState& s, RecordKind k) {
    switch (k) {
    case RecordKind::Config: return &s.Config;
    case RecordKind::Expert: return &s.Expert;
    case RecordKind::ExpertWeather: return &s.ExpertWeather;
    default: return nullptr;
    }
}
void* recordOf(DeviceState& s, RecordKind k) { return const_cast<void*>(recordOf(std::as_const(s), k)); }

// The schedule lines the device holds.
std::size_t linesHeld(const DeviceState& s) { return std::min<std::size_t>(s.Info.RowCount, s.Schedule.size()); }

// Reads every field that `section` holds as an integer into the record `recordFor` names.
template <class RecordFor>
int readFields(const IniText& ini, const char* section, const std::vector<IniField>& fields, RecordFor recordFor) {
    int read = 0;
    if (!ini.hasSection(section)) return read; // spares a lookup per key
    for (const auto& f : fields) {
        const char* text = ini.value(section, f.key.c_str());
        const auto v = text ? parseIniInteger(text) : std::nullopt;
        if (!v) continue;
        writeField(recordFor(f.record), *f.field, f.index, *v);
        ++read;
    }
    return read;
}

template <class RecordFor>
bool writeFields(IniText& ini, const char* section, const std::vector<IniField>& fields, RecordFor recordFor) {
    for (const auto& f : fields) {
        const std::string value = std::to_string(readField(recordFor(f.record), *f.field, f.index));
        if (!ini.set(section, f.key.c_str(), value.c_str())) return false;
    }
    return true;
}

QString describe(const QString& what, const QString& path, const QString& cause) {
    return QStringLiteral("%1 %2: %3").arg(what, QFileInfo(path).absoluteFilePath(), cause);
}

// The whole file, or an error for a file that cannot be read or exceeds the cap.
// A missing file is empty when `missingIsEmpty`.
bool readCapped(const QString& path, QByteArray& out, QString& error, bool missingIsEmpty) {
    out.clear();
    if (missingIsEmpty && !QFileInfo::exists(path)) return true;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        error = describe(QStringLiteral("Cannot read"), path, f.errorString());
        return false;
    }
    out = f.read(kMaxSettingsFileBytes + 1);
    if (f.error() != QFileDevice::NoError) {
        error = describe(QStringLiteral("Cannot read"), path, f.errorString());
        return false;
    }
    if (out.size() > kMaxSettingsFileBytes) {
        error = describe(QStringLiteral("Cannot use"), path, QStringLiteral("larger than %1 bytes").arg(kMaxSettingsFileBytes));
        return false;
    }
    return true;
}

FileResult importWith(DeviceState& state, const QString& path, int (*apply)(DeviceState&, std::string_view)) {
    QByteArray data;
    FileResult r;
    if (!readCapped(path, data, r.error, false)) return r;
    apply(state, std::string_view(data.constData(), std::size_t(data.size())));
    r.ok = true;
    return r;
}

} // namespace

std::optional<int64_t> parseIniInteger(std::string_view t) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!t.empty() && blank(t.front())) t.remove_prefix(1);
    while (!t.empty() && blank(t.back())) t.remove_suffix(1);
    bool negative = false;
    if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    if (t.empty()) return std::nullopt;
    uint64_t magnitude = 0;
    for (char c : t) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto digit = uint64_t(c - '0');
        if (magnitude > (UINT64_MAX - digit) / 10) return std::nullopt;
        magnitude = magnitude * 10 + digit;
    }
    if (negative) {
        if (magnitude > (uint64_t{1} << 63)) return std::nullopt;
        return static_cast<int64_t>(0 - magnitude);
    }
    return static_cast<int64_t>(magnitude); // beyond INT64_MAX: the same 64 low bits
}

std::optional<std::string> mergeSettingsText(const DeviceState& state, std::string_view existing) {
    IniText ini;
    if (!ini.load(existing)) return std::nullopt;
    for (const auto& s : configSections())
        if (!writeFields(ini, s.name, s.fields, [&](RecordKind k) { return recordOf(state, k); })) return std::nullopt;
    for (std::size_t i = 0; i < linesHeld(state); ++i) {
        const TScheduleRow& row = state.Schedule[i];
        if (!writeFields(ini, std::to_string(i).c_str(), rowFields(), [&](RecordKind) { return &row; }))
            return std::nullopt;
    }
    return ini.text();
}

int applyConfigurationText(DeviceState& state, std::string_view text) {
    IniText ini;
    if (!ini.load(text)) return 0;
    int read = 0;
    for (const auto& s : configSections())
        read += readFields(ini, s.name, s.fields, [&](RecordKind k) { return recordOf(state, k); });
    return read;
}

int applyScheduleText(DeviceState& state, std::string_view text) {
    IniText ini;
    if (!ini.load(text)) return 0;
    int read = 0;
    for (std::size_t i = 0; i < linesHeld(state); ++i) {
        TScheduleRow& row = state.Schedule[i];
        read += readFields(ini, std::to_string(i).c_str(), rowFields(), [&](RecordKind) { return &row; });
    }
    return read;
}

FileResult WriteSettingsFile(const DeviceState& state, const QString& path) {
    FileResult r;
    QByteArray existing;
    // An old file that cannot be read whole is left alone rather than replaced by less.
    if (!readCapped(path, existing, r.error, true)) return r;
    const auto text = mergeSettingsText(state, std::string_view(existing.constData(), std::size_t(existing.size())));
    if (!text) {
        r.error = describe(QStringLiteral("Cannot write"), path, QStringLiteral("out of memory"));
        return r;
    }
    return WriteFileAtomically(path, QByteArray::fromStdString(*text));
}

FileResult WriteFileAtomically(const QString& path, const QByteArray& data) {
    FileResult r;
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        r.error = describe(QStringLiteral("Cannot write"), path, f.errorString());
        return r;
    }
    if (f.write(data) != data.size() || !f.commit()) {
        r.error = describe(QStringLiteral("Cannot write"), path, f.errorString());
        return r;
    }
    r.ok = true;
    return r;
}

FileResult ImportConfiguration(DeviceState& state, const QString& path) {
    return importWith(state, path, applyConfigurationText);
}

FileResult ImportSchedule(DeviceState& state, const QString& path) { return importWith(state, path, applyScheduleText); }

CompareResult CompareWithSettingsFile(const DeviceState& state, const QString& path) {
    CompareResult r;
    QByteArray data;
    if (!readCapped(path, data, r.error, false)) return r;
    // Both imports on a copy of the records, which must come out unchanged.
    DeviceState copy;
    copy.Info.RowCount = state.Info.RowCount;
    copy.Config = state.Config;
    copy.Expert = state.Expert;
    copy.ExpertWeather = state.ExpertWeather;
    copy.Schedule = state.Schedule;
    const std::string_view text(data.constData(), std::size_t(data.size()));
    applyConfigurationText(copy, text);
    applyScheduleText(copy, text);
    const auto same = [](const auto& a, const auto& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    r.differs = !same(copy.Config, state.Config) || !same(copy.Expert, state.Expert) ||
                !same(copy.ExpertWeather, state.ExpertWeather) ||
                !std::equal(copy.Schedule.begin(), copy.Schedule.end(), state.Schedule.begin(),
                            [&](const TScheduleRow& a, const TScheduleRow& b) { return same(a, b); });
    r.ok = true;
    return r;
}

} // namespace quenda
