// Time of one place-and-clock page computation: observer, sun and moon positions and
// the sun's and moon's events of the local day (the rise/set interpolations with their
// adjacent-day and twilight variants), and separately the two text lines.
#include "astro/geo_text.h"

#include <chrono>
#include <cstdio>

using namespace quenda;

namespace {

GeoMoment MomentFor(int i) {
    GeoMoment m;
    m.latDeg = 50.1;
    m.lonDeg = 8.5;
    m.day = 1 + i % 28;
    m.month = 1 + (i / 28) % 12;
    m.year = 2026;
    m.hour = i % 24;
    m.minute = i % 60;
    m.zoneHours = 1;
    return m;
}

template <class F> double MicrosPerCall(int n, F&& f) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i)
        f(i);
    const auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::micro>(t1 - t0).count() / n;
}

} // namespace

int main() {
    constexpr int N = 20000;
    volatile double sink = 0;
    // Warm-up.
    MicrosPerCall(1000, [&](int i) { sink = sink + ComputeGeo(MomentFor(i)).sun.Altitude; });

    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        const double us = MicrosPerCall(N, [&](int i) {
            const GeoFigures f = ComputeGeo(MomentFor(i));
            sink = sink + f.sun.Altitude + f.moonEvents.Rise;
        });
        if (us < best) best = us;
    }
    const GeoFigures f = ComputeGeo(MomentFor(7));
    const double text = MicrosPerCall(N, [&](int) { sink = sink + double(GeoText(f).size()); });

    std::printf("geo page computation: %.2f us per evaluation (best of 5 x %d; goal < 50 us)\n", best, N);
    std::printf("geo page text lines:  %.2f us per evaluation\n", text);
    return best < 50 ? 0 : 1;
}
