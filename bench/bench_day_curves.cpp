// The day-curve picture. Measures:
//   (a) a full redraw at 1920 x 1080 with 48 schedule lines, anti-aliased, in mode Auto
//       (time of day) and mode Geo (sun path): median and 99th percentile; goal median
//       <= 2 ms (a drag redraws every 25 ms)
//   (b) the longest stall of the window's event loop (1 ms timer) while a scripted
//       drag of 200 mouse moves runs on the Visualization page of a window connected
//       to the simulated device at 115200 baud, until the moved line reaches the device;
//       goal < 16 ms
//   bench_day_curves [redraws [a|b [prefix]]]   (redraws per mode for (a), default 1000; one
//   part only; with a prefix (a) also saves the last picture of each mode as prefix-auto.png
//   and prefix-geo.png, to compare the drawing before and after a change pixel by pixel)
#include "app/main_window.h"
#include "lang/texts.h"
#include "link/link_thread.h"
#include "link/port_list.h"
#include "schedule/day_curves.h"
#include "schedule/visualize_page.h"
#include "sim/simulator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMouseEvent>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <string>
#include <vector>

using namespace quenda;

namespace {

int64_t nowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double processCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

int64_t threadCpuUs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

// What ran on the window's thread between two ticks of a 1 ms timer, and the stalls it
// explains: each event delivery that took more than a millisecond is noted with its wall
// and processor time, so a stall that holds no long event (or whose events spent little
// processor time) is the machine's scheduling, not the window's work.
class StallWatch {
public:
    void note(const std::string& what, int64_t wallUs, int64_t cpuUs) {
        auto& e = sinceTick_[what];
        e.calls += 1;
        e.wallUs += wallUs;
        e.cpuUs += cpuUs;
    }
    void tick() {
        const int64_t t = nowUs();
        if (last_) {
            const int64_t gap = t - last_;
            if (gap > longest_) {
                longest_ = gap;
                longestCpu_ = 0;
                for (const auto& [what, e] : sinceTick_) longestCpu_ += e.cpuUs;
            }
            if (gap > 4000) {
                ++buckets_[gap < 8000 ? 0 : gap < 16000 ? 1 : gap < 32000 ? 2 : 3];
                for (const auto& [what, e] : sinceTick_) {
                    auto& c = causes_[what];
                    c.calls += e.calls;
                    c.wallUs += e.wallUs;
                    c.cpuUs += e.cpuUs;
                }
                if (sinceTick_.empty()) ++unexplained_;
            }
        }
        sinceTick_.clear();
        last_ = t;
    }
    double longestMs() const { return double(longest_) / 1000.0; }
    void print() const {
        std::printf("    longest stall %.1f ms, of it %.1f ms processor time in events; stalls over 4 ms: 4-8 ms %d, "
                    "8-16 ms %d, 16-32 ms %d, >= 32 ms %d; with no event over 1 ms in them: %d\n",
                    longestMs(), double(longestCpu_) / 1000.0, buckets_[0], buckets_[1], buckets_[2], buckets_[3],
                    unexplained_);
        for (const auto& [what, c] : causes_)
            std::printf("      in them: %-44s %4d calls, wall %7.2f ms, processor %7.2f ms\n", what.c_str(), c.calls,
                        double(c.wallUs) / 1000.0, double(c.cpuUs) / 1000.0);
    }

private:
    struct Entry {
        int calls = 0;
        int64_t wallUs = 0, cpuUs = 0;
    };
    std::map<std::string, Entry> sinceTick_, causes_;
    int buckets_[4] = {};
    int unexplained_ = 0;
    int64_t last_ = 0, longest_ = 0, longestCpu_ = 0;
};

// Times every outermost event delivery on the window's thread while a watch is set.
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    StallWatch* watch = nullptr;

    bool notify(QObject* receiver, QEvent* event) override {
        if (!watch || depth_ > 0) return QApplication::notify(receiver, event);
        ++depth_;
        const int64_t wall0 = nowUs(), cpu0 = threadCpuUs();
        const int type = int(event->type());
        const char* const cls = receiver->metaObject()->className();
        const QString name = receiver->objectName(); // the receiver may be gone afterwards
        bool handled = false;
        try {
            handled = QApplication::notify(receiver, event);
        } catch (...) {
            --depth_;
            throw;
        }
        --depth_;
        const int64_t wall = nowUs() - wall0;
        if (wall > 1000)
            watch->note(std::string(cls) + "/" + name.toStdString() + " event " + std::to_string(type), wall,
                        threadCpuUs() - cpu0);
        return handled;
    }

private:
    int depth_ = 0;
};

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const auto i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

// 48 lines, one each half hour: every channel rises from night to its own peak at
// midday and falls again, with a little flicker; the altitudes rise to noon and fall.
std::vector<TScheduleRow> benchSchedule() {
    std::vector<TScheduleRow> lines(48);
    for (int k = 0; k < 48; ++k) {
        TScheduleRow& r = lines[std::size_t(k)];
        r = TScheduleRow{};
        r.Hour = int8_t(k / 2);
        r.Minute = int8_t(30 * (k % 2));
        r.Alt = int16_t(std::lround(10000 * std::sin((k < 24 ? k : 47 - k) * 3.14159 / 48)));
        const double day = std::max(0.0, std::sin((k - 12) * 3.14159 / 24));
        for (int ch = 0; ch < kChannels; ++ch)
            r.Color16[ch] = int16_t(std::min<long>(4096, std::lround(day * (4096 - 250 * ch)) + (k * 37 + ch * 11) % 120));
    }
    return lines;
}

void redraws(int count, bool sunPath, const std::vector<TScheduleRow>& lines, const QString& savePrefix) {
    CurveScene scene;
    scene.schedule = lines;
    for (int ch = 0; ch < kChannels; ++ch) scene.colorNames[std::size_t(ch)] = uint8_t(ch + 1);
    scene.size = QSize(1920, 1080);
    scene.year = 26, scene.month = 6, scene.day = 21, scene.hour = 14, scene.minute = 30;
    scene.latDeg = 50.1, scene.lonDeg = 8.5;
    scene.selected = 3;
    scene.dragged = 7;
    scene.font = QApplication::font();
    DayCurves curves;
    std::vector<double> ms, cpu;
    for (int i = 0; i < count + 20; ++i) {
        QElapsedTimer t;
        t.start();
        const double cpu0 = processCpuMs();
        curves = sunPath ? DrawSunPathCurves(scene, std::move(curves)) : DrawDayCurves(scene, std::move(curves));
        if (i < 20) continue; // the first ones warm the caches
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        cpu.push_back(processCpuMs() - cpu0);
    }
    // The toolkit spreads large fills over its own threads; the processor time of all
    // threads shows the work apart from waiting for a busy machine.
    std::printf("(a) %s redraw 1920 x 1080, 48 lines, %d samples: wall median %.3f ms, 99th %.3f ms; "
                "processor time (all threads) median %.3f ms, 99th %.3f ms (goal median <= 2 ms)\n",
                sunPath ? "Geo " : "Auto", count, percentile(ms, 0.5), percentile(ms, 0.99), percentile(cpu, 0.5),
                percentile(cpu, 0.99));
    if (!savePrefix.isEmpty()) curves.image.save(savePrefix + (sunPath ? "-geo.png" : "-auto.png"));
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs) return false;
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void sendMouse(QWidget* w, QEvent::Type type, QPointF pos, Qt::MouseButtons buttons) {
    QMouseEvent e(type, pos, w->mapToGlobal(pos), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                  buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// (b); returns the longest stall in ms, or a negative number when the drag could not run.
double dragStall(const std::vector<TScheduleRow>& lines) {
    sim::SimConfig cfg;
    cfg.device.rows = int(lines.size());
    cfg.server.lineSpeed = true;
    sim::Simulator sim(cfg);
    sim.device().update([&](sim::Records& r) {
        r.config.Mode = 1;
        r.schedule = lines;
    });
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return -1;
    }
    WindowOptions o;
    o.args = {sim.portPath()};
    o.useTaskbar = false;
    o.watchSystem = false;
    const QString port = sim.portPath();
    o.enumeratePorts = [port] { return QStringList{port}; };
    auto w = std::make_unique<TfrmQuenda>(std::move(o));
    w->show();
    if (!waitUntil([&] { return w->isConnected() && (w->state().requests() & rqOnConnect) == 0; }, 60000)) {
        std::fprintf(stderr, "no connection within 60 s\n");
        return -1;
    }
    auto* page = qobject_cast<VisualizePage*>(w->page(QStringLiteral("tsVisualize")));
    w->ShowPage(page);
    // Let the page settle and draw the whole schedule as read from the device.
    waitUntil([&] { return !w->state().isRaised(rqGetSchedule) && w->state().isRead(2); }, 20000);
    waitUntil([] { return false; }, 200);
    QWidget* img = page->img();
    if (page->points().size() < 3) {
        std::fprintf(stderr, "no points drawn\n");
        return -1;
    }

    int64_t lastTick = 0, longestGapUs = 0, longestAt = 0;
    StallWatch stalls;
    auto* app = static_cast<TimedApplication*>(QCoreApplication::instance());
    app->watch = &stalls;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const int64_t t = nowUs();
        if (lastTick && t - lastTick > longestGapUs) {
            longestGapUs = t - lastTick;
            longestAt = t;
        }
        lastTick = t;
        stalls.tick();
    });
    ticker.start(1);

    const int64_t pressedAt = nowUs();
    const CurvePoint start = page->points()[2];
    sendMouse(img, QEvent::MouseButtonPress, QPointF(start.X, start.Y[0]), Qt::LeftButton);
    if (page->DraggedLine() != 2) {
        std::fprintf(stderr, "the press grabbed line %d\n", page->DraggedLine());
        return -1;
    }
    // 200 moves, one every 5 ms, sweeping across the surface and back up.
    int moves = 0;
    QPointF last;
    QTimer mover;
    QObject::connect(&mover, &QTimer::timeout, [&] {
        const double f = moves / 199.0;
        last = QPointF(20 + f * (img->width() - 40), img->height() - 21 - f * (img->height() - 41));
        sendMouse(img, QEvent::MouseMove, last, Qt::LeftButton);
        if (++moves == 200) mover.stop();
    });
    mover.start(5);
    waitUntil([&] { return moves == 200; }, 10000);
    const int64_t releasedAt = nowUs();
    sendMouse(img, QEvent::MouseButtonRelease, last, Qt::NoButton);
    const bool arrived = waitUntil([&] { return sim.device().records().schedule[2].Color16[0] == 4096; }, 10000);
    ticker.stop();
    app->watch = nullptr;
    std::printf("(b) scripted drag of %d moves, release and upload%s: longest event-loop stall %.1f ms "
                "(goal < 16 ms), ending %.0f ms after the press (release at %.0f ms)\n",
                moves, arrived ? "" : " (line NOT at the device)", double(longestGapUs) / 1000.0,
                double(longestAt - pressedAt) / 1000.0, double(releasedAt - pressedAt) / 1000.0);
    stalls.print();
    w->close();
    w.reset();
    return arrived ? double(longestGapUs) / 1000.0 : -1;
}

} // namespace

int main(int argc, char** argv) {
    TimedApplication app(argc, argv);
    LoadLanguage(LanguageChoice::English);
    const int count = argc > 1 ? std::max(10, QByteArray(argv[1]).toInt()) : 1000;
    const auto lines = benchSchedule();
    const QByteArray part = argc > 2 ? QByteArray(argv[2]) : QByteArray();
    const QString savePrefix = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    if (part != "b") {
        redraws(count, false, lines, savePrefix);
        redraws(count, true, lines, savePrefix);
    }
    if (part == "a") return 0;
    const double stall = dragStall(lines);
    TthdCom::WaitForThreads(7000);
    ForgetLastPort(); // no remembered port from this run
    return stall >= 0 && stall < 16 ? 0 : 1;
}
