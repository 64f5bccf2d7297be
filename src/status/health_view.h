// The health picture: how long the device has run in which board-temperature and
// input-voltage band, as a table of counters and two stacked bars on a log scale.
#pragma once

#include "link/records.h"

#include <QColor>
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <vector>

namespace quenda {

// 15-second periods in ten years of 365.2425 days: a bar of full width.
inline constexpr uint32_t kHealthScaleTicks = 21037968;

// Counter order in the record.
enum HealthBand { hbT60, hbT55, hbT50, hbT45, hbTBelow45, hbV305, hbV290, hbV260, hbVBelow26, kHealthBands };

struct HealthSegment {
    int band;
    int x0; // first pixel
    int x1; // one past the last pixel; x1 == x0 for an empty segment
    QRgb color;
};

struct HealthBars {
    uint64_t working = 0;                   // the four voltage counters together
    double scale = 0;                       // pixels for the whole working time
    std::vector<HealthSegment> voltage;     // from the lowest band up
    std::vector<HealthSegment> temperature; // from the coolest band up
};

// Bar geometry for a picture of the given width; empty bars when nothing was worked.
HealthBars computeHealthBars(const THealth& h, int width);

// The whole picture. Blank when the device reports no power cycles.
QImage renderHealth(const THealth& h, QSize size, QColor background, QColor text);

// The drawing surface imgHealth: keeps the last rendered picture, and renders the
// record again at its new width when it is resized while shown.
class HealthView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDesignWidth = 985;
    static constexpr int kDesignHeight = 153;

    explicit HealthView(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {kDesignWidth, kDesignHeight}; }

    // Renders the record at the control's size. The record must outlive the view
    // (it is the window's copy), since resizing draws it again.
    void draw(const THealth& h);
    const QImage& image() const { return image_; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    const THealth* health_ = nullptr;
    QImage image_;
};

} // namespace quenda
