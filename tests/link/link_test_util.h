// Pieces shared by the link tests: a window that records what the link hands over,
// a port wrapper that lets the test keep the scripted port the link thread owns, a
// small scripted device that answers every command with fixed records, and a rig that
// runs a link on the recording window.
#pragma once

#include "common/scripted_port.h"
#include "link/link_host.h"
#include "link/link_thread.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QThread>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quenda::testing {

// ---------------------------------------------------------------------------
struct WindowEvent {
    QString kind; // log, status, enable, disable, ShowDeviceInfo, ..., firmware
    QString text;
    uint32_t requests = 0;     // Requests when the event happened
    qint64 ms = 0;             // since the window was made
    bool onMainThread = false; // ran on the thread that made the window
};

class RecordingWindow : public LinkWindow {
public:
    explicit RecordingWindow(std::shared_ptr<DeviceState> state)
        : state_(std::move(state)), owner_(QThread::currentThread()) {
        clock_.start();
    }

    DeviceState& State() override { return *state_; }
    void AddLog(const QString& t) override { add(QStringLiteral("log"), t); }
    void SetStatus(const QString& t) override { add(QStringLiteral("status"), t); }
    void EnableControls(bool c) override { add(c ? QStringLiteral("enable") : QStringLiteral("disable")); }
    void ShowDeviceInfo() override { add(QStringLiteral("ShowDeviceInfo")); }
    void ShowModeAndSettings() override { add(QStringLiteral("ShowModeAndSettings")); }
    void ShowExpertSettings() override { add(QStringLiteral("ShowExpertSettings")); }
    void ShowWeatherSettings() override { add(QStringLiteral("ShowWeatherSettings")); }
    void ShowSchedule() override { add(QStringLiteral("ShowSchedule")); }
    void DrawChart() override { add(QStringLiteral("DrawChart")); }
    void DrawHealth() override { add(QStringLiteral("DrawHealth")); }
    void SetTaskbarProgress(uint64_t done, uint64_t total) override {
        add(QStringLiteral("progress"), QStringLiteral("%1/%2").arg(done).arg(total));
    }
    QString ChooseFirmwareFile() override {
        add(QStringLiteral("firmware"));
        return firmwareAnswers.isEmpty() ? QString() : firmwareAnswers.takeFirst();
    }
    void FirmwareTransferEnded() override { add(QStringLiteral("transferEnded")); }

    // The files the firmware dialog "chooses", in turn; then it is cancelled.
    QStringList firmwareAnswers;

    // Runs on the window's side after each event is recorded (the link waits meanwhile).
    std::function<void(const WindowEvent&)> onEvent;

    QList<WindowEvent> events;

    QStringList texts(const QString& kind) const {
        QStringList out;
        for (const auto& e : events)
            if (e.kind == kind) out << e.text;
        return out;
    }
    int count(const QString& kind, const QString& text = QString()) const {
        int n = 0;
        for (const auto& e : events)
            if (e.kind == kind && (text.isNull() || e.text == text)) ++n;
        return n;
    }
    int indexOf(const QString& kind, const QString& text = QString(), int from = 0) const {
        for (int i = from; i < events.size(); ++i)
            if (events[i].kind == kind && (text.isNull() || events[i].text == text)) return i;
        return -1;
    }
    // Kinds and texts in order, for failure messages.
    QString dump() const {
        QStringList lines;
        for (const auto& e : events)
            lines << QStringLiteral("%1 %2 %3").arg(e.ms).arg(e.kind, e.text);
        return lines.join(QLatin1Char('\n'));
    }

private:
    void add(const QString& kind, const QString& text = QString()) {
        WindowEvent e{kind, text, state_->requests(), clock_.elapsed(), QThread::currentThread() == owner_};
        events << e;
        if (onEvent) onEvent(e);
    }
    std::shared_ptr<DeviceState> state_;
    QThread* owner_; // the thread that made the window: its "window's thread"
    QElapsedTimer clock_;
};

// ---------------------------------------------------------------------------
// What went over a port, kept in plain containers: a test reads it while the link
// writes, and Qt's shared lists would be detached across threads.
class PortTap {
public:
    void wrote(const QByteArray& line) {
        std::lock_guard g(m_);
        lines_.push_back(line);
    }
    void opened(const QString& name) {
        std::lock_guard g(m_);
        opened_.push_back(name);
    }
    QList<QByteArray> lines() const {
        std::lock_guard g(m_);
        return QList<QByteArray>(lines_.begin(), lines_.end());
    }
    int count() const {
        std::lock_guard g(m_);
        return int(lines_.size());
    }
    QStringList openedNames() const {
        std::lock_guard g(m_);
        return QStringList(opened_.begin(), opened_.end());
    }

private:
    mutable std::mutex m_;
    std::vector<QByteArray> lines_;
    std::vector<QString> opened_;
};

// The link owns its port; this hands it a forwarding object so the test keeps the real
// one, and taps what is written and opened.
class TappedPort : public IPort {
public:
    TappedPort(std::shared_ptr<IPort> p, std::shared_ptr<PortTap> tap)
        : p_(std::move(p)), tap_(std::move(tap)) {}
    bool open(const QString& n) override {
        tap_->opened(n);
        return p_->open(n);
    }
    bool isOpen() const override { return p_->isOpen(); }
    QString name() const override { return p_->name(); }
    void close() override { p_->close(); }
    bool purge() override { return p_->purge(); }
    bool write(const QByteArray& d) override {
        const bool ok = p_->write(d);
        if (ok) tap_->wrote(d);
        return ok;
    }
    QByteArray read(int n) override { return p_->read(n); }
    QString errorString() const override { return p_->errorString(); }

private:
    std::shared_ptr<IPort> p_;
    std::shared_ptr<PortTap> tap_;
};

// ---------------------------------------------------------------------------
// Answers like the device would, with patterned records; faults on demand.
class ScriptedDevice {
public:
    enum class Fault { None, Silent, Garbage, WrongEcho, Truncated };

    std::atomic<uint8_t> type{kHardwareApplication};
    std::atomic<uint8_t> version{kSupportedVersion};
    std::atomic<int> rows{6};
    std::atomic<Fault> fault{Fault::None};
    // Called on the link thread for every line before it is answered (may sleep).
    std::function<void(const QByteArray& line)> beforeAnswer;
    // Called after beforeAnswer; returning true answers with `reply` instead.
    std::function<bool(const QByteArray& line, QByteArray& reply)> intercept;

    QByteArray answer(const QByteArray& written) {
        const QByteArray line = written.trimmed();
        if (beforeAnswer) beforeAnswer(line);
        if (QByteArray r; intercept && intercept(line, r)) return r;
        if (line.size() < 2) return {};
        const int code = line.left(2).toInt(nullptr, 16);
        switch (fault.load()) {
        case Fault::None:
            break;
        case Fault::Silent:
            return {};
        case Fault::Garbage:
            return QByteArray("\x01#%garbage&*\xff\n", 14);
        case Fault::WrongEcho: {
            QByteArray r = normal(code);
            if (r.size() > 2) r.replace(0, 2, QByteArray::number((code + 1) & 0xFF, 16).toUpper());
            return r;
        }
        case Fault::Truncated: {
            const QByteArray r = normal(code);
            return r.left(r.size() / 2);
        }
        }
        return normal(code);
    }

    static QByteArray reply(int code, const QByteArray& payload) {
        return QByteArray(1, char(code)).toHex().toUpper() + payload.toHex().toUpper() + '\r';
    }
    static QByteArray pattern(int n, int seed) {
        QByteArray b(n, 0);
        for (int i = 0; i < n; ++i)
            b[i] = char((i * 7 + seed * 13 + 1) & 0x7F);
        return b;
    }
    static QByteArray infoPayload(int rows) {
        QByteArray p = pattern(int(sizeof(TInfo)), 1);
        p[0] = char(rows);
        return p;
    }

private:
    QByteArray normal(int code) {
        switch (code) {
        case 0x80:
            return reply(code, QByteArray() + char(type.load()) + char(version.load()));
        case 0x81:
            if (type == kHardwareBootloader)
                return reply(code, QByteArray::fromHex("80000000A000")); // boot info
            return reply(code, infoPayload(rows));
        case 0x82:
            return reply(code, pattern(int(sizeof(TConfig)), 2));
        case 0x83: {
            QByteArray p = pattern(int(sizeof(TScheduleWire)), 3 + nextRow_);
            p[0] = char(nextRow_);
            nextRow_ = rows > 0 ? (nextRow_ + 1) % rows.load() : 0;
            return reply(code, p);
        }
        case 0x85:
            return reply(code, pattern(int(sizeof(TExpert)), 4));
        case 0x86:
            return reply(code, pattern(int(sizeof(TExpertWeather)), 5));
        case 0x87:
            return reply(code, pattern(int(sizeof(TChart)), 6));
        case 0x88:
            return reply(code, pattern(int(sizeof(THealth)), 7));
        default:
            return QByteArray("K"); // every write is acknowledged
        }
    }
    int nextRow_ = 0;
};

// Polls cond (on the test's thread) for up to ms, in small steps.
inline bool waitFor(const std::function<bool()>& cond, int ms) {
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// ---------------------------------------------------------------------------
// A link on a headless window, and the waits every link test uses. A rig with members
// the link thread reaches (a scripted device, say) calls stopLink() in its own
// destructor, before those members go.
struct LinkRig {
    std::shared_ptr<DeviceState> state = std::make_shared<DeviceState>();
    RecordingWindow window{state};
    std::shared_ptr<HeadlessLinkHost> host = std::make_shared<HeadlessLinkHost>(window);
    std::shared_ptr<TthdCom> link;
    const int waitMs; // the default bound of until() and untilEvent()

    explicit LinkRig(int defaultWaitMs = 5000) : waitMs(defaultWaitMs) {}
    ~LinkRig() { stopLink(); }
    LinkRig(const LinkRig&) = delete;
    LinkRig& operator=(const LinkRig&) = delete;

    // Assigned before the thread starts: device callbacks reach the link through it.
    void startLink(const QString& portText, bool debug, TthdCom::Options options) {
        link = std::make_shared<TthdCom>(state, host, portText, debug, std::move(options));
        link->Start();
    }
    void stopLink() {
        if (link) link->Terminate();
        link.reset();
        TthdCom::WaitForThreads(20000);
    }
    bool until(const std::function<bool(RecordingWindow&)>& pred, int ms = -1) {
        return host->WaitUntil([&](LinkWindow&) { return pred(window); }, ms < 0 ? waitMs : ms);
    }
    bool untilEvent(const QString& kind, const QString& text = QString(), int ms = -1) {
        return until([&](RecordingWindow& w) { return w.count(kind, text) > 0; }, ms);
    }
    bool untilStatus(const QString& text, int ms = -1) {
        return untilEvent(QStringLiteral("status"), text, ms);
    }
    // Runs f on the window's side.
    template <class F> auto onWindow(F f) {
        decltype(f(window)) r{};
        host->Inspect([&](LinkWindow&) { r = f(window); });
        return r;
    }
    QString dump() {
        return onWindow([](RecordingWindow& w) { return w.dump(); });
    }
    bool finish(int ms = 5000) {
        link->Terminate();
        return waitFor([&] { return link->Finished(); }, ms);
    }
};

// The command codes of written lines ("80", "82", ...).
inline QStringList commandCodes(const QList<QByteArray>& lines, int from = 0) {
    QStringList out;
    for (int i = from; i < lines.size(); ++i)
        out << QString::fromLatin1(lines[i].left(2));
    return out;
}

} // namespace quenda::testing
