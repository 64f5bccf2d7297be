// The link thread against the simulated device at 115200 baud (paced pty, 48 schedule
// rows), handing over to a window on a real event loop through the Qt host. Measures:
//   (a) opening the port to the first weather display, against the pure wire time of
//       the bytes exchanged (both directions at 11520 bytes/s); goal <= 1.15
//   (b) delay from raising rqSetChannels to the SetInfo line at the device; goal
//       median <= 25 ms
//   (c) the longest stall of the window's event loop (1 ms timer); goal < 16 ms
//   bench_link [samples]      (samples for (b), default 100)
#include "lang/texts.h"
#include "link/link_host.h"
#include "link/link_thread.h"
#include "link/qt_serial_port.h"
#include "sim/simulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <vector>

using namespace quenda;

namespace {

constexpr double kBytesPerSecond = 11520.0;

int64_t nowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct PortFigures {
    std::atomic<int64_t> openedAt{0};
    std::atomic<int64_t> bytes{0};
    std::atomic<int64_t> commands{0};
    std::atomic<int64_t> linkSideUs{0}; // from the end of a reply to the next command
};

// Counts the bytes both ways, notes when the port opened, and how long the link took
// between a reply and its next command (everything else is the line's time).
class CountingPort : public IPort {
public:
    explicit CountingPort(PortFigures& f) : f_(f) {}

    bool open(const QString& n) override {
        const bool ok = port_.open(n);
        if (ok) f_.openedAt = nowUs();
        lastReply_ = 0;
        return ok;
    }
    bool isOpen() const override { return port_.isOpen(); }
    QString name() const override { return port_.name(); }
    void close() override { port_.close(); }
    bool purge() override {
        if (lastReply_) f_.linkSideUs += nowUs() - lastReply_; // the purge belongs to the next command
        lastReply_ = 0;
        return port_.purge();
    }
    bool write(const QByteArray& d) override {
        const bool ok = port_.write(d);
        if (ok) {
            f_.bytes += d.size();
            ++f_.commands;
        }
        return ok;
    }
    QByteArray read(int n) override {
        QByteArray r = port_.read(n);
        f_.bytes += r.size();
        lastReply_ = nowUs();
        return r;
    }
    QString errorString() const override { return port_.errorString(); }

private:
    PortFigures& f_;
    int64_t lastReply_ = 0;
    QtSerialPort port_; // the product's 5000 ms time-outs
};

// A window that does what the link asks and nothing more.
class BenchWindow : public LinkWindow {
public:
    explicit BenchWindow(std::shared_ptr<DeviceState> s) : state_(std::move(s)) {}
    DeviceState& State() override { return *state_; }
    void AddLog(const QString&) override {}
    void SetStatus(const QString&) override {}
    void EnableControls(bool) override {}
    void ShowDeviceInfo() override {}
    void ShowModeAndSettings() override {}
    void ShowExpertSettings() override {}
    void ShowWeatherSettings() override {
        if (onWeather) onWeather();
    }
    void ShowSchedule() override {}
    void DrawChart() override {}
    void DrawHealth() override {}
    std::function<void()> onWeather;

private:
    std::shared_ptr<DeviceState> state_;
};

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const auto i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    LoadLanguage(LanguageChoice::English);
    const int samples = argc > 1 ? std::max(10, QByteArray(argv[1]).toInt()) : 100;

    // The device, with its arrivals of SetInfo lines noted on the server's thread.
    sim::SimConfig cfg;
    cfg.device.rows = 48;
    cfg.server.lineSpeed = true;
    cfg.server.bytesPerSecond = int(kBytesPerSecond);
    sim::Simulator sim(cfg);
    std::mutex arrivalsMutex;
    std::vector<int64_t> setInfoArrivals;
    sim.server().setLogSink([&](const QString& line) {
        if (!line.startsWith(QLatin1String("RX 01"))) return;
        const int64_t t = nowUs();
        std::lock_guard g(arrivalsMutex);
        setInfoArrivals.push_back(t);
    });
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 2;
    }

    // The window's event loop, watched by a 1 ms timer.
    int64_t lastTick = 0, longestGapUs = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const int64_t t = nowUs();
        if (lastTick) longestGapUs = std::max(longestGapUs, t - lastTick);
        lastTick = t;
    });
    ticker.start(1);

    auto state = std::make_shared<DeviceState>();
    BenchWindow window(state);
    QtLinkHost qtHost(window);
    PortFigures port;
    int64_t weatherAt = 0, bytesAtWeather = 0, commandsAtWeather = 0, linkSideAtWeather = 0;
    QEventLoop loop;
    window.onWeather = [&] {
        if (weatherAt) return;
        weatherAt = nowUs();
        bytesAtWeather = port.bytes; // the link waits while this runs
        commandsAtWeather = port.commands;
        linkSideAtWeather = port.linkSideUs;
        loop.quit();
    };

    TthdCom::Options opts;
    opts.makePort = [&] { return std::make_unique<CountingPort>(port); };
    auto link = TthdCom::Create(state, qtHost.Host(), sim.portPath(), false, opts);

    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    if (!weatherAt) {
        std::fprintf(stderr, "no weather record within 30 s\n");
        return 2;
    }
    const double elapsedMs = double(weatherAt - port.openedAt) / 1000.0;
    const double wireMs = double(bytesAtWeather) / kBytesPerSecond * 1000.0;

    // (b): raises at random moments against the link's idle pace, each one served before
    // the next (the longest path, a poll in flight, is well under 60 ms).
    std::vector<int64_t> raisedAt;
    int raised = 0;
    QTimer raiser;
    raiser.setSingleShot(true);
    QObject::connect(&raiser, &QTimer::timeout, [&] {
        if (raised == samples) {
            loop.quit();
            return;
        }
        ++raised;
        raisedAt.push_back(nowUs());
        state->Info.Channel[0] = int16_t(raised % 4097); // the slider's new level
        state->raise(rqSetChannels);
        raiser.start(60 + int(QRandomGenerator::global()->bounded(40)));
    });
    raiser.start(50);
    QTimer::singleShot(samples * 200 + 5000, &loop, &QEventLoop::quit);
    loop.exec();
    QTimer::singleShot(100, &loop, &QEventLoop::quit); // the last line's arrival
    loop.exec();

    std::vector<double> delays;
    {
        std::lock_guard g(arrivalsMutex);
        for (size_t i = 0; i < raisedAt.size() && i < setInfoArrivals.size(); ++i)
            delays.push_back(double(setInfoArrivals[i] - raisedAt[i]) / 1000.0);
    }
    const double lineMs = 107.0 / kBytesPerSecond * 1000.0; // "01", 104 digits, line feed

    qtHost.BeginClose();
    link->Terminate();
    ticker.stop();
    const bool ended = TthdCom::WaitForThreads(7000);
    sim.stop();

    const double ratio = elapsedMs / wireMs;
    const double median = percentile(delays, 0.5), p95 = percentile(delays, 0.95);
    std::printf("(a) open to first weather display: %.1f ms for %lld bytes (wire %.1f ms): ratio %.3f "
                "(goal <= 1.15)\n",
                elapsedMs, static_cast<long long>(bytesAtWeather), wireMs, ratio);
    std::printf("    link side between a reply and the next command: %.1f ms over %lld commands; the rest is "
                "the paced line and the pty\n",
                double(linkSideAtWeather) / 1000.0, static_cast<long long>(commandsAtWeather));
    std::printf("(b) rqSetChannels to SetInfo at the device, %zu samples: median %.1f ms, 95th %.1f ms "
                "(line complete at 115200 baud: +%.1f ms -> median %.1f, 95th %.1f; goal median <= 25 ms)\n",
                delays.size(), median, p95, lineMs, median + lineMs, p95 + lineMs);
    std::printf("(c) longest event-loop stall: %.1f ms (goal < 16 ms)\n", double(longestGapUs) / 1000.0);
    if (!ended) std::printf("warning: the link thread did not end\n");
    const bool met =
        ratio <= 1.15 && median + lineMs <= 25 && longestGapUs < 16000 && delays.size() == size_t(samples);
    return met ? 0 : 1;
}
