#include "status/health_view.h"

#include "pages/number_text.h"

#include <QPainter>
#include <QPaintEvent>
#include <cmath>

namespace quenda {

namespace {
constexpr QRgb kRed = 0xFFFF0000, kOrange = 0xFFFF8000, kYellow = 0xFFFFFF00, kGreen = 0xFF00FF00,
               kCyan = 0xFF00FFFF;

constexpr int kRowStep = 12;
constexpr int kVoltageBarTop = 96;
constexpr int kTemperatureBarTop = 108;
constexpr int kBarHeight = 12;

const char* const kBandLabels[kHealthBands] = {
    "T>60:", "T>55:", "T>50:", "T>45:", "T<45:", "V>30.5:", "V>29.0:", "V>26.0:", "V<26.0:"};

QString hoursText(uint64_t periods) {
    return formatNumber(double(periods) * 15.0 / 3600.0, "0.0") + 'h';
}

// Segments laid end to end from x = 0; the running sum stays exact, only the ends are rounded.
std::vector<HealthSegment> stack(const THealth& h, std::initializer_list<std::pair<int, QRgb>> bands,
                                 uint64_t working, double scale) {
    std::vector<HealthSegment> out;
    double sum = 0;
    int x = 0;
    for (const auto& [band, color] : bands) {
        sum += double(healthCounter(h, band)) / double(working) * scale;
        const int end = int(std::lround(sum));
        out.push_back({band, x, end, color});
        x = end;
    }
    return out;
}
} // namespace

HealthBars computeHealthBars(const THealth& h, int width) {
    HealthBars bars;
    for (int b = hbV305; b <= hbVBelow26; ++b)
        bars.working += healthCounter(h, b);
    if (bars.working == 0 || width <= 0) return bars;
    bars.scale = double(width) * std::log(double(bars.working)) / std::log(double(kHealthScaleTicks));
    bars.voltage = stack(h, {{hbVBelow26, kGreen}, {hbV260, kYellow}, {hbV290, kOrange}, {hbV305, kRed}},
                         bars.working, bars.scale);
    bars.temperature =
        stack(h, {{hbTBelow45, kCyan}, {hbT45, kGreen}, {hbT50, kYellow}, {hbT55, kOrange}, {hbT60, kRed}},
              bars.working, bars.scale);
    return bars;
}

QImage renderHealth(const THealth& h, QSize size, QColor background, QColor text) {
    QImage img(size.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    img.fill(background);
    if (h.PowerCycles == 0) return img;

    QPainter p(&img);
    QFont font = p.font();
    font.setPixelSize(10); // rows are 12 px apart
    p.setFont(font);
    p.setPen(text);
    auto put = [&](int x, int y, const QString& s) {
        p.drawText(QRect(x, y, 1000, kRowStep), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, s);
    };

    const HealthBars bars = computeHealthBars(h, img.width());
    put(0, 0, QStringLiteral("Power cycles:"));
    put(70, 0, QString::number(h.PowerCycles));
    put(350, 0, QStringLiteral("Working:"));
    put(420, 0, QString::number(bars.working));
    put(490, 0, hoursText(bars.working));
    if (bars.working == 0) return img;

    for (int band = 0; band < kHealthBands; ++band) {
        // Temperature bands fill the left block from y = 24, voltage bands the right one from y = 36.
        const bool voltage = band >= hbV305;
        const int x = voltage ? 350 : 0;
        const int y = voltage ? 36 + (band - hbV305) * kRowStep : 24 + band * kRowStep;
        const uint32_t c = healthCounter(h, band);
        put(x, y, QString::fromLatin1(kBandLabels[band]));
        put(x + 70, y, QString::number(c));
        put(x + 140, y, hoursText(c));
        put(x + 210, y, formatNumber(double(c) / double(bars.working) * 100.0, "0.0") + '%');
    }

    for (const auto& s : bars.voltage)
        p.fillRect(s.x0, kVoltageBarTop, s.x1 - s.x0, kBarHeight, QColor(s.color));
    for (const auto& s : bars.temperature)
        p.fillRect(s.x0, kTemperatureBarTop, s.x1 - s.x0, kBarHeight, QColor(s.color));
    return img;
}

HealthView::HealthView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("imgHealth"));
    setMinimumHeight(kDesignHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void HealthView::draw(const THealth& h) {
    health_ = &h;
    image_ =
        renderHealth(h, size(), palette().color(QPalette::Window), palette().color(QPalette::WindowText));
    update();
}

void HealthView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (image_.isNull())
        p.fillRect(rect(), palette().color(QPalette::Window));
    else
        p.drawImage(0, 0, image_);
}

void HealthView::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (health_ && isVisible()) draw(*health_);
}

void HealthView::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    // A resize while hidden was not drawn.
    if (health_ && image_.size() != size()) draw(*health_);
}

} // namespace quenda
