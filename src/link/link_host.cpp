#include "link/link_host.h"

#include <QMetaObject>
#include <QThread>
#include <chrono>
#include <exception>
#include <utility>

namespace quenda {

// ---------------------------------------------------------------------------
// Typed hand-overs

bool LinkHost::Log(const QString& text) {
    return PostToWindow([text](LinkWindow& w) { w.AddLog(text); });
}

bool LinkHost::Status(const QString& text) {
    return PostToWindow([text](LinkWindow& w) { w.SetStatus(text); });
}

bool LinkHost::Progress(const QString& text, uint64_t done, uint64_t total) {
    return RunOnWindow([&](LinkWindow& w) {
        w.SetTaskbarProgress(done, total);
        w.AddLog(text);
    });
}

bool LinkHost::ConnectedChanged(bool usable) {
    return PostToWindow([usable](LinkWindow& w) { w.EnableControls(usable); });
}

bool LinkHost::LoadRecord(LinkRecord record, TransferBuffer& buffer, uint32_t servedBit) {
    return RunOnWindow([&](LinkWindow& w) {
        DeviceState& s = w.State();
        switch (record) {
        case LinkRecord::Info:
            s.loadInfo(buffer, servedBit);
            break;
        case LinkRecord::Config:
            s.loadConfig(buffer);
            break;
        case LinkRecord::Expert:
            s.loadExpert(buffer);
            break;
        case LinkRecord::ExpertWeather:
            s.loadExpertWeather(buffer);
            break;
        case LinkRecord::Chart:
        case LinkRecord::Health:
            break; // read-only records
        }
    });
}

bool LinkHost::StoreRecord(LinkRecord record, const TransferBuffer& buffer) {
    return PostToWindow([record, buffer](LinkWindow& w) {
        DeviceState& s = w.State();
        switch (record) {
        case LinkRecord::Info:
            s.storeInfo(buffer);
            w.ShowDeviceInfo();
            break;
        case LinkRecord::Config:
            s.storeConfig(buffer);
            w.ShowModeAndSettings();
            break;
        case LinkRecord::Expert:
            s.storeExpert(buffer);
            w.ShowExpertSettings();
            break;
        case LinkRecord::ExpertWeather:
            s.storeExpertWeather(buffer);
            w.ShowWeatherSettings();
            break;
        case LinkRecord::Chart:
            s.storeChart(buffer);
            w.DrawChart();
            break;
        case LinkRecord::Health:
            s.storeHealth(buffer);
            w.DrawHealth();
            break;
        }
    });
}

bool LinkHost::PickScheduleRow(TransferBuffer& buffer, bool& picked) {
    picked = false;
    return RunOnWindow([&](LinkWindow& w) { picked = w.State().pickScheduleRow(buffer); });
}

bool LinkHost::StoreScheduleRow(const TransferBuffer& buffer) {
    return PostToWindow([buffer](LinkWindow& w) { w.State().storeScheduleRow(buffer); });
}

bool LinkHost::ShowSchedule() {
    return PostToWindow([](LinkWindow& w) { w.ShowSchedule(); });
}

bool LinkHost::ChooseFirmwareFile(QString& file) {
    file.clear();
    return RunOnWindow([&](LinkWindow& w) { file = w.ChooseFirmwareFile(); });
}

// ---------------------------------------------------------------------------
// QtLinkHost

// The part of the host that links share. Everything the two threads exchange goes
// through this mutex, so the hand-over is visible to thread checkers even though the
// wake-up itself travels through Qt's event queue.
class QtLinkHost::Channel : public LinkHost {
public:
    Channel(LinkWindow& window, QtLinkHost* receiver) : window_(&window), receiver_(receiver) {}

    bool PostToWindow(WindowCall fn) override {
        auto call = std::make_shared<Call>();
        call->owned = std::move(fn);
        call->fn = &call->owned;
        call->posted = true;
        std::unique_lock lock(mutex_);
        if (closing_) return false;
        if (postedError_) {
            std::exception_ptr error = std::exchange(postedError_, nullptr);
            lock.unlock();
            std::rethrow_exception(error);
        }
        if (QThread::currentThread() == receiver_->thread()) {
            LinkWindow* w = window_;
            lock.unlock();
            (*call->fn)(*w);
            return true;
        }
        queue_.push_back(call);
        QMetaObject::invokeMethod(receiver_, "drainCalls", Qt::QueuedConnection);
        return true;
    }
    bool RunOnWindow(const WindowCall& fn) override {
        auto call = std::make_shared<Call>();
        call->fn = &fn;
        std::unique_lock lock(mutex_);
        if (closing_) return false;
        if (QThread::currentThread() == receiver_->thread()) {
            // Already on the window's thread: posting and waiting would never return.
            LinkWindow* w = window_;
            lock.unlock();
            fn(*w);
            return true;
        }
        queue_.push_back(call);
        // Posting under the mutex: BeginClose() cannot slip in between the check
        // above and the post, and the receiver cannot be destroyed meanwhile.
        QMetaObject::invokeMethod(receiver_, "drainCalls", Qt::QueuedConnection);
        done_.wait(lock, [&] { return call->state == Call::Ran || call->state == Call::Released; });
        const bool ran = call->state == Call::Ran;
        // Moved, not copied: the error must end its life on this thread, whose last use
        // of it the window's thread cannot see. A posted call's error comes first.
        std::exception_ptr error = postedError_ ? std::exchange(postedError_, nullptr) : std::move(call->error);
        lock.unlock();
        if (error) std::rethrow_exception(error);
        return ran;
    }

    // Window's thread: runs the oldest call. Every queued call posted one event, so one
    // call an event runs them all, in order, and the event loop gets its turn (timers,
    // input, painting) between hand-overs that arrive together.
    void Drain() {
        std::shared_ptr<Call> call;
        LinkWindow* w = nullptr;
        {
            std::lock_guard lock(mutex_);
            if (closing_ || queue_.empty()) return;
            call = queue_.front();
            queue_.pop_front();
            call->state = Call::Running;
            w = window_;
        }
        std::exception_ptr error;
        try {
            (*call->fn)(*w);
        } catch (...) {
            // Handed back to the link, which ends on an error outside its commands.
            error = std::current_exception();
        }
        {
            std::lock_guard lock(mutex_);
            // Nobody waits for a posted call: its error goes to the link's next call.
            if (call->posted && error && !postedError_) postedError_ = std::move(error);
            else call->error = std::move(error);
            call->state = Call::Ran;
        }
        done_.notify_all();
    }

    // Window's thread.
    void BeginClose() {
        {
            std::lock_guard lock(mutex_);
            if (closing_) return;
            closing_ = true;
            window_ = nullptr;
            receiver_ = nullptr;
            for (const auto& call : queue_)
                call->state = Call::Released;
            queue_.clear();
        }
        done_.notify_all();
    }

    bool Closing() const {
        std::lock_guard lock(mutex_);
        return closing_;
    }

private:
    struct Call {
        enum State { Queued, Running, Ran, Released };
        const WindowCall* fn = nullptr; // the caller waits, so its function outlives the call
        WindowCall owned;               // a posted call's own function; fn points at it
        bool posted = false;
        State state = Queued;
        std::exception_ptr error;
    };

    mutable std::mutex mutex_;
    std::condition_variable done_;
    LinkWindow* window_;
    QtLinkHost* receiver_;
    bool closing_ = false;
    std::deque<std::shared_ptr<Call>> queue_;
    std::exception_ptr postedError_;
};

QtLinkHost::QtLinkHost(LinkWindow& window, QObject* parent)
    : QObject(parent), channel_(std::make_shared<Channel>(window, this)) {}

QtLinkHost::~QtLinkHost() {
    channel_->BeginClose();
}

std::shared_ptr<LinkHost> QtLinkHost::Host() const {
    return channel_;
}

void QtLinkHost::BeginClose() {
    channel_->BeginClose();
}

bool QtLinkHost::Closing() const {
    return channel_->Closing();
}

void QtLinkHost::drainCalls() {
    channel_->Drain();
}

// ---------------------------------------------------------------------------
// HeadlessLinkHost

HeadlessLinkHost::HeadlessLinkHost(LinkWindow& window) : window_(window) {}

bool HeadlessLinkHost::RunOnWindow(const WindowCall& fn) {
    {
        std::lock_guard lock(mutex_);
        if (closed_) return false;
        fn(window_);
        ++calls_;
    }
    changed_.notify_all();
    return true;
}

void HeadlessLinkHost::Close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
}

bool HeadlessLinkHost::Closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

int HeadlessLinkHost::Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

void HeadlessLinkHost::Inspect(const WindowCall& fn) {
    std::lock_guard lock(mutex_);
    fn(window_);
}

bool HeadlessLinkHost::WaitUntil(const std::function<bool(LinkWindow&)>& pred, int timeoutMs) {
    // Short slices: the condition may also turn on something that is not a call.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock lock(mutex_);
    while (!pred(window_)) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        changed_.wait_for(lock, std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace quenda
