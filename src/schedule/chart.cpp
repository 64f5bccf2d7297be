#include "schedule/chart.h"

#include "pages/number_text.h"
#include "pages/temp_text.h"

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

// The plot's geometry: picture size, value range and the time scale of the newest sample.
struct Plot {
    int W = 0, H = 0, PW = 0, PH = 0;
    int lo = 0, hi = 0, step = 1;
    qint64 t = 0;      // newest sample, rounded down to the recording interval
    qint64 spanMs = 1; // the oldest sample's distance from it
    double yOf(double v) const { return (1.0 - (v - lo) / double(hi - lo)) * PH + kTop; }
};

QImage canvasImage(const ChartInput& in, QSize sz, QImage recycle) {
    QImage img = recycle.size() == sz && recycle.format() == QImage::Format_ARGB32_Premultiplied
                     ? std::move(recycle)
                     : QImage(sz, QImage::Format_ARGB32_Premultiplied);
    const int dpm = int(std::lround(in.dpi / 0.0254));
    img.setDotsPerMeterX(dpm);
    img.setDotsPerMeterY(dpm);
    img.fill(kBackground);
    return img;
}

// Value range and step. Sample[0] is measured, so there is at least one value.
void valueRange(const ChartInput& in, Plot& plot) {
    const auto& sample = in.chart.Sample;
    int mn = sample[0], mx = sample[0];
    for (int16_t v : sample)
        if (v != kNoMeasurement) mn = std::min<int>(mn, v), mx = std::max<int>(mx, v);
    plot.lo = lowerBound(mn);
    plot.hi = upperBound(mx);
    plot.step = valueStep(plot.hi - plot.lo);
}

// Time of the newest sample (the device's clock when it sent one), rounded down to the
// recording interval.
void timeScale(const ChartInput& in, Plot& plot) {
    const QTime deviceTime(in.hour, in.minute, in.second, in.centisecond * 10);
    const QDateTime now = in.now.isValid() ? in.now : QDateTime::currentDateTime();
    const qint64 intervalMs = qint64(in.interval) * 60000;
    plot.t = floorTo(toScale(now.date(), deviceTime.isValid() ? deviceTime : now.time()), intervalMs);
    plot.spanMs = intervalMs * (kChartSamples - 1);
}

// Time lines, newest first.
void drawTimeLines(Canvas& c, const ChartInput& in, const Plot& plot) {
    const qint64 spanMin = plot.spanMs / 60000;
    const int labelStepMin = spanMin <= 120 ? 15 : spanMin <= 240 ? 30 : spanMin <= 480 ? 60 : spanMin <= 1440 ? 240 : 1440;
    const qint64 labelStepMs = qint64(labelStepMin) * 60000;
    qint64 a = floorTo(plot.t, labelStepMs);
    for (int i = 0; i < kMaxTimeLines; ++i, a -= labelStepMs) {
        const int x = int(std::lround((1.0 - double(plot.t - a) / double(plot.spanMs)) * plot.PW + kLeft));
        if (x < kLeft) break;
        c.line(kMajorLine, x, kTop, x, plot.PH + kTop);
        const qint64 dayMs = a - floorTo(a, kDayMs);
        const QDate date = scaleEpoch().addDays((a - dayMs) / kDayMs);
        const QString label = dayMs == 0 ? in.locale.toString(date, QLocale::ShortFormat)
                                         : in.locale.toString(QTime::fromMSecsSinceStartOfDay(int(dayMs)),
                                                              QLocale::ShortFormat);
        c.text(ChartLabel::Kind::Time, label, x, 1, kLabel);
        c.text(ChartLabel::Kind::Time, label, x, plot.H - 13, kLabel);
    }
}

// Value lines; a label on each whole ten.
void drawValueLines(Canvas& c, const ChartInput& in, const Plot& plot) {
    for (int v = plot.lo; v <= plot.hi; v += plot.step) {
        const int y = int(std::lround(plot.yOf(v)));
        if (v % 10 != 0) {
            c.line(kMinorLine, kLeft, y, kLeft + plot.PW, y);
            continue;
        }
        c.line(kMajorLine, kLeft, y, kLeft + plot.PW, y);
        const QString label = valueText(v, in);
        c.text(ChartLabel::Kind::Value, label, plot.W - c.textWidth(label), y - 6, kLabel);
        c.text(ChartLabel::Kind::Value, label, 0, y - 6, kLabel);
    }
}

// The current value, and the curve from the oldest sample to the newest; missing samples
// are bridged.
void drawCurve(Canvas& c, const ChartInput& in, const Plot& plot) {
    const auto& sample = in.chart.Sample;
    const QRgb curve = curveColor(in.mode);
    const QString current = valueText(sample[0], in);
    c.text(ChartLabel::Kind::Current, current, plot.W - c.textWidth(current),
           int(std::lround(plot.yOf(sample[0]))) - 6, curve);

    QPointF points[kChartSamples];
    int n = 0;
    for (int k = kChartSamples - 1; k >= 0; --k)
        if (sample[k] != kNoMeasurement)
            points[n++] = QPointF((1.0 - k / double(kChartSamples - 1)) * plot.PW + kLeft, plot.yOf(sample[k]));
    QPainter& p = c.painter();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor::fromRgba(curve), 1.0));
    if (n == 1)
        p.drawPoint(points[0]);
    else
        p.drawPolyline(points, n);
}

} // namespace

ChartPicture DrawChart(const ChartInput& in, QSize size, QImage recycle) {
    ChartPicture out;
    const QSize sz = size.expandedTo(QSize(1, 1));
    out.image = canvasImage(in, sz, std::move(recycle));
    Plot plot;
    plot.W = sz.width();
    plot.H = sz.height();
    plot.PW = plot.W - kLeft - kRight;
    plot.PH = plot.H - kTop - kBottom - 1;
    Canvas c(out.image, in, out.labels);

    if (in.chart.Sample[0] == kNoMeasurement || in.interval <= 0) {
        const int tw = c.textWidth(in.notConnected);
        c.text(ChartLabel::Kind::NotConnected, in.notConnected, (plot.W - tw) / 2,
               (plot.H - c.textHeight()) / 2, kLabel);
        return out;
    }
    valueRange(in, plot);
    timeScale(in, plot);

    // Over-temperature band: everything above 60 °C.
    if (in.mode != csVoltage) {
        const double y600 = plot.yOf(kOverTemperature);
        if (y600 > 0)
            c.painter().fillRect(QRect(0, 0, plot.W, int(std::lround(std::min<double>(y600, plot.H)))),
                                 QColor::fromRgba(kBand));
    }
    drawTimeLines(c, in, plot);
    drawValueLines(c, in, plot);
    drawCurve(c, in, plot);
    return out;
}

} // namespace quenda
