#include "link/link_thread.h"

#include "lang/texts.h"
#include "link/device_codes.h"
#include "link/port_access.h"
#include "link/qt_serial_port.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <optional>
#include <thread>
#include <utility>

namespace quenda {

namespace {

// The identity this tool works with.
const QString kDeviceName = QStringLiteral("Drevanilux");
const QString kApplicationName = QStringLiteral("Drevanilux 2.x.5");
const QString kWrongVersionPrefix = QStringLiteral("Drevanilux 2.x.");

constexpr uint8_t kNoAnswer = kHardwareNone;

constexpr int nInfo = sizeof(TInfo), nConfig = sizeof(TConfig), nExpert = sizeof(TExpert),
              nExpertWeather = sizeof(TExpertWeather), nChart = sizeof(TChart), nHealth = sizeof(THealth),
              nScheduleRow = sizeof(TScheduleWire), nDeviceId = sizeof(TDeviceId),
              nBootInfo = sizeof(TBootInfo);

// Live link threads of the process. Never destroyed: a thread may still be leaving
// while static objects are torn down.
struct ThreadCount {
    std::mutex mutex;
    std::condition_variable changed;
    int live = 0;
};
ThreadCount& threadCount() {
    static auto* count = new ThreadCount;
    return *count;
}

// Clears request bits when a step ends, also when it is cut short.
class ClearOnExit {
public:
    ClearOnExit(DeviceState& state, uint32_t bits) : state_(state), bits_(bits) {}
    ~ClearOnExit() { state_.clearRequests(bits_); }
    ClearOnExit(const ClearOnExit&) = delete;
    ClearOnExit& operator=(const ClearOnExit&) = delete;

private:
    DeviceState& state_;
    uint32_t bits_;
};

} // namespace

// ---------------------------------------------------------------------------
// Creation and the window's side

std::shared_ptr<TthdCom> TthdCom::Create(std::shared_ptr<DeviceState> state, std::shared_ptr<LinkHost> host,
                                         const QString& portText, bool debug, Options options) {
    auto link =
        std::make_shared<TthdCom>(std::move(state), std::move(host), portText, debug, std::move(options));
    link->Start();
    return link;
}

TthdCom::TthdCom(std::shared_ptr<DeviceState> state, std::shared_ptr<LinkHost> host, const QString& portText,
                 bool debug, Options options)
    : state_(std::move(state)), host_(std::move(host)), options_(std::move(options)),
      wantedName_(PortNameOf(portText)), wantedDebug_(debug) {
    if (!options_.makePort) options_.makePort = [] { return std::make_unique<QtSerialPort>(); };
}

TthdCom::~TthdCom() = default;

void TthdCom::Start() {
    if (started_.exchange(true)) return;
    auto& count = threadCount();
    {
        std::lock_guard lock(count.mutex);
        ++count.live;
    }
    // The thread holds the link (and through it the host and the state block) until it
    // has left, so nothing it touches can be freed under it.
    std::thread([self = shared_from_this()]() mutable {
        self->Run();
        self.reset();
        auto& c = threadCount();
        {
            std::lock_guard lock(c.mutex);
            --c.live;
        }
        c.changed.notify_all();
    }).detach();
}

bool TthdCom::WaitForThreads(int timeoutMs) {
    auto& count = threadCount();
    std::unique_lock lock(count.mutex);
    return count.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return count.live == 0; });
}

void TthdCom::SetPortName(const QString& portText, bool debug) {
    std::lock_guard lock(state_->StateLock);
    wantedName_ = PortNameOf(portText);
    wantedDebug_ = debug;
}

bool TthdCom::WaitFinished(int checks, int stepMs) const {
    for (int i = 0; i < checks && !Finished(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
    return Finished();
}

QString TthdCom::WantedPortName() const {
    std::lock_guard lock(state_->StateLock);
    return wantedName_;
}

void TthdCom::Terminate() {
    {
        std::lock_guard lock(sleepMutex_);
        terminated_ = true;
    }
    sleepWake_.notify_all();
    state_->wakeWaiters(); // an idle pass ends at once
}

QString TthdCom::PortNameOf(const QString& portText) {
    const qsizetype blank = portText.indexOf(QLatin1Char(' '));
    return blank < 0 ? portText : portText.left(blank);
}

QString TthdCom::HardwareName(int hardwareType) {
    static const char* const kFamilies[] = {"Drevanilux 1.x", "Ostrevik 1.x", "Drevanilux 2.x",
                                            "Ostrevik 2.x", "Pellumar 1.x"};
    if (hardwareType >= 0 && hardwareType <= 9) return QString::fromLatin1(kFamilies[hardwareType / 2]);
    return QString::number(hardwareType);
}

// ---------------------------------------------------------------------------
// Hand-overs and waits

void TthdCom::Hand(bool accepted) {
    if (accepted) return;
    Terminate();
    throw Ended{};
}

void TthdCom::Log(const QString& text) {
    Hand(host_->Log(text));
}

void TthdCom::Status(const QString& text) {
    Hand(host_->Status(text));
}

void TthdCom::Progress(const QString& text, uint64_t done, uint64_t total) {
    Hand(host_->Progress(text, done, total));
}

void TthdCom::ConnectedChanged(bool usable) {
    Hand(host_->ConnectedChanged(usable));
}

// The protocol reports through this and must not be unwound; a refusal is noticed at
// the link's next termination check.
void TthdCom::LogFromProtocol(const QString& text) {
    if (!host_->Log(text)) Terminate();
}

void TthdCom::CheckTerminated() {
    if (terminated_.load()) throw Ended{};
}

void TthdCom::Sleep(int ms) {
    if (ms <= 0) return;
    std::unique_lock lock(sleepMutex_);
    sleepWake_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return terminated_.load(); });
}

void TthdCom::WaitASecond() {
    for (int i = 0; i < kWaitSteps; ++i) {
        CheckTerminated();
        Sleep(options_.timing.waitStepMs);
    }
    CheckTerminated();
}

bool TthdCom::Pending(uint32_t bit, uint32_t blockers) {
    const uint32_t r = state_->requests();
    return (r & bit) && !(r & blockers);
}

// ---------------------------------------------------------------------------
// The thread

void TthdCom::Run() {
    // The serial port's notifiers need an event dispatcher on this thread; a thread not
    // started by QThread gets one with its first event-loop object.
    if (QCoreApplication::instance()) QEventLoop dispatcherForThisThread;

    try {
        port_ = options_.makePort();
        protocol_ = std::make_unique<Protocol>(*port_, [this](const QString& s) { LogFromProtocol(s); });
        ConnectSequence();
        while (Pass()) {
        }
    } catch (const Ended&) {
    } catch (const std::exception& e) {
        host_->Log(QString::fromLocal8Bit(e.what()));
    }
    EndSequence();
}

void TthdCom::ConnectSequence() {
    state_->assignRequests(0);
    linesToRead_.clear();
    writeFailures_.clear();
    lastHardwareType_ = kNoAnswer;
    lastVersion_ = kNoAnswer;
    isApplication_ = false;
    isBootloader_ = false;
    {
        std::lock_guard lock(state_->StateLock);
        portName_ = wantedName_;
        protocol_->setDebug(wantedDebug_);
    }
    Status(MsgFmt(QStringLiteral("ConnectingTo"), {portName_}));
    for (int attempts = kOpenAttempts; !port_->open(portName_);) {
        Log(port_->errorString());
        // How to get the permission, once per connection attempt.
        if (attempts == kOpenAttempts)
            if (const QString advice = PortAccessAdvice(portName_); !advice.isEmpty()) Log(advice);
        WaitASecond();
        if (--attempts == 0) {
            Status(MsgFmt(QStringLiteral("ErrorConnectingTo"), {portName_}));
            throw Ended{};
        }
        Status(Msg(QStringLiteral("TryingAgain")));
        CheckTerminated();
    }
    Status(MsgFmt(QStringLiteral("ConnectedTo"), {portName_}));
    Identify();
    passes_ = 0;
    pollHeld_ = false;
    nextPoll_ = std::chrono::steady_clock::now() + PollInterval();
}

std::chrono::milliseconds TthdCom::PollInterval() const {
    return std::chrono::milliseconds(kPollPasses * options_.timing.idleSleepMs);
}

bool TthdCom::Pass() {
    QString wanted;
    bool debug = false;
    {
        std::lock_guard lock(state_->StateLock);
        wanted = wantedName_;
        debug = wantedDebug_;
    }
    protocol_->setDebug(debug);

    bool reconnect = false;
    if (wanted != portName_) {
        ConnectedChanged(false);
        port_->close();
        reconnect = true;
    } else if (lastHardwareType_ == kNoAnswer) {
        Status(Msg(QStringLiteral("ConnectionError")));
        WaitASecond();
        port_->close();
        reconnect = true;
    } else {
        // Read before serving: a raise from now on cuts the idle wait short.
        const uint64_t seen = state_->raises();
        // What woke the link goes first: a poll falling due in the same pass would put
        // its reads (the configuration read outranks an edit) ahead of the user's edit.
        const auto passStart = std::chrono::steady_clock::now();
        const bool served = ServeOne();
        const bool justEdited = editSentAt_ >= passStart;
        // The poll waits for 25 passes and for the time 25 idle passes take, so passes
        // cut short by a drag's requests do not speed it up. While the user edits it goes
        // right after an edit, when the next one is least likely to find its replies on
        // the line; its pace is kept from when it fell due.
        const auto now = std::chrono::steady_clock::now();
        if (++passes_ >= kPollPasses && now >= nextPoll_) {
            const bool editing = now - editSentAt_ < kPollDeferral;
            if (editing && !justEdited && now - nextPoll_ < kPollDeferral) {
                pollHeld_ = true;
            } else {
                passes_ = 0;
                if (isApplication_)
                    state_->raise(rqGetInfo | rqGetConfig); // served from the next pass on
                else if (isBootloader_)
                    state_->raise(rqFirmwareUpdate);
                else
                    Identify();
                nextPoll_ = (std::exchange(pollHeld_, false) ? nextPoll_ : now) + PollInterval();
            }
        }
        if (!served)
            state_->waitForRaise(seen, std::chrono::milliseconds(options_.timing.idleSleepMs),
                                 [this] { return terminated_.load(); });
    }

    if (terminated_.load()) return false;
    if (reconnect) ConnectSequence();
    return true;
}

// The first raised request, highest priority first; writes go ahead of reads of the
// same record, and a read waits while a write of its record is pending.
bool TthdCom::ServeOne() {
    if (Pending(rqLoadReef)) {
        SpecialFunction("LoadReef", rqLoadReef, Special::LoadReef, rqRefreshAll); // the preset changes every record
        return true;
    }
    if (Pending(rqSetConfig)) {
        WriteRecord(Cmd::SetConfig, nConfig, "SetConfig", LinkRecord::Config, rqSetConfig, rqGetConfig);
        return true;
    }
    if (Pending(rqGetConfig, rqSetConfig)) {
        ReadRecord(Cmd::GetConfig, nConfig, "GetConfig", LinkRecord::Config);
        return true;
    }
    for (const uint32_t bit : {rqSetTime, rqSetChannels, rqSetRow}) {
        if (Pending(bit)) {
            SetInfo(bit);
            return true;
        }
    }
    if (Pending(rqGetInfo, rqSetTime | rqSetChannels | rqSetRow)) {
        ReadRecord(Cmd::GetInfo, nInfo, "GetInfo", LinkRecord::Info);
        return true;
    }
    if (Pending(rqSetExpert)) {
        WriteRecord(Cmd::SetExpert, nExpert, "SetExpert", LinkRecord::Expert, rqSetExpert, rqGetExpert);
        return true;
    }
    if (Pending(rqGetExpert, rqSetExpert)) {
        ReadRecord(Cmd::GetExpert, nExpert, "GetExpert", LinkRecord::Expert);
        return true;
    }
    if (Pending(rqSetSchedule)) {
        UploadScheduleRow();
        return true;
    }
    if (Pending(rqGetSchedule, rqSetSchedule)) {
        DownloadSchedule();
        return true;
    }
    if (Pending(rqGetChart)) {
        Status(Msg(QStringLiteral("ReadingChart")));
        ReadRecord(Cmd::GetChart, nChart, "GetChart", LinkRecord::Chart, true);
        return true;
    }
    if (Pending(rqGetHealth)) {
        ReadRecord(Cmd::GetHealth, nHealth, "GetHealth", LinkRecord::Health, true);
        return true;
    }
    if (Pending(rqSetExpertWeather)) {
        WriteRecord(Cmd::SetExpertWeather, nExpertWeather, "SetExpertWeather", LinkRecord::ExpertWeather,
                    rqSetExpertWeather, rqGetExpertWeather);
        return true;
    }
    if (Pending(rqGetExpertWeather, rqSetExpertWeather)) {
        ReadRecord(Cmd::GetExpertWeather, nExpertWeather, "GetExpertWeather", LinkRecord::ExpertWeather);
        return true;
    }
    if (Pending(rqSaveEEPROM)) {
        SpecialFunction("SaveEEPROM", rqSaveEEPROM, Special::SaveEEPROM);
        return true;
    }
    if (Pending(rqToggleCloud)) {
        SpecialFunction("ToggleCloud", rqToggleCloud, Special::ToggleCloud);
        return true;
    }
    if (Pending(rqToggleStorm)) {
        SpecialFunction("ToggleStorm", rqToggleStorm, Special::ToggleStorm);
        return true;
    }
    if (Pending(rqFirmwareUpdate)) {
        FirmwareStep();
        return true;
    }
    return false;
}

void TthdCom::ReadRecord(uint8_t code, int n, const char* name, LinkRecord record, bool reportDone) {
    protocol_->announce(name);
    const uint32_t bit = ReadBitOf(record);
    state_->beginRead(bit);
    const bool ok = protocol_->Query(code, n);
    if (ok) {
        // Served now: the window may store the record later, and the next pass must not
        // read it again meanwhile, unless it was asked for again while on the line.
        state_->finishRead(bit);
        if (record == LinkRecord::Info) state_->infoOnItsWay();
        Hand(host_->StoreRecord(record, protocol_->buffer()));
    }
    if (reportDone) Status(Msg(QStringLiteral("Done")));
    if (!ok) Identify(); // the bit stays raised, so the read is tried again later
}

uint32_t TthdCom::ReadBitOf(LinkRecord record) {
    switch (record) {
    case LinkRecord::Info: return rqGetInfo;
    case LinkRecord::Config: return rqGetConfig;
    case LinkRecord::Expert: return rqGetExpert;
    case LinkRecord::ExpertWeather: return rqGetExpertWeather;
    case LinkRecord::Chart: return rqGetChart;
    case LinkRecord::Health: return rqGetHealth;
    }
    return 0;
}

bool TthdCom::WriteFailed(bool sent, const QString& what) {
    if (sent) {
        writeFailures_.erase(what);
        return false;
    }
    const int failures = ++writeFailures_[what];
    if (failures < kWriteTries) {
        Log(QStringLiteral("%1 was not acknowledged by the device; trying again (%2 of %3).")
                .arg(what)
                .arg(failures + 1)
                .arg(kWriteTries));
        return true;
    }
    writeFailures_.erase(what);
    Log(QStringLiteral("%1 was not acknowledged by the device; reading back what it holds.").arg(what));
    return false;
}

// Loading clears the write bit; a failed write raises it again while tries are left,
// and then the read, so the window shows what the device really holds.
void TthdCom::WriteRecord(uint8_t code, int n, const char* name, LinkRecord record, uint32_t writeBit,
                          uint32_t readBit) {
    TransferBuffer& b = protocol_->buffer();
    Hand(host_->LoadRecord(record, b));
    protocol_->announce(name);
    const bool sent = protocol_->Send(b, code, n);
    const bool retry = WriteFailed(sent, QString::fromLatin1(name));
    if (sent) return;
    state_->raise(retry ? writeBit : readBit);
    Identify();
}

void TthdCom::SetInfo(uint32_t servedBit) {
    TransferBuffer& b = protocol_->buffer();
    // The copy the window kept when it raised the bit; without one (a retry, a raise
    // not made by the window) the window's thread loads the record.
    if (!state_->takeInfoCopy(b, servedBit)) Hand(host_->LoadRecord(LinkRecord::Info, b, servedBit));
    protocol_->announce("SetInfo");
    DeviceState::applySetInfoMask(b, servedBit);
    const bool sent = protocol_->Send(b, Cmd::SetInfo, nInfo);
    editSentAt_ = std::chrono::steady_clock::now();
    const bool retry = WriteFailed(sent, QStringLiteral("SetInfo"));
    if (sent) return;
    state_->raise(retry ? servedBit : uint32_t(rqGetInfo));
    Identify();
}

void TthdCom::SpecialFunction(const char* name, uint32_t bit, uint8_t function, uint32_t raiseAfter) {
    protocol_->announce(name);
    state_->clearRequests(bit);
    if (raiseAfter) state_->raise(raiseAfter);
    TransferBuffer& b = protocol_->buffer();
    b.Payload[0] = function;
    if (!protocol_->Send(b, Cmd::Special, 1)) Identify();
}

void TthdCom::DownloadSchedule() {
    // The line count is the window's TInfo's. Only while an Info record is on its way
    // there does the link wait for the window to have stored it.
    int rows = 0;
    if (!state_->settledRowCount(rows))
        Hand(host_->RunOnWindow([&](LinkWindow& w) { rows = w.State().Info.RowCount; }));
    Status(Msg(QStringLiteral("ReadingSchedule")));
    // A download that was cut short goes on where it stopped; else every line is due.
    auto missing = [&] { return std::count(linesToRead_.begin(), linesToRead_.end(), uint8_t(1)); };
    if (int(linesToRead_.size()) != rows || missing() == 0) linesToRead_.assign(std::size_t(rows), 1);
    state_->beginRead(rqGetSchedule);
    bool failed = false;
    // Each line goes to the window while the next one is on the wire, so waking the
    // window's thread costs the download no time.
    std::optional<TransferBuffer> unhanded;
    bool handed = true;
    const auto handOver = [&] {
        if (unhanded) handed = host_->StoreScheduleRow(*std::exchange(unhanded, std::nullopt)) && handed;
    };
    try {
        for (int i = 0; i < rows && missing() > 0; ++i) {
            protocol_->announce("GetSchedule");
            const bool ok = protocol_->Query(Cmd::GetSchedule, nScheduleRow, handOver);
            Hand(handed);
            if (!ok) {
                failed = true;
                break;
            }
            const int index = static_cast<int8_t>(protocol_->buffer().Payload[0]);
            if (index >= 0 && index < rows) linesToRead_[std::size_t(index)] = 0;
            unhanded = protocol_->buffer();
            CheckTerminated();
        }
        handOver();
        Hand(handed);
        Hand(host_->ShowSchedule());
        Status(Msg(QStringLiteral("Done")));
    } catch (const Ended&) {
        handOver(); // what was read is the device's, also when the link ends
        state_->clearRequests(rqGetSchedule); // the link ends: nothing is left to go on
        throw;
    }
    // An incomplete download keeps its request, so the next pass reads the rest;
    // until then the lines not read are never uploaded. A Refresh during the download
    // keeps it too, and every line is read once more.
    if (!failed && missing() == 0) {
        linesToRead_.clear();
        state_->finishRead(rqGetSchedule);
    }
    if (failed) Identify();
}

void TthdCom::UploadScheduleRow() {
    TransferBuffer& b = protocol_->buffer();
    bool picked = false;
    Hand(host_->PickScheduleRow(b, picked)); // no marked row left: the bit is cleared
    if (!picked) return;
    protocol_->announce("SetSchedule");
    const int line = static_cast<int8_t>(b.Payload[0]);
    const QString what = QStringLiteral("SetSchedule (line %1)").arg(line);
    const bool sent = protocol_->Send(b, Cmd::SetSchedule, nScheduleRow);
    const bool retry = WriteFailed(sent, what);
    if (sent) return;
    if (retry)
        state_->markRowsForUpload(line, line);
    else
        state_->forgetRow(line); // read again; not shown as stored meanwhile
    Identify();
}

void TthdCom::FirmwareStep() {
    ClearOnExit clear(*state_, rqFirmwareUpdate);
    if (isBootloader_ && GetBootInfo())
        RunFirmwareUpdate();
    else
        StartBootloader();
    Identify();
}

bool TthdCom::GetBootInfo() {
    protocol_->announce("GetBootInfo");
    if (!protocol_->Query(Cmd::BootGetInfo, nBootInfo)) return false;
    TBootInfo info;
    std::memcpy(&info, protocol_->buffer().Payload, sizeof info);
    pageSize_ = info.PageSize;
    flashSize_ = info.FlashSize;
    return true;
}

void TthdCom::StartBootloader() {
    protocol_->announce("StartBootloader");
    try {
        protocol_->SendRaw(QByteArrayLiteral("7F00"));
        Sleep(options_.timing.bootloaderStartMs);
        Identify();
    } catch (const std::exception& e) {
        Log(QString::fromLocal8Bit(e.what()));
    }
}

void TthdCom::Identify() {
    protocol_->announce("GetDevice");
    try {
        uint8_t type = kNoAnswer, version = kNoAnswer;
        for (int attempt = 1;; ++attempt) {
            if (protocol_->Query(Cmd::GetDevice, nDeviceId)) {
                type = protocol_->buffer().Payload[0];
                version = protocol_->buffer().Payload[1];
                break;
            }
            Log(Msg(QStringLiteral("TimeoutWhileWaiting")));
            type = version = kNoAnswer;
            // A silent device closed the port: one five-second try is enough.
            if (attempt >= kIdentifyAttempts || terminated_.load() || !port_->isOpen()) break;
        }
        if (type == lastHardwareType_ && version == lastVersion_) return;

        lastHardwareType_ = type;
        lastVersion_ = version;
        isApplication_ = false;
        isBootloader_ = false;
        state_->assignRequests(0);

        if (type == kHardwareApplication) {
            if (version == kSupportedVersion) {
                ConnectedChanged(true);
                state_->assignRequests(rqOnConnect);
                Status(MsgFmt(QStringLiteral("ConnectedToOn"), {kApplicationName, portName_}));
                isApplication_ = true;
            } else {
                ConnectedChanged(false);
                Status(MsgFmt(QStringLiteral("DetectedWrongVersionOn"),
                              {kWrongVersionPrefix + QString::number(version), portName_}));
            }
            return;
        }
        ConnectedChanged(false);
        if (type == kHardwareBootloader) {
            Status(MsgFmt(QStringLiteral("ConnectedToBootloaderOn"), {kDeviceName, portName_}));
            isBootloader_ = true;
        } else if (type != kNoAnswer) {
            Status(MsgFmt(QStringLiteral("OtherHardware"), {HardwareName(type)}));
            Terminate();
        }
    } catch (const std::exception& e) {
        Log(QString::fromLocal8Bit(e.what()));
    }
}

void TthdCom::EndSequence() {
    protocol_.reset();
    if (port_) port_->close();
    port_.reset();
    const QString name = portName_.isEmpty() ? WantedPortName() : portName_;
    const QString text = MsgFmt(QStringLiteral("DisconnectedFrom"), {name});
    // Finished is set on the window's thread together with the last report, so the
    // window sees no running link when it disables its controls, and cannot start a
    // new link that this old report would then disable.
    try {
        host_->RunOnWindow([&](LinkWindow& w) {
            finished_ = true;
            w.SetStatus(text);
            w.EnableControls(false);
        });
    } catch (...) {
        // The window failed on the last report; the link ends all the same.
    }
    finished_ = true;
}

} // namespace quenda
