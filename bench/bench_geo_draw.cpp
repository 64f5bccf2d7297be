// Time of one redraw of the place-and-clock page at the map's native size: the copy of
// the pristine map with the place lines and mark, the sun and moon figures and text,
// and the moon picture.
#include "pages/geo_draw.h"

#include <QGuiApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace quenda;

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QImage map = LoadWorldMap();
    if (map.isNull()) {
        std::fprintf(stderr, "world map resource missing\n");
        return 2;
    }
    TConfig config{};
    config.Lat = 501;
    config.Lon = 85;
    TInfo info{};
    info.Year = 26;
    info.Month = 12;
    info.Day = 8;
    info.Hour = 14;
    const QTimeZone zone = QTimeZone::systemTimeZone();
    GeoScene scene;

    constexpr int kRuns = 400;
    std::vector<double> us;
    us.reserve(kRuns);
    for (int i = 0; i < kRuns + 20; ++i) {
        info.Minute = int8_t(i % 60);
        config.Lon = int16_t(-1800 + (i * 37) % 3600);
        const auto t0 = std::chrono::steady_clock::now();
        RenderGeo(map, config, info, zone, {}, scene);
        const auto t1 = std::chrono::steady_clock::now();
        if (i >= 20) us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count()); // after warm-up
    }
    std::sort(us.begin(), us.end());
    const double median = us[us.size() / 2];
    std::printf("DrawGeo %dx%d: median %.0f us, best %.0f us, 90th percentile %.0f us (%d runs; goal < 2000 us)\n",
                map.width(), map.height(), median, us.front(), us[us.size() * 9 / 10], kRuns);
    return median < 2000 ? 0 : 1;
}
