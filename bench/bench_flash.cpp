// A 60 KiB firmware image flashed through the simulated bootloader at 115200 baud
// (paced pty): the transfer's time, from the first block written to the last block's
// acknowledgement, against its wire time (every byte of the block commands and their
// acknowledgements at 11520 bytes/s). Goal <= 1.03. The window's side runs on this
// thread's event loop, as in the program, and keeps the progress lines it is given.
#include "common/firmware_file.h"
#include "lang/texts.h"
#include "link/link_host.h"
#include "link/link_thread.h"
#include "link/qt_serial_port.h"
#include "sim/simulator.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>

using namespace quenda;

namespace {

constexpr double kBytesPerSecond = 11520.0;

int64_t nowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Counts the bytes of the block commands and their acknowledgements, and the time
// from the first block's write to the last block's acknowledgement.
class BlockCountingPort : public IPort {
public:
    bool open(const QString& n) override { return port_.open(n); }
    bool isOpen() const override { return port_.isOpen(); }
    QString name() const override { return port_.name(); }
    void close() override { port_.close(); }
    bool purge() override { return port_.purge(); }
    bool write(const QByteArray& d) override {
        inBlock_ = d.startsWith("02") && d.size() == 2 + 2 * 66 + 1;
        if (inBlock_ && !firstUs) firstUs = nowUs();
        if (inBlock_ && lastUs) linkSideUs += nowUs() - lastUs; // from the last acknowledgement
        const bool ok = port_.write(d);
        if (inBlock_) bytes += d.size();
        return ok;
    }
    QByteArray read(int n) override {
        QByteArray r = port_.read(n);
        if (inBlock_) {
            bytes += r.size();
            lastUs = nowUs();
            ++blocks;
        }
        return r;
    }
    QString errorString() const override { return port_.errorString(); }

    std::atomic<int64_t> firstUs{0}, lastUs{0}, bytes{0};
    std::atomic<int64_t> linkSideUs{0}; // between an acknowledgement and the next block
    std::atomic<int> blocks{0};

private:
    QtSerialPort port_;
    bool inBlock_ = false;
};

class FlashWindow : public LinkWindow {
public:
    FlashWindow(std::shared_ptr<DeviceState> s, QString file) : state_(std::move(s)), file_(std::move(file)) {}
    DeviceState& State() override { return *state_; }
    void AddLog(const QString& t) override { log << t; }
    void SetStatus(const QString& t) override {
        if (t == Msg(QStringLiteral("FirmwareUpdateSuccessful")) || t == Msg(QStringLiteral("FirmwareUpdateFailed"))) {
            result = t;
            QCoreApplication::quit();
        }
    }
    void EnableControls(bool) override {}
    void ShowDeviceInfo() override {}
    void ShowModeAndSettings() override {}
    void ShowExpertSettings() override {}
    void ShowWeatherSettings() override {}
    void ShowSchedule() override {}
    void DrawChart() override {}
    void DrawHealth() override {}
    QString ChooseFirmwareFile() override { return std::exchange(file_, QString()); }
    QString result;
    QStringList log;

private:
    std::shared_ptr<DeviceState> state_;
    QString file_;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    LoadLanguage(LanguageChoice::English);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fw.qfw"));
    const int32_t last = 60 * 1024 - 1;
    if (!testing::writeFile(path, testing::firmwareFile(0, last))) return 2;

    sim::SimConfig cfg;
    cfg.device.startInBootloader = true;
    cfg.server.lineSpeed = true;
    cfg.server.bytesPerSecond = int(kBytesPerSecond);
    sim::Simulator sim(cfg);
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 2;
    }

    auto state = std::make_shared<DeviceState>();
    FlashWindow window(state, path);
    QtLinkHost host(window);
    BlockCountingPort* port = nullptr;
    TthdCom::Options o;
    o.makePort = [&port] {
        auto p = std::make_unique<BlockCountingPort>();
        port = p.get();
        return p;
    };
    auto link = TthdCom::Create(state, host.Host(), sim.portPath(), false, std::move(o));
    QTimer::singleShot(120000, &app, &QCoreApplication::quit);
    app.exec();
    const bool done = !window.result.isEmpty();
    const int64_t firstUs = port ? port->firstUs.load() : 0, lastUs = port ? port->lastUs.load() : 0;
    const int64_t bytes = port ? port->bytes.load() : 0;
    const int blocks = port ? port->blocks.load() : 0;
    const int64_t linkSideUs = port ? port->linkSideUs.load() : 0;
    host.BeginClose();
    link->Terminate();
    TthdCom::WaitForThreads(10000);
    if (!done) {
        std::fprintf(stderr, "the update did not end\n");
        return 1;
    }
    const std::vector<uint8_t> flash = sim.device().flash();
    const QByteArray expected = testing::firmwareData(0, last);
    const bool equal = std::equal(expected.begin(), expected.end(), flash.begin(),
                                  [](char a, uint8_t b) { return uint8_t(a) == b; });
    const double seconds = double(lastUs - firstUs) / 1e6, wire = double(bytes) / kBytesPerSecond;
    std::printf("result: %s\n", qPrintable(window.result));
    std::printf("flash equals file: %s\n", equal ? "yes" : "no");
    std::printf("blocks: %d, bytes on the wire: %lld, log lines: %lld\n", blocks, static_cast<long long>(bytes),
                static_cast<long long>(window.log.size()));
    std::printf("link side: %.1f us per block (the rest is the line and the device)\n",
                blocks ? double(linkSideUs) / blocks : 0.0);
    std::printf("transfer %.3f s, wire time %.3f s, ratio %.4f (goal <= 1.03)\n", seconds, wire, seconds / wire);
    return equal ? 0 : 1;
}
