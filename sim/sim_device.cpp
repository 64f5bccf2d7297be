#include "sim/sim_device.h"

#include "link/device_codes.h"
#include "link/wire.h"

#include <QFile>
#include <QSaveFile>
#include <QTextStream>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace quenda::sim {

namespace {

constexpr int kDayMinutes = 1440;
constexpr int64_t kHealthPeriodMs = 15000;
constexpr int kMaxLine = 2 + 2 * wire::kMaxPayload;
constexpr int kChartSamples = 40;
constexpr double kPi = 3.14159265358979323846;
constexpr int64_t kTickMs = 100;          // the device's weather tick
constexpr int64_t kNeverTicks = 1LL << 40; // "never" that still adds to a time without overflow
constexpr int kCloudBits = 19, kStormBits = 23;

const QDateTime& epoch() {
    static const QDateTime e(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC);
    return e;
}

int64_t steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// One channel's share of a day: a sine-shaped arc between rise and set, raised to a
// power (whites rise later and fall earlier than blues), plus a night level.
struct ChannelShape {
    int max;
    int rise, set; // minutes of the day
    double power;
    int night;
};

// Cold whites, a warm white, royal blues, blue, UV, violet, red, green, cyan, moon light.
constexpr ChannelShape kFreshwater[kChannels] = {
    {3600, 450, 1170, 1.6, 0},  {3600, 450, 1170, 1.6, 0},  {3000, 420, 1200, 1.3, 0},
    {4096, 390, 1260, 0.9, 40}, {4096, 390, 1260, 0.9, 40}, {3800, 400, 1230, 1.0, 20},
    {2500, 480, 1140, 1.4, 0},  {2800, 420, 1200, 1.2, 0},  {1800, 420, 1215, 1.1, 0},
    {1500, 450, 1170, 1.3, 0},  {2200, 420, 1200, 1.2, 0},  {0, 0, 0, 1.0, 120},
};
constexpr uint8_t kFreshwaterColors[kChannels] = {7, 7, 8, 11, 11, 4, 5, 13, 2, 3, 12, 6};

// Reef: blue-heavy and long, whites short and low.
constexpr ChannelShape kReef[kChannels] = {
    {2200, 540, 1080, 1.8, 0},  {4096, 420, 1260, 0.8, 60}, {4096, 420, 1260, 0.8, 60},
    {3800, 450, 1230, 0.9, 30}, {3800, 450, 1230, 0.9, 30}, {3000, 480, 1200, 1.0, 0},
    {2600, 480, 1200, 1.1, 0},  {1800, 510, 1140, 1.3, 0},  {2000, 540, 1080, 1.8, 0},
    {900, 540, 1080, 1.6, 0},   {700, 540, 1080, 1.6, 0},   {0, 0, 0, 1.0, 150},
};
constexpr uint8_t kReefColors[kChannels] = {7, 11, 11, 4, 4, 5, 13, 12, 7, 3, 2, 6};

int shapeLevel(const ChannelShape& s, int minute) {
    if (s.max > 0 && minute > s.rise && minute < s.set) {
        const double x = std::sin(kPi * (minute - s.rise) / double(s.set - s.rise));
        return std::clamp(int(std::lround(s.max * std::pow(x, s.power))) + s.night, 0, kLevelMax);
    }
    return s.night;
}

std::vector<TScheduleRow> daySchedule(int rows, const ChannelShape (&shape)[kChannels]) {
    std::vector<TScheduleRow> out(size_t(std::clamp(rows, 0, kMaxRows)));
    for (size_t k = 0; k < out.size(); ++k) {
        const int t = int(k * kDayMinutes / out.size());
        TScheduleRow& r = out[k];
        r.Hour = int8_t(t / 60);
        r.Minute = int8_t(t % 60);
        // Sun altitude of a mid-latitude day, as sin(altitude) * 10000.
        r.Alt = int16_t(std::lround(10000 * 0.8 * std::sin(2 * kPi * (t - 390) / kDayMinutes)));
        for (int c = 0; c < kChannels; ++c)
            r.Color16[c] = int16_t(shapeLevel(shape[c], t));
        r.Timer = 0;
        r.Switch = uint8_t((t >= 420 && t < 1320 ? 0x20 : 0) | (t >= 540 && t < 1080 ? 0x40 : 0) |
                           (t >= 840 && t < 1080 ? 0x80 : 0));
    }
    return out;
}

bool validRowTime(const TScheduleRow& r) {
    return r.Hour >= 0 && r.Hour <= 23 && r.Minute >= 0 && r.Minute <= 59;
}

template <class R> void fromPayload(R& rec, const std::vector<uint8_t>& p) {
    std::memcpy(&rec, p.data(), sizeof(R));
}

QByteArray hexLine(const void* data, int size) {
    return QByteArray::fromStdString(wire::encodeHex(static_cast<const uint8_t*>(data), size));
}

// Stores into out only a line of exactly size digit pairs.
bool fromHexLine(const QByteArray& text, void* out, int size) {
    if (text.size() != 2 * size) return false;
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (wire::decodeHex(reinterpret_cast<const unsigned char*>(text.constData()), size, bytes.data()) >= 0)
        return false;
    std::memcpy(out, bytes.data(), size_t(size));
    return true;
}

} // namespace

QByteArray SimDevice::hex(const uint8_t* data, int n, bool lower) {
    return QByteArray::fromStdString(wire::encodeHex(data, n, lower));
}

Records SimDevice::defaults(const DeviceOptions& o) {
    Records r;
    r.schedule = daySchedule(o.rows, kFreshwater);
    r.info.RowCount = uint8_t(r.schedule.size());

    TConfig& c = r.config;
    c.Mode = 1;
    c.Flag = Flag::Display20x4;
    c.FanLow = 80;
    c.FanHigh = 255;
    c.LCDBLMin = 20;
    c.LCDBLMax = 200;
    c.TimeLapse = uint8_t(std::clamp(o.timeLapse, 1, 255));
    std::memcpy(c.ColorName, kFreshwaterColors, sizeof c.ColorName);
    c.CloudP = 30;
    c.CloudD = 2000;
    c.StormP = 5;
    c.StormD = 3000;
    c.Lat = 501;
    c.Lon = 85;

    TExpert& e = r.expert;
    e.FanMode = 0;
    e.JMPMode = 0;
    e.ChartMode = uint8_t(std::clamp(o.chartMode, 0, 3));
    e.PWMPrescaler = 5;
    e.TWIBitrate = 23;
    e.LCDBLNight = 10;
    e.ChartScale = 5;
    e.TempWaterLow = 250;
    e.TempWaterHigh = 265;
    e.TempCoolLow = 260;
    e.TempCoolHigh = 270;
    e.TempHeatLow = 240;
    e.TempHeatHigh = 245;
    e.CloudTempWater = 300;
    e.CloudTempBoard = 600;
    e.ChartInterval = 36; // forty samples span a day
    e.StandardMonth = 10;
    e.StandardDay = 5;
    e.StandardHour = 3;
    e.DaylightMonth = 3;
    e.DaylightDay = 5;
    e.DaylightHour = 2;
    e.Bias = -60;
    const uint16_t keys[8] = {0x0010, 0x0011, 0x0015, 0x0016, 0x0020, 0x0021, 0x000C, 0x0035};
    std::memcpy(&e.Up, keys, sizeof keys);

    TExpertWeather& w = r.weather;
    w.CloudStep = 40;
    w.StormStep = 80;
    w.LightningP = 200;
    w.CloudAlpha = 60;
    w.StormAlpha = 30;
    w.BalanceSum = 100;
    for (int i = 0; i < kChannels; ++i) {
        w.MoonColor16[i] = int16_t(i == 11 ? 200 : (i == 3 || i == 4) ? 40 : 0);
        w.Balance[i] = 100;
        w.LightningMask[i] = uint8_t(i < 3 ? 0xFF : 0);
        w.WeatherDelay[i] = uint8_t(i * 5);
    }

    // Counters of a device that has run for a few months.
    const uint32_t counters[9] = {0, 0, 40, 1200, 250000, 0, 300, 251000, 12};
    for (int i = 0; i < 9; ++i)
        for (int b = 0; b < 3; ++b)
            r.health.Counter[i][b] = uint8_t(counters[i] >> (8 * b));
    r.health.PowerCycles = 17;

    for (size_t k = 0; k < std::size(r.chart.Sample); ++k)
        r.chart.Sample[k] = kNoMeasurement;
    return r;
}

void SimDevice::applyReefPreset(Records& r) {
    const size_t rows = r.schedule.size();
    r.schedule = daySchedule(int(rows), kReef);
    std::memcpy(r.config.ColorName, kReefColors, sizeof r.config.ColorName);
    r.config.CloudP = 10;
    r.config.StormP = 0;
    r.weather.CloudAlpha = 80;
}

SimDevice::SimDevice(DeviceOptions options, Clock clock)
    : opt_(std::move(options)), now_(clock ? std::move(clock) : Clock(steadyMs)) {
    opt_.rows = std::clamp(opt_.rows, 0, kMaxRows);
    if (opt_.flashSize < 2048) opt_.flashSize = 2048;
    hardwareType_ = opt_.hardwareType;
    version_ = opt_.version;
    bootloader_ = opt_.startInBootloader;
    weatherRng_.seed(opt_.weatherSeed);
    const QDateTime start = opt_.clock.isValid() ? opt_.clock : QDateTime::currentDateTime();
    r_ = defaults(opt_);
    loadState();
    flash_.assign(opt_.flashSize, 0xFF);
    lastReal_ = now_();
    deviceMs_ = epoch().msecsTo(QDateTime(start.date(), start.time(), Qt::UTC));
    resetTimers();
    const int64_t interval = chartIntervalMs();
    for (int i = 0; i < kChartSamples; ++i)
        r_.chart.Sample[i] = measurement(r_.expert.ChartMode, deviceMs_ - i * interval);
    refreshInfo();
}

int64_t SimDevice::chartIntervalMs() const {
    return int64_t(std::max<int>(1, r_.expert.ChartInterval)) * 60000;
}

void SimDevice::resetTimers() {
    nextChart_ = deviceMs_ + chartIntervalMs();
    nextHealth_ = deviceMs_ + kHealthPeriodMs;
}

// Brings the device clock and everything that follows it up to the present.
void SimDevice::advance() {
    const int64_t real = now_();
    const int64_t d = real - lastReal_;
    lastReal_ = real;
    if (d <= 0) return;
    const double step = double(d) * std::max<int>(1, r_.config.TimeLapse) + fraction_;
    const auto whole = int64_t(step);
    fraction_ = step - double(whole);
    const int64_t before = deviceMs_;
    deviceMs_ += whole;

    const int64_t interval = chartIntervalMs();
    if (nextChart_ <= deviceMs_) {
        int64_t due = (deviceMs_ - nextChart_) / interval + 1;
        if (due > kChartSamples) {
            nextChart_ += (due - kChartSamples) * interval;
            due = kChartSamples;
        }
        for (int64_t i = 0; i < due; ++i, nextChart_ += interval)
            recordChartSample(nextChart_);
    }
    if (nextHealth_ <= deviceMs_) {
        const int64_t periods = (deviceMs_ - nextHealth_) / kHealthPeriodMs + 1;
        countHealth(periods);
        nextHealth_ += periods * kHealthPeriodMs;
    }
    runWeather(cloud_, r_.config.CloudP, r_.config.CloudD, kCloudBits, before);
    runWeather(storm_, r_.config.StormP, r_.config.StormD, kStormBits, before);
}

int64_t SimDevice::drawTicks(uint16_t chance, int bits) {
    if (chance == 0) return kNeverTicks;
    const double q = std::ldexp(double(chance), -bits);
    if (q >= 1) return 1;
    // Geometric: the tick of the first success, from a uniform draw in (0, 1].
    const double u = double((weatherRng_() >> 11) + 1) * 0x1.0p-53;
    const double k = std::floor(std::log(u) / std::log1p(-q));
    return 1 + int64_t(std::min(k, double(kNeverTicks)));
}

void SimDevice::runWeather(WeatherEvent& e, uint16_t startP, uint16_t endP, int bits, int64_t from) {
    if (!weatherMode(r_.config.Mode)) {
        e = {};
        return;
    }
    if (e.startP != startP || e.endP != endP) {
        // New chances: the process has no memory, so drawing afresh from here is exact.
        e.startP = startP;
        e.endP = endP;
        e.next = -1;
        if (e.active()) e.until = from + drawTicks(endP, bits) * kTickMs;
    }
    int64_t t = from;
    for (int i = 0; i < 10000; ++i) {
        if (e.active()) {
            if (e.until > deviceMs_) return;
            t = e.until;
            e.until = -1;
        }
        if (e.next < 0) e.next = t + drawTicks(startP, bits) * kTickMs;
        if (e.next > deviceMs_) return;
        t = e.next;
        e.next = -1;
        e.until = t + drawTicks(endP, bits) * kTickMs;
    }
    // More events than a step can hold (a long jump at high chances): start afresh here.
    e.until = e.next = -1;
}

void SimDevice::toggleWeather(WeatherEvent& e, uint16_t endP, int bits) {
    e.until = e.active() ? -1 : deviceMs_ + drawTicks(endP, bits) * kTickMs;
    e.next = -1;
}

int SimDevice::currentScheduleRow(int minuteOfDay) const {
    int best = -1, bestStart = -1, latest = -1, latestStart = -1;
    for (size_t i = 0; i < r_.schedule.size(); ++i) {
        const auto& row = r_.schedule[i];
        if (!validRowTime(row)) continue;
        const int start = row.Hour * 60 + row.Minute;
        if (start <= minuteOfDay && start > bestStart) best = int(i), bestStart = start;
        if (start > latestStart) latest = int(i), latestStart = start;
    }
    return best >= 0 ? best : latest; // before the first row: yesterday's last one
}

// Levels of the schedule at a moment, linear between a row and the next one.
void SimDevice::computeLevels(double minuteOfDay) {
    const int cur = currentScheduleRow(int(minuteOfDay));
    if (cur < 0) {
        for (size_t k = 0; k < std::size(r_.info.Channel); ++k)
            r_.info.Channel[k] = 0;
        return;
    }
    const auto& a = r_.schedule[size_t(cur)];
    const int aStart = a.Hour * 60 + a.Minute;
    int next = -1, nextDist = kDayMinutes + 1;
    for (size_t i = 0; i < r_.schedule.size(); ++i) {
        const auto& row = r_.schedule[i];
        if (!validRowTime(row) || int(i) == cur) continue;
        int dist = (row.Hour * 60 + row.Minute - aStart + kDayMinutes) % kDayMinutes;
        if (dist == 0) continue; // same start time: the earlier row wins
        if (dist < nextDist) next = int(i), nextDist = dist;
    }
    const double elapsed = std::fmod(minuteOfDay - aStart + kDayMinutes, double(kDayMinutes));
    const double f = next < 0 ? 0.0 : std::clamp(elapsed / nextDist, 0.0, 1.0);
    const TScheduleRow& b = next < 0 ? a : r_.schedule[size_t(next)];
    for (int c = 0; c < kChannels; ++c) {
        const double v = a.Color16[c] + (b.Color16[c] - a.Color16[c]) * f;
        r_.info.Channel[c] = int16_t(std::clamp(int(std::lround(v)), 0, kLevelMax));
    }
}

namespace {

// Sensor noise: a fixed value in -1..1 for each device minute and quantity, so that a
// sample read twice, or recorded and shown live, agrees.
double sensorNoise(int64_t deviceMs, int quantity) {
    uint64_t x = uint64_t(deviceMs / 60000) * 0x9E3779B97F4A7C15ULL + uint64_t(quantity + 1) * 0xBF58476D1CE4E5B9ULL;
    x ^= x >> 31;
    x *= 0x94D049BB133111EBULL;
    x ^= x >> 29;
    return double(x % 2001) / 1000.0 - 1.0;
}

} // namespace

// The value a sensor shows at a device time (tenths of a degree, hundredths of a volt):
// the water follows a slow daily wave, the boards warm and the supply sags with the light.
int16_t SimDevice::measurement(int chartMode, int64_t deviceMs) const {
    const double minute = double(((deviceMs / 60000) % kDayMinutes + kDayMinutes) % kDayMinutes);
    // Light load from the freshwater day, so that history and present agree in shape.
    double load = 0;
    for (const auto& s : kFreshwater)
        load += shapeLevel(s, int(minute));
    load /= double(kChannels * kLevelMax);
    const double noise = sensorNoise(deviceMs, chartMode);
    switch (chartMode) {
    case 0:
        if (!opt_.waterSensor) return kNoMeasurement;
        return int16_t(std::lround(250 + 8 * std::sin(2 * kPi * (minute - 600) / kDayMinutes) + 1.5 * noise) +
                       r_.expert.TempOffset);
    case 1:
        return int16_t(std::lround(290 + 160 * load + 3 * noise));
    case 2:
        return int16_t(std::lround(1215 - 30 * load + 4 * noise));
    case 3:
        if (!opt_.slave) return kNoMeasurement;
        return int16_t(std::lround(275 + 140 * load + 3 * noise));
    default:
        return kNoMeasurement;
    }
}

void SimDevice::recordChartSample(int64_t deviceMs) {
    std::memmove(&r_.chart.Sample[1], &r_.chart.Sample[0], sizeof(int16_t) * (kChartSamples - 1));
    r_.chart.Sample[0] = measurement(r_.expert.ChartMode, deviceMs);
}

void SimDevice::countHealth(int64_t periods) {
    auto bump = [&](int i) {
        uint32_t v = healthCounter(r_.health, i);
        v = uint32_t((v + uint64_t(periods)) & 0xFFFFFF);
        for (int b = 0; b < 3; ++b)
            r_.health.Counter[i][b] = uint8_t(v >> (8 * b));
    };
    const int board = measurement(1, deviceMs_);
    const int volt = measurement(2, deviceMs_);
    bump(board > 600 ? 0 : board > 550 ? 1 : board > 500 ? 2 : board > 450 ? 3 : 4);
    bump(volt > 3050 ? 5 : volt > 2900 ? 6 : volt > 2600 ? 7 : 8);
}

// Live fields of the info record: clock, flags, row, levels, measurements.
void SimDevice::refreshInfo() {
    TInfo& in = r_.info;
    const QDateTime t = epoch().addMSecs(deviceMs_);
    in.RowCount = uint8_t(r_.schedule.size());
    in.Centisecond = int8_t(t.time().msec() / 10);
    in.Second = int8_t(t.time().second());
    in.Minute = int8_t(t.time().minute());
    in.Hour = int8_t(t.time().hour());
    in.Day = int8_t(t.date().day());
    in.Month = int8_t(t.date().month());
    in.Year = int8_t(t.date().year() - 2000);

    const bool weather = weatherMode(r_.config.Mode);
    using namespace ActiveFlags;
    in.ActiveFlags = uint8_t(in.ActiveFlags & ~(Cloud | Storm | Cooler | Heater | Timer));
    if (weather && cloud_.active()) in.ActiveFlags |= Cloud;
    if (weather && storm_.active()) in.ActiveFlags |= Storm;
    const bool saving = savingUntil_ >= 0 && now_() < savingUntil_;
    in.StatusFlags = uint8_t(saving ? in.StatusFlags | StatusFlags::Saving : in.StatusFlags & ~StatusFlags::Saving);

    const double minute = t.time().msecsSinceStartOfDay() / 60000.0;
    if (weather) {
        const int row = currentScheduleRow(int(minute));
        if (rowOverride_ >= 0 && row == overriddenAt_ && rowOverride_ < int(r_.schedule.size())) {
            in.CurrentRow = int8_t(rowOverride_);
        } else {
            rowOverride_ = overriddenAt_ = -1;
            in.CurrentRow = int8_t(row);
        }
        computeLevels(minute);
        const int alpha = (in.ActiveFlags & Storm)   ? r_.weather.StormAlpha
                          : (in.ActiveFlags & Cloud) ? r_.weather.CloudAlpha
                                                    : 100;
        for (int c = 0; c < kChannels; ++c) {
            const int balance = std::min<int>(r_.weather.Balance[c], 100);
            const int dim = r_.weather.WeatherDelay[c] == 255 ? 100 : std::min(alpha, 100);
            in.Channel[c] = int16_t(int64_t(in.Channel[c]) * balance * dim / 10000);
        }
    } else if (isMode(r_.config.Mode, Mode::RGBDemo)) { // slow colour waves
        const double s = t.time().msecsSinceStartOfDay() / 1000.0;
        for (int c = 0; c < kChannels; ++c)
            in.Channel[c] = int16_t(std::lround(2048 + 2047 * std::sin(s / 4 + c * kPi / 6)));
    } else if (isMode(r_.config.Mode, Mode::Flash)) { // all on and off, one second each
        for (size_t k = 0; k < std::size(in.Channel); ++k)
            in.Channel[k] = int16_t(t.time().second() % 2 ? kLevelMax : 0);
    }

    in.TempWater = measurement(0, deviceMs_);
    in.TempBoard = measurement(1, deviceMs_);
    in.Voltage = measurement(2, deviceMs_);
    in.TempSlave = measurement(3, deviceMs_);
    const bool cooler =
        r_.expert.JMPMode == 3 && in.TempWater != kNoMeasurement && in.TempWater > r_.expert.TempCoolHigh;
    const bool heater =
        r_.expert.JMPMode == 4 && in.TempWater != kNoMeasurement && in.TempWater < r_.expert.TempHeatLow;
    if (cooler) in.ActiveFlags |= Cooler;
    if (heater) in.ActiveFlags |= Heater;
}

void SimDevice::applySetInfo(const TInfo& in, QStringList& events) {
    if (uint8_t(in.Minute) != 0xFF) {
        const QDate date(2000 + in.Year, in.Month, in.Day);
        const QTime time(in.Hour, in.Minute, in.Second, std::clamp<int>(in.Centisecond, 0, 99) * 10);
        if (in.Year >= 0 && in.Year <= 99 && date.isValid() && time.isValid()) {
            const int64_t target = epoch().msecsTo(QDateTime(date, time, Qt::UTC));
            const int64_t shift = target - deviceMs_;
            deviceMs_ = target;
            nextChart_ += shift;
            nextHealth_ += shift;
            for (WeatherEvent* e : {&cloud_, &storm_}) {
                if (e->until >= 0) e->until += shift;
                if (e->next >= 0) e->next += shift;
            }
            events << QStringLiteral("clock %1").arg(QDateTime(date, time).toString(Qt::ISODate));
        } else {
            events << QStringLiteral("clock ignored (invalid)");
        }
    }
    bool levels = false;
    for (int c = 0; c < kChannels; ++c) {
        if (uint16_t(in.Channel[c]) == 0xFFFF) continue;
        r_.info.Channel[c] = int16_t(std::clamp<int>(in.Channel[c], 0, kLevelMax));
        levels = true;
    }
    if (levels) events << QStringLiteral("levels set");
    if (uint8_t(in.CurrentRow) != 0xFF && in.CurrentRow >= 0 && in.CurrentRow < int(r_.schedule.size())) {
        r_.info.CurrentRow = in.CurrentRow;
        rowOverride_ = in.CurrentRow;
        const QTime now = epoch().addMSecs(deviceMs_).time();
        overriddenAt_ = currentScheduleRow(now.hour() * 60 + now.minute());
        events << QStringLiteral("row %1").arg(int(in.CurrentRow));
    }
    std::memcpy(r_.info.Reserved1, in.Reserved1, sizeof in.Reserved1);
    std::memcpy(r_.info.Reserved2, in.Reserved2, sizeof in.Reserved2);
}

Response SimDevice::recordReply(uint8_t code, const void* data, int n) const {
    Response r;
    r.kind = Response::Kind::Record;
    r.bytes =
        hex(&code, 1, false) + hex(static_cast<const uint8_t*>(data), n, opt_.lowerCaseHex) + opt_.lineEnd;
    return r;
}

Response SimDevice::ack() const {
    return {Response::Kind::Ack, QByteArray(1, opt_.ack), {}};
}
Response SimDevice::rejected() const {
    return {Response::Kind::Rejected, QByteArray(1, opt_.nak), {}};
}

Response SimDevice::handle(const QByteArray& line) {
    Lock g(m_);
    advance();
    if (line.size() < 2 || line.size() > kMaxLine || line.size() % 2) return rejected();
    std::vector<uint8_t> bytes(size_t(line.size() / 2));
    if (wire::decodeHex(reinterpret_cast<const unsigned char*>(line.constData()), int(bytes.size()), bytes.data()) >= 0)
        return rejected();
    const uint8_t code = bytes[0];
    bytes.erase(bytes.begin());
    QStringList events;
    Response r = dispatch(bootloader_ ? bootloaderCommands() : applicationCommands(), code, bytes, events);
    r.events = events + r.events;
    return r;
}

std::span<const SimDevice::Command> SimDevice::applicationCommands() {
    static const Command table[] = {
        {Cmd::GetDevice, &SimDevice::getDevice},
        {Cmd::GetInfo, &SimDevice::getInfo},
        {Cmd::GetConfig, &SimDevice::getRecord<&Records::config>},
        {Cmd::GetSchedule, &SimDevice::getSchedule},
        {Cmd::GetExpert, &SimDevice::getRecord<&Records::expert>},
        {Cmd::GetExpertWeather, &SimDevice::getRecord<&Records::weather>},
        {Cmd::GetChart, &SimDevice::getRecord<&Records::chart>},
        {Cmd::GetHealth, &SimDevice::getRecord<&Records::health>},
        {Cmd::SetInfo, &SimDevice::setInfo},
        {Cmd::SetConfig, &SimDevice::setRecord<&Records::config>},
        {Cmd::SetSchedule, &SimDevice::setSchedule},
        {Cmd::SetExpert, &SimDevice::setExpert},
        {Cmd::SetExpertWeather, &SimDevice::setRecord<&Records::weather>},
        {Cmd::Special, &SimDevice::special},
    };
    return table;
}

std::span<const SimDevice::Command> SimDevice::specialCommands() {
    static const Command table[] = {
        {Special::EnterBootloader, &SimDevice::enterBootloader},
        {Special::SaveEEPROM, &SimDevice::saveEEPROM},
        {Special::ToggleCloud, &SimDevice::toggleCloud},
        {Special::ToggleStorm, &SimDevice::toggleStorm},
        {Special::LoadReef, &SimDevice::loadReef},
    };
    return table;
}

std::span<const SimDevice::Command> SimDevice::bootloaderCommands() {
    static const Command table[] = {
        {Cmd::BootGetDevice, &SimDevice::bootGetDevice},
        {Cmd::BootGetInfo, &SimDevice::bootGetInfo},
        {Cmd::BootWriteBlock, &SimDevice::bootWriteBlock},
        {Cmd::BootReset, &SimDevice::bootReset},
    };
    return table;
}

Response SimDevice::dispatch(std::span<const Command> table, uint8_t code, const Payload& p,
                             QStringList& events) {
    for (const Command& c : table)
        if (c.code == code) return (this->*c.run)(code, p, events);
    return rejected();
}

Response SimDevice::getDevice(uint8_t code, const Payload&, QStringList&) {
    const uint8_t id[2] = {hardwareType_, version_};
    return recordReply(code, id, 2);
}

Response SimDevice::getInfo(uint8_t code, const Payload&, QStringList&) {
    refreshInfo();
    return recordReply(code, &r_.info, sizeof(TInfo));
}

// Rows go out one per request, round the schedule; an empty schedule answers index -1.
Response SimDevice::getSchedule(uint8_t code, const Payload&, QStringList&) {
    TScheduleWire w{};
    if (r_.schedule.empty()) {
        w.Index = -1;
    } else {
        nextScheduleRow_ %= int(r_.schedule.size());
        w.Index = int8_t(nextScheduleRow_);
        w.Row = r_.schedule[size_t(nextScheduleRow_)];
        nextScheduleRow_ = (nextScheduleRow_ + 1) % int(r_.schedule.size());
    }
    return recordReply(code, &w, sizeof w);
}

template <auto Field> Response SimDevice::getRecord(uint8_t code, const Payload&, QStringList&) {
    const auto& rec = r_.*Field;
    return recordReply(code, &rec, int(sizeof rec));
}

template <auto Field> Response SimDevice::setRecord(uint8_t, const Payload& p, QStringList&) {
    auto& rec = r_.*Field;
    if (p.size() != sizeof rec) return rejected();
    fromPayload(rec, p);
    return ack();
}

Response SimDevice::setInfo(uint8_t, const Payload& p, QStringList& events) {
    if (p.size() != sizeof(TInfo)) return rejected();
    TInfo in;
    fromPayload(in, p);
    applySetInfo(in, events);
    return ack();
}

Response SimDevice::setSchedule(uint8_t, const Payload& p, QStringList&) {
    if (p.size() != sizeof(TScheduleWire)) return rejected();
    TScheduleWire w;
    fromPayload(w, p);
    if (w.Index < 0 || w.Index >= int(r_.schedule.size())) return rejected();
    r_.schedule[size_t(w.Index)] = w.Row;
    return ack();
}

Response SimDevice::setExpert(uint8_t code, const Payload& p, QStringList& events) {
    const uint16_t interval = r_.expert.ChartInterval;
    const Response r = setRecord<&Records::expert>(code, p, events);
    if (r_.expert.ChartInterval != interval) resetTimers();
    return r;
}

Response SimDevice::special(uint8_t, const Payload& p, QStringList& events) {
    if (p.size() != 1) return rejected();
    return dispatch(specialCommands(), p[0], {}, events);
}

Response SimDevice::enterBootloader(uint8_t, const Payload&, QStringList& events) {
    bootloader_ = true;
    blocks_ = 0;
    lowWritten_ = highWritten_ = -1;
    events << QStringLiteral("bootloader");
    return {};
}

Response SimDevice::saveEEPROM(uint8_t, const Payload&, QStringList& events) {
    savingUntil_ = now_() + 1500;
    ++saves_;
    QString error;
    if (!opt_.statePath.isEmpty() && !saveState(&error))
        events << QStringLiteral("save failed: %1").arg(error);
    else
        events << QStringLiteral("saved");
    return ack();
}

Response SimDevice::toggleCloud(uint8_t, const Payload&, QStringList& events) {
    if (weatherMode(r_.config.Mode)) toggleWeather(cloud_, r_.config.CloudD, kCloudBits);
    events << QStringLiteral("cloud %1").arg(cloud_.active() ? "on" : "off");
    return ack();
}

Response SimDevice::toggleStorm(uint8_t, const Payload&, QStringList& events) {
    if (weatherMode(r_.config.Mode)) toggleWeather(storm_, r_.config.StormD, kStormBits);
    events << QStringLiteral("storm %1").arg(storm_.active() ? "on" : "off");
    return ack();
}

Response SimDevice::loadReef(uint8_t, const Payload&, QStringList& events) {
    applyReefPreset(r_);
    events << QStringLiteral("reef preset");
    return ack();
}

Response SimDevice::bootGetDevice(uint8_t code, const Payload&, QStringList&) {
    const uint8_t id[2] = {kHardwareBootloader, version_};
    return recordReply(code, id, 2);
}

Response SimDevice::bootGetInfo(uint8_t code, const Payload&, QStringList&) {
    TBootInfo b{opt_.pageSize, opt_.flashSize};
    return recordReply(code, &b, sizeof b);
}

Response SimDevice::bootWriteBlock(uint8_t, const Payload& p, QStringList& events) {
    if (p.size() != sizeof(TFirmwareBlock)) return rejected();
    TFirmwareBlock b;
    fromPayload(b, p);
    if (auto f = failBlocks_.find(b.Address); f != failBlocks_.end() && f->second > 0) {
        --f->second;
        events << QStringLiteral("block 0x%1 lost").arg(b.Address, 4, 16, QLatin1Char('0'));
        return {};
    }
    // Whole blocks only, and the last kilobyte holds the bootloader itself.
    if (b.Address % sizeof b.Data || uint32_t(b.Address) + 64 > opt_.flashSize - 1024) return rejected();
    std::memcpy(&flash_[b.Address], b.Data, 64);
    ++blocks_;
    lowWritten_ = lowWritten_ < 0 ? b.Address : std::min<int64_t>(lowWritten_, b.Address);
    highWritten_ = std::max<int64_t>(highWritten_, b.Address + 63);
    return ack();
}

// Leaves the bootloader; after new firmware the settings are back to their defaults.
Response SimDevice::bootReset(uint8_t, const Payload& p, QStringList& events) {
    if (p.size() != size_t(kBootResetBytes)) return rejected();
    ++resets_;
    const uint32_t sum = writtenSum();
    if (blocks_ > 0)
        events << QStringLiteral("reset blocks=%1 first=0x%2 last=0x%3 sum=%4")
                      .arg(blocks_)
                      .arg(lowWritten_, 4, 16, QLatin1Char('0'))
                      .arg(highWritten_, 4, 16, QLatin1Char('0'))
                      .arg(sum);
    else
        events << QStringLiteral("reset blocks=0");
    if (blocks_ > 0) {
        const Records fresh = defaults(opt_);
        const TChart chart = r_.chart;
        const THealth health = r_.health;
        r_ = fresh;
        r_.chart = chart;
        r_.health = health;
        rowOverride_ = overriddenAt_ = -1;
        nextScheduleRow_ = 0;
    }
    bootloader_ = false;
    return ack();
}

Records SimDevice::records() {
    Lock g(m_);
    advance();
    refreshInfo();
    return r_;
}

void SimDevice::update(const std::function<void(Records&)>& change) {
    Lock g(m_);
    advance();
    refreshInfo();
    const uint16_t interval = r_.expert.ChartInterval;
    change(r_);
    if (r_.schedule.size() > 255) r_.schedule.resize(255);
    r_.info.RowCount = uint8_t(r_.schedule.size());
    if (r_.expert.ChartInterval != interval) resetTimers();
    if (nextScheduleRow_ >= int(r_.schedule.size())) nextScheduleRow_ = 0;
}

bool SimDevice::inBootloader() {
    Lock g(m_);
    return bootloader_;
}

void SimDevice::setBootloader(bool on) {
    Lock g(m_);
    bootloader_ = on;
}

void SimDevice::setIdentity(uint8_t hardwareType, uint8_t version) {
    Lock g(m_);
    hardwareType_ = hardwareType;
    version_ = version;
}

QDateTime SimDevice::clock() {
    Lock g(m_);
    advance();
    const QDateTime t = epoch().addMSecs(deviceMs_);
    return QDateTime(t.date(), t.time());
}

void SimDevice::setClock(const QDateTime& t) {
    Lock g(m_);
    advance();
    deviceMs_ = epoch().msecsTo(QDateTime(t.date(), t.time(), Qt::UTC));
    resetTimers();
}

void SimDevice::failBlock(uint16_t address, int times) {
    Lock g(m_);
    failBlocks_[address] = times;
}

std::vector<uint8_t> SimDevice::flash() {
    Lock g(m_);
    return flash_;
}
int SimDevice::blocksWritten() {
    Lock g(m_);
    return blocks_;
}
int SimDevice::resets() {
    Lock g(m_);
    return resets_;
}
int SimDevice::saves() {
    Lock g(m_);
    return saves_;
}
uint32_t SimDevice::imageSum() {
    Lock g(m_);
    return writtenSum();
}

uint32_t SimDevice::writtenSum() const {
    uint32_t sum = 0;
    for (int64_t a = lowWritten_; a >= 0 && a <= highWritten_; ++a)
        sum += flash_[size_t(a)];
    return sum;
}

// The settings a real device keeps in EEPROM, as one "Key=HEX" line per record.
bool SimDevice::saveState(QString* error) const {
    QSaveFile f(opt_.statePath);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text)) {
        if (error) *error = f.errorString();
        return false;
    }
    QTextStream out(&f);
    out << "# simulated controller settings\n";
    out << "Info=" << hexLine(&r_.info, sizeof r_.info) << '\n';
    out << "Config=" << hexLine(&r_.config, sizeof r_.config) << '\n';
    out << "Expert=" << hexLine(&r_.expert, sizeof r_.expert) << '\n';
    out << "ExpertWeather=" << hexLine(&r_.weather, sizeof r_.weather) << '\n';
    for (const auto& row : r_.schedule)
        out << "Row=" << hexLine(&row, sizeof row) << '\n';
    out.flush();
    if (!f.commit()) {
        if (error) *error = f.errorString();
        return false;
    }
    return true;
}

// Lines that do not parse are skipped; a file without rows keeps the default schedule.
bool SimDevice::loadState() {
    if (opt_.statePath.isEmpty()) return false;
    QFile f(opt_.statePath);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
    std::vector<TScheduleRow> rows;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine(4096).trimmed();
        const int eq = line.indexOf('=');
        if (eq <= 0) continue;
        const QByteArray key = line.left(eq), value = line.mid(eq + 1);
        if (key == "Info") {
            TInfo in;
            if (fromHexLine(value, &in, sizeof in)) r_.info = in;
        } else if (key == "Config") {
            fromHexLine(value, &r_.config, sizeof r_.config);
        } else if (key == "Expert") {
            fromHexLine(value, &r_.expert, sizeof r_.expert);
        } else if (key == "ExpertWeather") {
            fromHexLine(value, &r_.weather, sizeof r_.weather);
        } else if (key == "Row" && rows.size() < size_t(kMaxRows)) {
            TScheduleRow row;
            if (fromHexLine(value, &row, sizeof row)) rows.push_back(row);
        }
    }
    if (!rows.empty()) r_.schedule = std::move(rows);
    r_.info.RowCount = uint8_t(r_.schedule.size());
    return true;
}

} // namespace quenda::sim
