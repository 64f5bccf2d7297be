#include "schedule/chart.h"

#include "app/binding.h"
#include "schedule/temp_text.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace quenda {

namespace {

constexpr int kLeft = 40, kRight = 40, kTop = 20, kBottom = 20;
constexpr int kMaxTimeLines = 10;
constexpr int kOverTemperature = 600; // 60.0 °C in tenths
constexpr QRgb kBackground = 0xFFFFFFFF, kMajorLine = 0xFFD0D0D0, kMinorLine = 0xFFF0F0F0, kLabel = 0xFF808080,
               kBand = 0xFFFFF0F0;

QRgb curveColor(int mode) {
    switch (mode) {
    case csTempWater: return 0xFF0000FF;
    case csTempBoard: return 0xFFFF0000;
    case csTempSlave: return 0xFFFF8000;
    default: return 0xFF000000;
    }
}

// Spans up to the bound take the step; wider ones the last step.
int valueStep(int span) {
    struct Step {
        int upTo, step;
    };
    static constexpr Step kSteps[] = {{40, 1},     {100, 2},     {200, 5},     {400, 10},    {1000, 20},
                                      {2000, 100}, {4000, 200},  {10000, 400}, {20000, 1000}, {40000, 2000}};
    for (const Step& s : kSteps)
        if (span <= s.upTo) return s.step;
    return 4000;
}

// About 5 % of head-room beyond the values, in whole tens. The factors follow the sign so
// that negative values get their room on the outer side too; the range is then at least
// ten wide.
int lowerBound(int v) {
    return int(std::floor(v * (v < 0 ? 0.105 : 0.095) - 0.5)) * 10;
}
int upperBound(int v) {
    return int(std::ceil(v * (v < 0 ? 0.095 : 0.105) + 0.5)) * 10;
}

// Local wall time as milliseconds on a continuous day scale whose day 0 is 1899-12-30, so
// that rounding to a multiple of an interval means what it means on a calendar.
constexpr qint64 kDayMs = 86400000;
const QDate& scaleEpoch() {
    static const QDate d(1899, 12, 30);
    return d;
}
qint64 toScale(QDate d, QTime t) {
    return scaleEpoch().daysTo(d) * kDayMs + t.msecsSinceStartOfDay();
}
qint64 floorTo(qint64 v, qint64 step) {
    const qint64 q = v / step;
    return (q * step > v ? q - 1 : q) * step;
}

QString valueText(int v, const ChartInput& in) {
    if (in.mode == csVoltage) return formatNumber(v / 100.0, "0.00") + QStringLiteral(" V");
    return TempText(v, in.fahrenheit) + TempUnitText(in.fahrenheit);
}

class Canvas {
public:
    Canvas(QImage& img, const ChartInput& in, std::vector<ChartLabel>& labels)
        : p_(&img), fm_(font(in), &img), labels_(labels) {
        p_.setFont(font(in));
    }
    QPainter& painter() { return p_; }
    int textHeight() const { return fm_.height(); }
    int textWidth(const QString& s) const { return fm_.horizontalAdvance(s); }
    void text(ChartLabel::Kind kind, const QString& s, int x, int y, QRgb color) {
        const QRect r(x, y, textWidth(s), textHeight());
        p_.setPen(QColor::fromRgba(color));
        p_.drawText(r, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, s);
        labels_.push_back({kind, s, r});
    }
    void line(QRgb color, int x0, int y0, int x1, int y1) {
        p_.setPen(QColor::fromRgba(color));
        p_.drawLine(x0, y0, x1, y1);
    }

private:
    static QFont font(const ChartInput& in) {
        QFont f = in.font;
        f.setPointSize(8);
        return f;
    }
    QPainter p_;
    QFontMetrics fm_;
    std::vector<ChartLabel>& labels_;
};

} // namespace

ChartPicture DrawChart(const ChartInput& in, QSize size, QImage recycle) {
    ChartPicture out;
    const QSize sz = size.expandedTo(QSize(1, 1));
    if (recycle.size() == sz && recycle.format() == QImage::Format_ARGB32_Premultiplied)
        out.image = std::move(recycle);
    else
        out.image = QImage(sz, QImage::Format_ARGB32_Premultiplied);
    const int dpm = int(std::lround(in.dpi / 0.0254));
    out.image.setDotsPerMeterX(dpm);
    out.image.setDotsPerMeterY(dpm);
    out.image.fill(kBackground);

    const int W = sz.width(), H = sz.height();
    const int PW = W - kLeft - kRight, PH = H - kTop - kBottom - 1;
    const auto& sample = in.chart.Sample;
    Canvas c(out.image, in, out.labels);

    if (sample[0] == kNoMeasurement || in.interval <= 0) {
        const int tw = c.textWidth(in.notConnected);
        c.text(ChartLabel::Kind::NotConnected, in.notConnected, (W - tw) / 2, (H - c.textHeight()) / 2, kLabel);
        return out;
    }

    // Value range and step. Sample[0] is measured, so there is at least one value.
    int lo = 0, hi = 0;
    {
        int mn = sample[0], mx = sample[0];
        for (int16_t v : sample)
            if (v != kNoMeasurement) mn = std::min<int>(mn, v), mx = std::max<int>(mx, v);
        lo = lowerBound(mn);
        hi = upperBound(mx);
    }
    const int step = valueStep(hi - lo);
    const auto yOf = [&](double v) { return (1.0 - (v - lo) / double(hi - lo)) * PH + kTop; };

    // Time of the newest sample, rounded down to the recording interval.
    const QTime deviceTime(in.hour, in.minute, in.second, in.centisecond * 10);
    const bool deviceClock = deviceTime.isValid();
    const QDateTime now = in.now.isValid() ? in.now : QDateTime::currentDateTime();
    qint64 t = toScale(now.date(), deviceClock ? deviceTime : now.time());
    const qint64 intervalMs = qint64(in.interval) * 60000;
    t = floorTo(t, intervalMs);
    const qint64 spanMs = intervalMs * (kChartSamples - 1);
    const qint64 spanMin = spanMs / 60000;
    const int labelStepMin = spanMin <= 120 ? 15 : spanMin <= 240 ? 30 : spanMin <= 480 ? 60 : spanMin <= 1440 ? 240 : 1440;

    // Over-temperature band: everything above 60 °C.
    if (in.mode != csVoltage) {
        const double y600 = yOf(kOverTemperature);
        if (y600 > 0) c.painter().fillRect(QRect(0, 0, W, int(std::lround(std::min<double>(y600, H)))), QColor::fromRgba(kBand));
    }

    // Time lines, newest first.
    const qint64 labelStepMs = qint64(labelStepMin) * 60000;
    qint64 a = floorTo(t, labelStepMs);
    for (int i = 0; i < kMaxTimeLines; ++i, a -= labelStepMs) {
        const int x = int(std::lround((1.0 - double(t - a) / double(spanMs)) * PW + kLeft));
        if (x < kLeft) break;
        c.line(kMajorLine, x, kTop, x, PH + kTop);
        const qint64 dayMs = a - floorTo(a, kDayMs);
        const QDate date = scaleEpoch().addDays((a - dayMs) / kDayMs);
        const QString label = dayMs == 0 ? in.locale.toString(date, QLocale::ShortFormat)
                                         : in.locale.toString(QTime::fromMSecsSinceStartOfDay(int(dayMs)),
                                                              QLocale::ShortFormat);
        c.text(ChartLabel::Kind::Time, label, x, 1, kLabel);
        c.text(ChartLabel::Kind::Time, label, x, H - 13, kLabel);
    }

    // Value lines; a label on each whole ten.
    for (int v = lo; v <= hi; v += step) {
        const int y = int(std::lround(yOf(v)));
        if (v % 10 != 0) {
            c.line(kMinorLine, kLeft, y, kLeft + PW, y);
            continue;
        }
        c.line(kMajorLine, kLeft, y, kLeft + PW, y);
        const QString label = valueText(v, in);
        c.text(ChartLabel::Kind::Value, label, W - c.textWidth(label), y - 6, kLabel);
        c.text(ChartLabel::Kind::Value, label, 0, y - 6, kLabel);
    }

    const QRgb curve = curveColor(in.mode);
    const QString current = valueText(sample[0], in);
    c.text(ChartLabel::Kind::Current, current, W - c.textWidth(current), int(std::lround(yOf(sample[0]))) - 6, curve);

    // The curve from the oldest sample to the newest; missing samples are bridged.
    QPointF points[kChartSamples];
    int n = 0;
    for (int k = kChartSamples - 1; k >= 0; --k)
        if (sample[k] != kNoMeasurement)
            points[n++] = QPointF((1.0 - k / double(kChartSamples - 1)) * PW + kLeft, yOf(sample[k]));
    QPainter& p = c.painter();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor::fromRgba(curve), 1.0));
    if (n == 1)
        p.drawPoint(points[0]);
    else
        p.drawPolyline(points, n);
    return out;
}

} // namespace quenda
