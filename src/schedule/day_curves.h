// The day-curve picture: the schedule as twelve level curves over the time of day, or
// over the sun's path in mode Geo, with the device's present moment marked. Drawing is
// a pure function of a scene, so it runs (and is measured) without a window; it also
// hands back where every schedule point landed, for hit-testing the mouse.
#pragma once

#include "link/records.h"

#include <QFont>
#include <QImage>
#include <QPointF>
#include <QRgb>
#include <QSize>
#include <QString>
#include <QTimeZone>

#include <array>
#include <optional>
#include <span>
#include <vector>

namespace quenda {

// Where one schedule line was drawn: its x and the y of each channel, in pixels.
struct CurvePoint {
    float X = 0;
    std::array<float, kChannels> Y{};
};
using PointTable = std::vector<CurvePoint>;

// Curve colours by colour-name index (opaque, and the same with alpha 0x20 for the
// shaded curves). An index the table does not hold gets the colour of index 0.
QRgb CurvePalette(int index);
QRgb CurveShadePalette(int index);

struct CurveScene {
    std::span<const TScheduleRow> schedule;
    std::array<uint8_t, kChannels> colorNames{};
    QSize size;
    // The device's clock, as TInfo carries it (two-digit year).
    int year = 0, month = 1, day = 1, hour = 0, minute = 0;
    // The configured place in degrees, east and north positive (sun path only).
    double latDeg = 0, lonDeg = 0;
    QTimeZone zone = QTimeZone::systemTimeZone();
    int selected = 0; // drawn last, with its points and the shade under it
    int dragged = -1; // the line whose drag label is shown
    QFont font;
};

// The grid and the axis labels depend only on the size, the kind of axis and the font;
// kept from one drawing to the next and copied instead of drawn again.
struct CurveFrame {
    QImage image;
    bool sunPath = false;
    QFont font;
};

struct DayCurves {
    QImage image;
    PointTable points; // one entry per schedule line
    QString failure;   // why the drawing stopped early; empty when it did not
    CurveFrame frame;  // reused by the next drawing
};

// Both take the previous result to reuse its buffers (a drag redraws every 25 ms).
DayCurves DrawDayCurves(const CurveScene& scene, DayCurves reuse = {});
DayCurves DrawSunPathCurves(const CurveScene& scene, DayCurves reuse = {});

// The first line whose point of `channel` lies within 8 px of `pos` in x and in y; -1
// when none does.
int HitPoint(const PointTable& points, int channel, QPointF pos);

// Mouse position to schedule values on a surface of the given size, clamped to
// 0..1440 minutes and 0..4096; nothing when the surface has no plot area.
std::optional<int> MinuteAtX(double x, int width);
std::optional<int> LevelAtY(double y, int height);

} // namespace quenda
