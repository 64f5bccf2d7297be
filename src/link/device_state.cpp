#include "link/device_state.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quenda {

namespace {
template <class R> void copyIn(R& rec, const TransferBuffer& b) { std::memcpy(&rec, b.Payload, sizeof(R)); }
template <class R> void copyOut(const R& rec, TransferBuffer& b) { std::memcpy(b.Payload, &rec, sizeof(R)); }
static_assert(sizeof(TransferBuffer::Payload) >= sizeof(TExpertWeather) &&
              sizeof(TransferBuffer::Payload) >= sizeof(TChart) &&
              sizeof(TransferBuffer::Payload) >= sizeof(TFirmwareBlock));
} // namespace

DeviceState::DeviceState() = default;

void DeviceState::raiseLocked(uint32_t bits) {
    requests_ |= bits;
    raisedSinceRead_ |= bits;
    ++raises_;
}

void DeviceState::raise(uint32_t bits) {
    {
        std::lock_guard g(StateLock);
        raiseLocked(bits);
    }
    raised_.notify_all();
}

void DeviceState::raiseFromWindow(uint32_t bits) {
    {
        std::lock_guard g(StateLock);
        if (bits & (rqSetTime | rqSetChannels | rqSetRow)) {
            infoCopy_ = Info;
            infoCopied_ = true;
        }
        raiseLocked(bits);
    }
    raised_.notify_all();
}

void DeviceState::assignRequests(uint32_t word) {
    {
        std::lock_guard g(StateLock);
        requests_ = word;
        raisedSinceRead_ |= word;
        ++raises_;
    }
    raised_.notify_all();
}

uint64_t DeviceState::raises() {
    std::lock_guard g(StateLock);
    return raises_;
}

void DeviceState::waitForRaise(uint64_t seen, std::chrono::milliseconds timeout,
                               const std::function<bool()>& stop) {
    std::unique_lock lock(StateLock);
    raised_.wait_for(lock, timeout, [&] { return raises_ != seen || stop(); });
}

void DeviceState::wakeWaiters() {
    { std::lock_guard g(StateLock); } // a waiter between its check and its sleep cannot miss this
    raised_.notify_all();
}

bool DeviceState::takeInfoCopy(TransferBuffer& b, uint32_t servedBit) {
    std::lock_guard g(StateLock);
    if (!infoCopied_ || !(requests_ & servedBit)) return false;
    requests_ &= ~servedBit;
    copyOut(infoCopy_, b);
    return true;
}
void DeviceState::clearRequests(uint32_t bits) {
    std::lock_guard g(StateLock);
    requests_ &= ~bits;
}
void DeviceState::beginRead(uint32_t bit) {
    std::lock_guard g(StateLock);
    raisedSinceRead_ &= ~bit;
}
void DeviceState::finishRead(uint32_t bit) {
    std::lock_guard g(StateLock);
    requests_ &= ~(bit & ~raisedSinceRead_);
}
bool DeviceState::isRaised(uint32_t bits) {
    std::lock_guard g(StateLock);
    return (requests_ & bits) != 0;
}
uint32_t DeviceState::requests() {
    std::lock_guard g(StateLock);
    return requests_;
}

void DeviceState::markRowsForUpload(int first, int last) {
    {
        std::lock_guard g(StateLock);
        const int n = static_cast<int>(UploadMarks.size());
        first = std::max(first, 0);
        last = std::min(last, n - 1);
        for (int i = first; i <= last; ++i) UploadMarks[static_cast<std::size_t>(i)] = 1;
        raiseLocked(rqSetSchedule);
    }
    raised_.notify_all();
}

bool DeviceState::isMarked(int row) {
    std::lock_guard g(StateLock);
    return row >= 0 && row < static_cast<int>(UploadMarks.size()) && UploadMarks[static_cast<std::size_t>(row)];
}

bool DeviceState::isRead(int row) {
    std::lock_guard g(StateLock);
    return row >= 0 && row < static_cast<int>(ReadMarks.size()) && ReadMarks[static_cast<std::size_t>(row)];
}

bool DeviceState::allRead() {
    std::lock_guard g(StateLock);
    return std::all_of(ReadMarks.begin(), ReadMarks.end(), [](uint8_t m) { return m != 0; });
}

void DeviceState::forgetRow(int row) {
    std::lock_guard g(StateLock);
    if (row >= 0 && row < static_cast<int>(ReadMarks.size())) {
        ReadMarks[static_cast<std::size_t>(row)] = 0;
        UploadMarks[static_cast<std::size_t>(row)] = 0;
    }
    raiseLocked(rqGetSchedule);
}

// The link clears a read's bit when the reply arrives, before the record reaches the
// window; a read raised again in between (Refresh) must stay raised here.
void DeviceState::storeInfo(const TransferBuffer& b) {
    std::lock_guard g(StateLock);
    if (infoOnItsWay_ > 0) --infoOnItsWay_;
    if (requests_ & (rqSetTime | rqSetChannels | rqSetRow)) return; // the user's newer edit wins
    copyIn(Info, b);
    infoCopied_ = false; // a later retry of a write loads the record as it is now
    resizeScheduleLocked(Info.RowCount);
}

void DeviceState::infoOnItsWay() {
    std::lock_guard g(StateLock);
    ++infoOnItsWay_;
}

bool DeviceState::settledRowCount(int& rows) {
    std::lock_guard g(StateLock);
    if (infoOnItsWay_ > 0) return false;
    rows = Info.RowCount;
    return true;
}

void DeviceState::loadInfo(TransferBuffer& b, uint32_t servedBit) {
    std::lock_guard g(StateLock);
    requests_ &= ~servedBit;
    copyOut(Info, b);
}

// A read is served; while a write of the same record is pending, the user's copy is
// newer and stays.
template <class R>
void DeviceState::storeRecord(R& rec, const TransferBuffer& b, uint32_t writeBit) {
    std::lock_guard g(StateLock);
    if (!(requests_ & writeBit)) copyIn(rec, b);
}
template <class R> void DeviceState::loadRecord(const R& rec, TransferBuffer& b, uint32_t writeBit) {
    std::lock_guard g(StateLock);
    requests_ &= ~writeBit;
    copyOut(rec, b);
}

void DeviceState::storeConfig(const TransferBuffer& b) { storeRecord(Config, b, rqSetConfig); }
void DeviceState::loadConfig(TransferBuffer& b) { loadRecord(Config, b, rqSetConfig); }
void DeviceState::storeExpert(const TransferBuffer& b) { storeRecord(Expert, b, rqSetExpert); }
void DeviceState::loadExpert(TransferBuffer& b) { loadRecord(Expert, b, rqSetExpert); }
void DeviceState::storeExpertWeather(const TransferBuffer& b) {
    storeRecord(ExpertWeather, b, rqSetExpertWeather);
}
void DeviceState::loadExpertWeather(TransferBuffer& b) { loadRecord(ExpertWeather, b, rqSetExpertWeather); }
void DeviceState::storeChart(const TransferBuffer& b) { storeRecord(Chart, b, 0); }
void DeviceState::storeHealth(const TransferBuffer& b) { storeRecord(Health, b, 0); }

void DeviceState::storeScheduleRow(const TransferBuffer& b) {
    std::lock_guard g(StateLock);
    const int index = static_cast<int8_t>(b.Payload[0]);
    if (index < 0 || index >= static_cast<int>(Schedule.size())) return;
    const auto i = static_cast<std::size_t>(index);
    // A marked line that was never read has no edit worth keeping: its other fields
    // were never known, so the device's line wins.
    if (UploadMarks[i] && ReadMarks[i]) return;
    UploadMarks[i] = 0;
    std::memcpy(&Schedule[i], b.Payload + 1, sizeof(TScheduleRow));
    ReadMarks[i] = 1;
}

bool DeviceState::pickScheduleRow(TransferBuffer& b) {
    std::lock_guard g(StateLock);
    const std::size_t n = std::min<std::size_t>({Info.RowCount, UploadMarks.size(), Schedule.size()});
    for (std::size_t i = 0; i < n; ++i) {
        if (!UploadMarks[i] || !ReadMarks[i]) continue;
        UploadMarks[i] = 0;
        b.Payload[0] = static_cast<uint8_t>(i);
        std::memcpy(b.Payload + 1, &Schedule[i], sizeof(TScheduleRow));
        return true;
    }
    requests_ &= ~uint32_t(rqSetSchedule);
    return false;
}

void DeviceState::resizeSchedule(int rows) {
    std::lock_guard g(StateLock);
    resizeScheduleLocked(rows);
}

void DeviceState::resizeScheduleLocked(int rows) {
    const auto n = static_cast<std::size_t>(std::max(rows, 0));
    Schedule.resize(n, TScheduleRow{});
    UploadMarks.resize(n, 0);
    ReadMarks.resize(n, 0);
}

void DeviceState::applySetInfoMask(TransferBuffer& b, uint32_t servedBit) {
    TInfo info;
    std::memcpy(&info, b.Payload, sizeof info);
    if (servedBit != rqSetTime) info.Minute = -1;
    // Bytes, not elements: the packed array's elements are not aligned for int16_t.
    if (servedBit != rqSetChannels) std::memset(info.Channel, 0xFF, sizeof info.Channel);
    if (servedBit != rqSetRow) info.CurrentRow = -1;
    std::memcpy(b.Payload, &info, sizeof info);
}

void DeviceState::setClock(const ClockValue& c) {
    Info.Day = static_cast<int8_t>(c.day);
    Info.Month = static_cast<int8_t>(c.month);
    Info.Year = static_cast<int8_t>(c.year - 2000);
    Info.Hour = static_cast<int8_t>(c.hour);
    Info.Minute = static_cast<int8_t>(c.minute);
    Info.Second = static_cast<int8_t>(c.second);
    // 995..999 ms would round to 100, which no clock shows.
    Info.Centisecond = static_cast<int8_t>(std::min(99L, std::lround(c.millisecond * 0.1)));
    Info.ClockSpare = 0;
}

} // namespace quenda
