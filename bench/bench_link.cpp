// The link thread against the simulated device at 115200 baud (paced pty, 48 schedule
// rows), handing over to the real main window (offscreen) on its event loop through the
// Qt host. Each run measures:
//   (a) opening the port to the first weather display (the initial reads, the 48 lines
//       among them), against the pure wire time of the bytes exchanged (both directions
//       at 11520 bytes/s); goal <= 1.03. Beside it where the rest goes: the link's own
//       time from a reply's last byte read to the next line written, each exchange's time
//       from its line's write to its reply's last byte beyond the wire time of both (the
//       device's side and the wake-ups), and the weather reply's way to its display;
//       beside them the device model's own share: how long after a line's write it
//       hears the line, and how late its replies' last bytes leave against the wire
//   (b) a drag: 200 moves of the first channel's slider, each one's delay from the move
//       to the SetInfo line at the device (the pty hands the whole line over at once, so
//       this is its first byte); goal median <= 1 ms, 99th <= 5 ms
//   (c) the window's event loop, watched by a 1 ms timer: every gap over 4 ms with the
//       hand-overs and window calls that ran in it; goal: longest < 16 ms during the
//       initial reads (with the first paint of the page the weather display switches
//       to, 150 ms after it) and during the drag
//   (d) the pace of the poll (GetConfig arrivals), idle and during the drag; goal
//       0.45-0.55 s
// Beside the wall figures: the moves that found a poll read on the wire (the line is
// half-duplex, so they wait for its reply) and the 99th of the others; the window's
// thread's CPU time in the reads and in the drag, which the machine's load does not
// change much; and the load average.
// Three runs; the summary is the median of the three.
//   bench_link [samples]         (drag moves per run, default 200); with $DISPLAY and
//                                xdotool, the --x11 measurement (e) follows in the same run
//   bench_link --x11 [presses]   the program built beside this one on $DISPLAY, keys by xdotool:
//                                Ctrl+2 / Ctrl+0 presses 300 ms apart, press to SetInfo
#include "app/main_window.h"
#include "lang/texts.h"
#include "link/link_host.h"
#include "link/link_thread.h"
#include "link/qt_serial_port.h"
#include "sim/simulator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSlider>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using namespace quenda;

namespace {

constexpr double kBytesPerSecond = 11520.0;
constexpr int64_t kStallUs = 4000;

// CPU time of the calling thread.
double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

double loadAverage() {
    double l = 0;
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &l) != 1) l = 0;
        std::fclose(f);
    }
    return l;
}

int64_t nowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const auto i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

double median(std::vector<double> v) { return percentile(std::move(v), 0.5); }

std::vector<double> intervalsMs(const std::vector<int64_t>& t, int64_t from, int64_t to) {
    std::vector<double> d;
    for (size_t i = 1; i < t.size(); ++i)
        if (t[i - 1] >= from && t[i] <= to) d.push_back(double(t[i] - t[i - 1]) / 1000.0);
    return d;
}

// The first arrival at or after each moment, in ms; moments without one are left out.
std::vector<double> delaysMs(const std::vector<int64_t>& moments, const std::vector<int64_t>& arrivals) {
    std::vector<double> d;
    for (const int64_t m : moments) {
        const auto it = std::lower_bound(arrivals.begin(), arrivals.end(), m);
        if (it != arrivals.end()) d.push_back(double(*it - m) / 1000.0);
    }
    return d;
}

// Arrival times of the device's commands, noted on the server's thread.
class Arrivals {
public:
    void watch(sim::Simulator& sim) {
        sim.server().setLogSink([this](const QString& line) {
            const int64_t t = nowUs();
            std::lock_guard g(m_);
            if (!line.startsWith(QLatin1String("RX "))) return;
            if (line.startsWith(QLatin1String("RX 01"))) setInfo_.push_back(t);
            if (line.startsWith(QLatin1String("RX 82"))) getConfig_.push_back(t);
            commands_.push_back({t, line.mid(3, 2).toInt(nullptr, 16)});
        });
    }
    // Whether a poll read's reply was on the wire at `t`: its command arrived at most
    // `replyUs` before (GetInfo's reply takes about 9.3 ms, GetConfig's 5.6 ms) or was
    // already written and arrived just after.
    bool behindPoll(int64_t t) {
        std::lock_guard g(m_);
        for (const auto& [at, code] : commands_) {
            const int64_t replyUs = code == 0x81 ? 9700 : code == 0x82 ? 6000 : -1;
            if (replyUs > 0 && at >= t - replyUs && at <= t + 500) return true;
        }
        return false;
    }
    std::vector<int64_t> setInfo() {
        std::lock_guard g(m_);
        return setInfo_;
    }
    std::vector<int64_t> getConfig() {
        std::lock_guard g(m_);
        return getConfig_;
    }
    // Per line written at `written` (sorted): the time until the device heard a line.
    std::vector<double> heardAfter(const std::vector<int64_t>& written) {
        std::lock_guard g(m_);
        std::vector<double> d;
        auto it = commands_.begin();
        for (const int64_t w : written) {
            while (it != commands_.end() && it->first < w) ++it;
            if (it != commands_.end()) d.push_back(double(it->first - w));
        }
        return d;
    }

private:
    std::mutex m_;
    std::vector<int64_t> setInfo_, getConfig_;
    std::vector<std::pair<int64_t, int>> commands_; // arrival, command code
};

struct PortFigures {
    std::atomic<int64_t> openedAt{0};
    std::atomic<int64_t> bytes{0};
    // The link's own time: from a reply's last byte read to the next line's write.
    std::atomic<int64_t> linkUs{0};
    std::atomic<int64_t> lastReadAt{0};
    // Per exchange until the weather display: its time from the line's write to its
    // reply's last byte, beyond the wire time of both.
    std::mutex m;
    std::vector<double> excessUs;
    std::vector<int64_t> writeStarts;
    int64_t writtenAt = 0, writtenBytes = 0, lastFullReadAt = 0;
    bool collecting = true;
};

// Counts the bytes both ways and notes when the port opened.
class CountingPort : public IPort {
public:
    explicit CountingPort(PortFigures& f) : f_(f) {}
    bool open(const QString& n) override {
        const bool ok = port_.open(n);
        if (ok) f_.openedAt = nowUs();
        return ok;
    }
    bool isOpen() const override { return port_.isOpen(); }
    QString name() const override { return port_.name(); }
    void close() override { port_.close(); }
    bool purge() override { return port_.purge(); }
    bool write(const QByteArray& d) override {
        const int64_t start = nowUs();
        if (const int64_t last = f_.lastReadAt.exchange(0)) f_.linkUs += start - last;
        {
            std::lock_guard g(f_.m);
            if (f_.collecting) f_.writeStarts.push_back(start);
        }
        const bool ok = port_.write(d);
        if (ok) f_.bytes += d.size();
        std::lock_guard g(f_.m);
        f_.writtenAt = nowUs();
        f_.writtenBytes = d.size();
        return ok;
    }
    QByteArray read(int n) override {
        QByteArray r = port_.read(n);
        f_.bytes += r.size();
        if (!r.isEmpty()) f_.lastReadAt = nowUs();
        std::lock_guard g(f_.m);
        if (f_.collecting && f_.writtenAt && r.size() == n) f_.lastFullReadAt = nowUs();
        if (f_.collecting && f_.writtenAt && r.size() == n)
            f_.excessUs.push_back(double(nowUs() - f_.writtenAt) -
                                  double(f_.writtenBytes + n) * 1e6 / kBytesPerSecond);
        f_.writtenAt = 0;
        return r;
    }
    QString errorString() const override { return port_.errorString(); }

private:
    PortFigures& f_;
    QtSerialPort port_; // the product's 5000 ms time-outs
};

// What ran on the window's thread between two ticks, and the stalls it explains.
class StallWatch {
public:
    void note(const char* what, int64_t us) {
        auto& e = sinceTick_[what];
        e.first += 1;
        e.second += us;
    }
    void tick() {
        const int64_t t = nowUs();
        if (last_) {
            const int64_t gap = t - last_;
            if (gap > longest_) {
                longest_ = gap;
                longestWhat_.clear();
                for (const auto& [what, e] : sinceTick_)
                    longestWhat_ += QStringLiteral(" %1 %2 ms;").arg(QString::fromStdString(what)).arg(
                        double(e.second) / 1000.0, 0, 'f', 1);
                if (longestWhat_.isEmpty()) longestWhat_ = QStringLiteral(" nothing of the link's");
            }
            if (gap > kStallUs) {
                const int bucket = gap < 8000 ? 0 : gap < 16000 ? 1 : gap < 32000 ? 2 : 3;
                ++buckets_[bucket];
                for (const auto& [what, e] : sinceTick_) {
                    auto& c = causes_[what];
                    c.first += e.first;
                    c.second += e.second;
                }
                if (sinceTick_.empty()) ++unexplained_;
            }
        }
        sinceTick_.clear();
        last_ = t;
    }
    // Starts a new phase; gives the longest gap of the phase that ended, and what ran
    // in it.
    int64_t phase(QString* what = nullptr) {
        const int64_t l = longest_;
        longest_ = 0;
        if (what) *what = longestWhat_;
        longestWhat_.clear();
        return l;
    }
    void print() const {
        std::printf("    stalls over 4 ms: 4-8 ms %d, 8-16 ms %d, 16-32 ms %d, >= 32 ms %d; with nothing of the "
                    "link's in them: %d\n",
                    buckets_[0], buckets_[1], buckets_[2], buckets_[3], unexplained_);
        for (const auto& [what, c] : causes_)
            std::printf("      in them: %-22s %4d calls, %7.2f ms in all\n", what.c_str(), c.first,
                        double(c.second) / 1000.0);
    }

private:
    std::map<std::string, std::pair<int, int64_t>> sinceTick_, causes_;
    int buckets_[4] = {};
    int unexplained_ = 0;
    int64_t last_ = 0, longest_ = 0;
    QString longestWhat_;
};

// The real window, with every call the link makes timed.
class TimedWindow : public LinkWindow {
public:
    TimedWindow(TfrmQuenda& w, StallWatch& s) : w_(w), s_(s) {}
    DeviceState& State() override { return w_.State(); }
    void AddLog(const QString& t) override { timed("AddLog", [&] { w_.AddLog(t); }); }
    void SetStatus(const QString& t) override { timed("SetStatus", [&] { w_.SetStatus(t); }); }
    void EnableControls(bool c) override { timed("EnableControls", [&] { w_.EnableControls(c); }); }
    void ShowDeviceInfo() override { timed("ShowDeviceInfo", [&] { w_.ShowDeviceInfo(); }); }
    void ShowModeAndSettings() override { timed("ShowModeAndSettings", [&] { w_.ShowModeAndSettings(); }); }
    void ShowExpertSettings() override { timed("ShowExpertSettings", [&] { w_.ShowExpertSettings(); }); }
    void ShowWeatherSettings() override {
        timed("ShowWeatherSettings", [&] { w_.ShowWeatherSettings(); });
        if (onWeather) onWeather();
    }
    void ShowSchedule() override { timed("ShowSchedule", [&] { w_.ShowSchedule(); }); }
    void DrawChart() override { timed("DrawChart", [&] { w_.DrawChart(); }); }
    void DrawHealth() override { timed("DrawHealth", [&] { w_.DrawHealth(); }); }
    std::function<void()> onWeather;

private:
    template <class F> void timed(const char* what, F f) {
        const int64_t t = nowUs();
        f();
        s_.note(what, nowUs() - t);
    }
    TfrmQuenda& w_;
    StallWatch& s_;
};

// Every hand-over, timed as a whole (copies included), waited for or posted.
class TimedHost : public LinkHost {
public:
    TimedHost(std::shared_ptr<LinkHost> inner, StallWatch& s) : inner_(std::move(inner)), s_(s) {}
    bool RunOnWindow(const WindowCall& fn) override {
        return inner_->RunOnWindow([&](LinkWindow& w) {
            const int64_t t = nowUs();
            fn(w);
            s_.note("hand-over (whole)", nowUs() - t);
        });
    }
    bool PostToWindow(WindowCall fn) override {
        return inner_->PostToWindow([this, fn = std::move(fn)](LinkWindow& w) {
            const int64_t t = nowUs();
            fn(w);
            s_.note("hand-over (posted)", nowUs() - t);
        });
    }

private:
    std::shared_ptr<LinkHost> inner_;
    StallWatch& s_;
};

struct Run {
    double ratio = 0, elapsedMs = 0, wireMs = 0;
    double p50 = 0, p99 = 0, p99Free = 0;
    size_t samples = 0, behindPoll = 0;
    double cpuReadMs = 0, cpuDragMs = 0, load = 0, linkOwnMs = 0;
    double pollIdleMs = 0, pollDragMs = 0;
    double excessP50Us = 0, excessP90Us = 0, excessSumMs = 0, displayMs = 0;
    double heardP50Us = 0, replyLateUs = 0;
    size_t exchanges = 0;
    double stallReadMs = 0, stallDragMs = 0;
    QString stallReadWhat, stallDragWhat; // what ran in the longest stalls
};

void pump(QEventLoop& loop, int ms) {
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The paced device with 48 lines, its command arrivals noted; null when it cannot start.
std::unique_ptr<sim::Simulator> startDevice(Arrivals& arrivals) {
    sim::SimConfig cfg;
    cfg.device.rows = 48;
    cfg.server.lineSpeed = true;
    cfg.server.bytesPerSecond = int(kBytesPerSecond);
    auto sim = std::make_unique<sim::Simulator>(cfg);
    arrivals.watch(*sim);
    QString error;
    if (!sim->start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return nullptr;
    }
    return sim;
}

bool measure(int samples, Run& out) {
    Arrivals arrivals;
    const auto device = startDevice(arrivals);
    if (!device) return false;
    sim::Simulator& sim = *device;

    StallWatch stalls;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] { stalls.tick(); });

    WindowOptions o;
    o.useTaskbar = false;
    o.watchSystem = false;
    o.startLink = [](const QString&, bool) {}; // the bench starts its own, timed link
    o.enumeratePorts = [] { return QStringList{}; };
    TfrmQuenda window(std::move(o));
    window.show();
    QEventLoop settle; // the window's first layout and drawing, before the link starts
    pump(settle, 500);
    TimedWindow timed(window, stalls);
    QtLinkHost qtHost(timed);
    auto host = std::make_shared<TimedHost>(qtHost.Host(), stalls);
    PortFigures port;
    int64_t weatherAt = 0, bytesAtWeather = 0, linkUsAtWeather = 0;
    sim::PtyServer::Pacing pacingAtWeather;
    QEventLoop loop;
    timed.onWeather = [&] {
        if (weatherAt) return;
        weatherAt = nowUs();
        bytesAtWeather = port.bytes; // the link waits while this runs
        linkUsAtWeather = port.linkUs;
        pacingAtWeather = sim.server().pacing();
        std::lock_guard g(port.m);
        port.collecting = false;
        loop.quit();
    };

    TthdCom::Options opts;
    opts.makePort = [&] { return std::make_unique<CountingPort>(port); };
    ticker.start(1);
    pump(settle, 50);
    stalls.phase();
    out.load = loadAverage();
    const double cpuAtOpen = threadCpuMs();
    auto link = TthdCom::Create(window.sharedState(), host, sim.portPath(), false, opts);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    // The page the display switched to is drawn next: its first paint ends the reads.
    pump(settle, 150);
    out.stallReadMs = double(stalls.phase(&out.stallReadWhat)) / 1000.0;
    out.cpuReadMs = threadCpuMs() - cpuAtOpen;
    bool ok = weatherAt != 0;
    if (!ok) std::fprintf(stderr, "no weather record within 30 s\n");

    // Idle: the poll's own pace.
    const int64_t idleFrom = nowUs();
    if (ok) pump(loop, 3000);
    stalls.phase();
    const int64_t idleTo = nowUs();

    // The drag: the slider held down and moved at random moments, each move reaching
    // the device before the next.
    auto* slider = window.findChild<QSlider*>(QStringLiteral("trb0"));
    std::vector<int64_t> movedAt;
    if (ok && slider) {
        window.ShowChannelsPage();
        slider->setSliderDown(true);
        stalls.phase();
        const double cpuAtDrag = threadCpuMs();
        QTimer mover;
        mover.setSingleShot(true);
        QObject::connect(&mover, &QTimer::timeout, [&] {
            if (int(movedAt.size()) == samples) {
                loop.quit();
                return;
            }
            movedAt.push_back(nowUs());
            slider->setValue(1 + int(movedAt.size() % 2) * 2000 + int(movedAt.size() % 97));
            mover.start(40 + int(QRandomGenerator::global()->bounded(40)));
        });
        mover.start(50);
        QTimer::singleShot(samples * 200 + 5000, &loop, &QEventLoop::quit);
        loop.exec();
        pump(loop, 100); // the last line's arrival
        out.stallDragMs = double(stalls.phase(&out.stallDragWhat)) / 1000.0;
        out.cpuDragMs = threadCpuMs() - cpuAtDrag;
        slider->setSliderDown(false);
    }
    const int64_t dragTo = nowUs();

    qtHost.BeginClose();
    link->Terminate();
    ticker.stop();
    const bool ended = TthdCom::WaitForThreads(7000);
    sim.stop();
    if (!ended) std::printf("warning: the link thread did not end\n");

    out.elapsedMs = double(weatherAt - port.openedAt) / 1000.0;
    out.wireMs = double(bytesAtWeather) / kBytesPerSecond * 1000.0;
    out.ratio = out.elapsedMs / out.wireMs;
    out.linkOwnMs = double(linkUsAtWeather) / 1000.0;
    {
        std::lock_guard g(port.m);
        out.exchanges = port.excessUs.size();
        out.excessP50Us = percentile(port.excessUs, 0.5);
        out.excessP90Us = percentile(port.excessUs, 0.9);
        for (double e : port.excessUs)
            out.excessSumMs += e / 1000.0;
        out.displayMs = double(weatherAt - port.lastFullReadAt) / 1000.0;
        out.heardP50Us = percentile(arrivals.heardAfter(port.writeStarts), 0.5);
    }
    if (pacingAtWeather.replies > 0) out.replyLateUs = double(pacingAtWeather.lateUs) / pacingAtWeather.replies;
    const auto delays = delaysMs(movedAt, arrivals.setInfo());
    out.samples = delays.size();
    std::vector<int64_t> freeMoves;
    for (const int64_t m : movedAt) {
        if (arrivals.behindPoll(m)) ++out.behindPoll;
        else freeMoves.push_back(m);
    }
    out.p99Free = percentile(delaysMs(freeMoves, arrivals.setInfo()), 0.99);
    out.p50 = percentile(delays, 0.5);
    out.p99 = percentile(delays, 0.99);
    const auto polls = arrivals.getConfig();
    out.pollIdleMs = median(intervalsMs(polls, idleFrom, idleTo));
    out.pollDragMs = median(intervalsMs(polls, idleTo, dragTo));

    std::printf("run (load %.1f): (a) %.1f ms for %lld bytes (wire %.1f ms) ratio %.3f, the link's own time "
                "between a reply and the next line %.1f ms, %zu exchanges beyond their wire time by %.0f us (90th %.0f us, "
                "in all %.1f ms; the device heard a line %.0f us after its write, median, and its last byte left %.0f us late, mean), the weather record's reply to its display %.1f ms | (b) %zu moves: median "
                "%.2f ms, 99th %.2f ms; %zu behind a poll read, 99th of the others %.2f ms | (c) longest stall: "
                "reads %.1f ms, drag %.1f ms; window thread CPU: reads %.1f ms, drag %.1f ms | (d) poll: idle "
                "%.0f ms, drag %.0f ms\n",
                out.load, out.elapsedMs, static_cast<long long>(bytesAtWeather), out.wireMs, out.ratio, out.linkOwnMs,
                out.exchanges, out.excessP50Us, out.excessP90Us, out.excessSumMs, out.heardP50Us, out.replyLateUs,
                out.displayMs, out.samples,
                out.p50, out.p99, out.behindPoll, out.p99Free, out.stallReadMs, out.stallDragMs, out.cpuReadMs,
                out.cpuDragMs, out.pollIdleMs, out.pollDragMs);
    std::printf("    longest stall of the reads:%s of the drag:%s\n", qPrintable(out.stallReadWhat),
                qPrintable(out.stallDragWhat));
    stalls.print();
    return ok && slider && out.samples == size_t(samples);
}

// The program built beside this bench on a real X display, keys pressed by xdotool.
int measureX11(int presses) {
    Arrivals arrivals;
    const auto device = startDevice(arrivals);
    if (!device) return 2;
    sim::Simulator& sim = *device;
    QProcess program;
    // The bench's own window may be offscreen; the program's is on the display.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    program.setProcessEnvironment(env);
    program.start(QCoreApplication::applicationDirPath() + QStringLiteral("/quenda"), {sim.portPath()});
    if (!program.waitForStarted(10000)) {
        std::fprintf(stderr, "cannot start the program\n");
        return 2;
    }
    QEventLoop loop;
    // Connected and read: the poll is running.
    QElapsedTimer waited;
    waited.start();
    while (arrivals.getConfig().size() < 3 && waited.elapsed() < 60000)
        pump(loop, 100);
    const int focus = QProcess::execute(QStringLiteral("xdotool"),
                                        {QStringLiteral("search"), QStringLiteral("--sync"),
                                         QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                         QStringLiteral("quenda"), QStringLiteral("windowfocus"),
                                         QStringLiteral("--sync")});
    pump(loop, 500);
    // One xdotool reads its commands from a pipe, so a press costs no process start.
    QProcess xdo;
    xdo.start(QStringLiteral("xdotool"), {QStringLiteral("-")});
    xdo.waitForStarted(5000);
    std::vector<int64_t> pressedAt;
    for (int i = 0; i < presses; ++i) {
        pressedAt.push_back(nowUs());
        xdo.write(i % 2 == 0 ? "key --delay 0 ctrl+2\n" : "key --delay 0 ctrl+0\n");
        xdo.waitForBytesWritten(1000);
        pump(loop, 300);
    }
    pump(loop, 300);
    xdo.closeWriteChannel();
    xdo.waitForFinished(5000);
    program.terminate();
    program.waitForFinished(10000);
    sim.stop();

    const auto lines = arrivals.setInfo();
    size_t reached = 0;
    for (size_t i = 0; i < pressedAt.size(); ++i) {
        const int64_t until = i + 1 < pressedAt.size() ? pressedAt[i + 1] : INT64_MAX;
        reached += std::any_of(lines.begin(), lines.end(), [&](int64_t t) { return t >= pressedAt[i] && t < until; });
    }
    const auto d = delaysMs(pressedAt, lines);
    const double p10 = percentile(d, 0.1), p50 = percentile(d, 0.5), p90 = percentile(d, 0.9);
    std::printf("(e) xdotool on a real display (focus %s): %zu of %d presses reached the device as SetInfo; press "
                "to line: p10 %.1f ms, median %.1f ms, p90 %.1f ms, spread p90-p10 %.1f ms (goal: all, spread <= "
                "4 ms)\n",
                focus == 0 ? "ok" : "failed", reached, presses, p10, p50, p90, p90 - p10);
    return reached == size_t(presses) && p90 - p10 <= 4 ? 0 : 1;
}

// The machine's own wake-up latency, the floor under every figure above: one thread
// wakes another through a condition variable 200 times, 2-10 ms apart (an idle core
// of a virtual machine may take the host a millisecond and more to wake).
void printWakeLatency(const char* when) {
    std::mutex m;
    std::condition_variable cv;
    int64_t notifiedAt = 0;
    bool stop = false;
    std::vector<double> latency;
    std::thread sleeper([&] {
        std::unique_lock lock(m);
        for (;;) {
            cv.wait(lock, [&] { return notifiedAt != 0 || stop; });
            if (stop) return;
            latency.push_back(double(nowUs() - notifiedAt));
            notifiedAt = 0;
        }
    });
    for (int i = 0; i < 200; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(2000 + QRandomGenerator::global()->bounded(8000)));
        {
            std::lock_guard lock(m);
            notifiedAt = nowUs();
        }
        cv.notify_one();
    }
    {
        std::lock_guard lock(m);
        stop = true;
    }
    cv.notify_one();
    sleeper.join();
    std::printf("  machine %s: a thread's wake-up takes %.0f us (median), %.0f us (99th)\n", when,
                percentile(latency, 0.5), percentile(latency, 0.99));
}

} // namespace

int main(int argc, char** argv) {
    const bool x11 = argc > 1 && QByteArray(argv[1]) == "--x11";
    // With a display and xdotool at hand, the offscreen runs are followed by (e).
    const bool alsoX11 = !x11 && !qEnvironmentVariableIsEmpty("DISPLAY") &&
                         !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty();
    if (!x11 && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true); // the window's settings stay away from the user's
    LoadLanguage(LanguageChoice::English);
    const int argIndex = x11 ? 2 : 1;
    const int count = argc > argIndex ? std::max(10, QByteArray(argv[argIndex]).toInt()) : (x11 ? 24 : 200);
    if (x11) return measureX11(count);

    printWakeLatency("before");
    std::vector<Run> runs(3);
    bool complete = true;
    for (Run& r : runs)
        complete = measure(count, r) && complete;
    auto mid = [&](double Run::*f) {
        std::vector<double> v;
        for (const Run& r : runs)
            v.push_back(r.*f);
        return median(v);
    };
    double worstRead = 0, worstDrag = 0;
    for (const Run& r : runs) {
        worstRead = std::max(worstRead, r.stallReadMs);
        worstDrag = std::max(worstDrag, r.stallDragMs);
    }
    const double ratio = mid(&Run::ratio), p50 = mid(&Run::p50), p99 = mid(&Run::p99),
                 pollIdle = mid(&Run::pollIdleMs), pollDrag = mid(&Run::pollDragMs);
    std::printf("median of 3 runs (load average %.1f):\n", mid(&Run::load));
    std::printf("  (a) initial reads against wire time: ratio %.3f (goal <= 1.03); the link's own time between a "
                "reply and the next line %.1f ms; an exchange (line written to reply read) takes %.0f us beyond its wire "
                "time, the device's side and the wake-ups; of it the device model heard a line %.0f us after its write and sent its last byte %.0f us late\n",
                ratio, mid(&Run::linkOwnMs), mid(&Run::excessP50Us), mid(&Run::heardP50Us), mid(&Run::replyLateUs));
    std::printf("  (b) move to SetInfo at the device: median %.2f ms, 99th %.2f ms (goal <= 1 / <= 5 ms); 99th of "
                "the moves that found no poll read on the wire %.2f ms\n",
                p50, p99, mid(&Run::p99Free));
    std::printf("  (c) longest stall: reads %.1f ms, drag %.1f ms; worst of the runs %.1f / %.1f ms (goal < 16 ms "
                "in each run)\n",
                mid(&Run::stallReadMs), mid(&Run::stallDragMs), worstRead, worstDrag);
    std::printf("  window thread CPU: reads %.1f ms, drag %.1f ms\n", mid(&Run::cpuReadMs),
                mid(&Run::cpuDragMs));
    std::printf("  (d) poll interval: idle %.0f ms, drag %.0f ms (goal 450-550 ms)\n", pollIdle, pollDrag);
    printWakeLatency("after");
    const bool met = complete && ratio <= 1.03 && p50 <= 1 && p99 <= 5 && worstRead < 16 && worstDrag < 16 &&
                     pollIdle >= 450 && pollIdle <= 550 && pollDrag >= 450 && pollDrag <= 550;
    if (!alsoX11) {
        std::printf("  (e) not measured: no display or no xdotool\n");
        return met ? 0 : 1;
    }
    std::printf("  ");
    std::fflush(stdout);
    return measureX11(24) == 0 && met ? 0 : 1;
}
