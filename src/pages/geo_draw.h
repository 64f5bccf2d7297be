// The pictures and text of the place-and-clock page, apart from its widgets: the world
// map with the place marked, the sun and moon lines, and the lit part of the moon.
#pragma once

#include "astro/geo_text.h"
#include "link/records.h"

#include <QImage>
#include <QPointF>
#include <QPolygonF>
#include <QString>
#include <QTimeZone>

namespace quenda {

inline constexpr int kMapWidth = 1000;
inline constexpr int kMapHeight = 500;
inline constexpr int kMoonSize = 60;

// The bundled equirectangular world map, decoded once per call; null if the resource is missing.
QImage LoadWorldMap();

// Degrees of a map pixel; positions outside the map are clamped to its edge.
struct GeoPlace {
    double lat = 0;
    double lon = 0;
};
GeoPlace PlaceAtMapPixel(QPointF pixel);

// The lit part of the moon as one polygon: limb and terminator for the illuminated
// fraction `phase`, turned by `turnDeg`; empty for a phase outside 0..1.
QPolygonF MoonLitPolygon(double phase, double turnDeg, double radius, QPointF centre);
// Clears `moon` to transparent and fills the lit part, turned for a waxing or waning moon.
void DrawMoon(QImage& moon, double phase, double age);

// What the page shows.
struct GeoScene {
    QImage map;   // kMapWidth x kMapHeight
    QImage moon;  // kMoonSize x kMoonSize
    QString text; // two lines, each ending in a line break
};

// Redraws the scene for the device's place (config) and clock (info) in the given zone:
// map and mark always; text and moon only when the device's date and time are possible.
// Returns false (text and moon left as they were) for an impossible date or time.
bool RenderGeo(const QImage& pristineMap, const TConfig& config, const TInfo& info, const QTimeZone& zone,
               const GeoTextStyle& style, GeoScene& scene);

} // namespace quenda
