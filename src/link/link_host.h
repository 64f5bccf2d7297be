// How the link thread reaches the window.
//
// Every hand-over is a synchronous call: the link thread asks its host to run a
// function on the window's thread and waits until it has run. The window side is the
// narrow LinkWindow interface; the host decides how the call crosses threads:
// QtLinkHost posts it into the window's event loop, HeadlessLinkHost runs it on the
// caller under a mutex (tests, tools).
//
// Closing: once the window starts to close, its host refuses every further call
// (RunOnWindow returns false without running anything) and releases calls that were
// posted but not yet run. The link takes a refused call as the order to end.
#pragma once

#include "link/device_state.h"

#include <QObject>
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace quenda {

// The window's side of the link: implemented by the main window, called only on the
// window's thread.
class LinkWindow {
public:
    virtual ~LinkWindow() = default;

    // The block the window owns; the link's copy operations run on it.
    virtual DeviceState& State() = 0;

    virtual void AddLog(const QString& text) = 0;
    virtual void SetStatus(const QString& text) = 0;
    virtual void EnableControls(bool connected) = 0;
    virtual void ShowDeviceInfo() = 0;
    virtual void ShowModeAndSettings() = 0;
    virtual void ShowExpertSettings() = 0;
    virtual void ShowWeatherSettings() = 0;
    virtual void ShowSchedule() = 0;
    virtual void DrawChart() = 0;
    virtual void DrawHealth() = 0;

    // Firmware transfer support; a window without a taskbar indicator or a firmware
    // dialog keeps these defaults.
    virtual void SetTaskbarProgress(uint64_t done, uint64_t total) {
        (void)done;
        (void)total;
    }
    // The chosen firmware file, empty when the user cancels.
    virtual QString ChooseFirmwareFile() { return {}; }
    // Raises the window (restored when minimised), so that a pairing prompt of the
    // system appears in front of it.
    virtual void BringToFront() {}
    // The firmware transfer has ended (sent, failed or cut short).
    virtual void FirmwareTransferEnded() {}
};

// The records the link reads and writes whole.
enum class LinkRecord { Info, Config, Expert, ExpertWeather, Chart, Health };

class LinkHost {
public:
    using WindowCall = std::function<void(LinkWindow&)>;

    virtual ~LinkHost() = default;

    // Runs fn on the window's thread and returns once it has run. False: the window
    // is closing or gone, and fn did not run (and never will).
    virtual bool RunOnWindow(const WindowCall& fn) = 0;
    // Like RunOnWindow, but a host with an event loop queues fn and returns at once: the
    // link goes on with the wire while the window shows what it handed over. Queued
    // calls run in order, before any later call. False: refused, as above.
    virtual bool PostToWindow(WindowCall fn) { return RunOnWindow(fn); }

    // ---- Typed hand-overs; each is one call to the window and returns its result.
    // The ones that bring the window something and take nothing back are posted. ----
    bool Log(const QString& text);
    bool Status(const QString& text);
    // Taskbar progress, then the text as a log line.
    bool Progress(const QString& text, uint64_t done, uint64_t total);
    bool ConnectedChanged(bool usable);

    // Record into the transfer buffer (clears the write bit; for Info, servedBit is
    // the bit being served). Chart and Health have no load.
    bool LoadRecord(LinkRecord record, TransferBuffer& buffer, uint32_t servedBit = 0);
    // Transfer buffer into the record (clears the read bit, dropped while a write of
    // the record is pending), then the record's display is refreshed.
    bool StoreRecord(LinkRecord record, const TransferBuffer& buffer);
    // The lowest marked schedule row into the buffer; picked is false (and
    // rqSetSchedule cleared) when no row is marked.
    bool PickScheduleRow(TransferBuffer& buffer, bool& picked);
    bool StoreScheduleRow(const TransferBuffer& buffer);
    bool ShowSchedule();
    bool ChooseFirmwareFile(QString& file);
};

// The host for a window with a Qt event loop. Lives on the window's thread and is
// owned by the window; links hold Host(), which outlives this object safely.
//
// A call crosses by a queued invocation of drainCalls() and a wait on a condition
// variable of its own (not a blocking queued connection): the post happens under the
// same mutex as the closing flag, so no call can be posted once closing has begun,
// and BeginClose() releases every call that was posted but has not run.
class QtLinkHost : public QObject {
    Q_OBJECT
public:
    explicit QtLinkHost(LinkWindow& window, QObject* parent = nullptr);
    ~QtLinkHost() override; // begins closing

    std::shared_ptr<LinkHost> Host() const;

    // Window's thread: from now on every hand-over is refused, and waiting links are
    // released. Call it before the bounded wait for the link at shutdown, so that
    // the link's last calls do not wait for an event loop that no longer runs.
    void BeginClose();
    bool Closing() const;

private slots:
    void drainCalls();

private:
    class Channel;
    std::shared_ptr<Channel> channel_;
};

// Runs every hand-over directly on the calling (link) thread while holding a mutex
// that stands in for the window's thread; code that inspects or edits the window's
// side holds the same mutex through Inspect().
class HeadlessLinkHost : public LinkHost {
public:
    explicit HeadlessLinkHost(LinkWindow& window);

    bool RunOnWindow(const WindowCall& fn) override;

    // Refuses every later call, as a closing window does.
    void Close();
    bool Closed() const;
    // Calls that ran so far.
    int Calls() const;

    // Runs fn "on the window's thread".
    void Inspect(const WindowCall& fn);
    // Waits until pred, evaluated on the window's side after every call, holds.
    bool WaitUntil(const std::function<bool(LinkWindow&)>& pred, int timeoutMs);

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    LinkWindow& window_;
    bool closed_ = false;
    int calls_ = 0;
};

} // namespace quenda
