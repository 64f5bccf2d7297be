// Size of a typical settings file (all records, a 48-line schedule, written new) and
// the time of an export of it to disk, as a new file and onto the file it wrote
// before; the two imports for comparison.
#include "files/settings_file.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

using namespace quenda;

namespace {

// Random record contents, as a device in use would hold mixed values.
void fill(DeviceState& s, int rows) {
    std::mt19937 rng(7);
    auto bytes = [&](void* p, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) static_cast<uint8_t*>(p)[i] = uint8_t(rng());
    };
    bytes(&s.Config, sizeof s.Config);
    bytes(&s.Expert, sizeof s.Expert);
    bytes(&s.ExpertWeather, sizeof s.ExpertWeather);
    s.Info.RowCount = uint8_t(rows);
    s.resizeSchedule(rows);
    for (auto& r : s.Schedule) bytes(&r, sizeof r);
}

template <class F> double medianMillis(int n, F&& f) {
    std::vector<double> t;
    for (int i = 0; i < n; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        t.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

} // namespace

int main() {
    QTemporaryDir dir;
    DeviceState s;
    fill(s, 48);
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    constexpr int N = 200;
    bool ok = true;

    const double fresh = medianMillis(N, [&] {
        QFile::remove(path);
        ok = WriteSettingsFile(s, path).ok && ok;
    });
    const qint64 size = QFileInfo(path).size();
    const double onto = medianMillis(N, [&] { ok = WriteSettingsFile(s, path).ok && ok; });
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const std::string old = f.readAll().toStdString();
    const double text = medianMillis(N, [&] { ok = mergeSettingsText(s, old).has_value() && ok; });
    const double config = medianMillis(N, [&] { ok = ImportConfiguration(s, path).ok && ok; });
    const double schedule = medianMillis(N, [&] { ok = ImportSchedule(s, path).ok && ok; });
    if (!ok) {
        std::puts("a write or read failed");
        return 1;
    }
    std::printf("settings file, 48 schedule lines: %lld bytes\n", static_cast<long long>(size));
    std::printf("export, new file:          %.3f ms (median of %d)\n", fresh, N);
    std::printf("export onto its old file:  %.3f ms\n", onto);
    std::printf("  of which the text:       %.3f ms\n", text);
    std::printf("configuration import:      %.3f ms\n", config);
    std::printf("schedule import:           %.3f ms\n", schedule);
    return 0;
}
