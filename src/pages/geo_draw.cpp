#include "pages/geo_draw.h"

#include "astro/utc_offset.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <mutex>

// The map lives in a static library; register it explicitly, outside any namespace.
static void initMapResource() {
    Q_INIT_RESOURCE(geo_map);
}

namespace quenda {

namespace {
const QColor kLineColor(0xFF, 0xFF, 0xFF, 0x40);
const QColor kMarkColor(0xFF, 0x00, 0x00);
const QColor kMoonColor(0xE0, 0xE0, 0x00);
constexpr double kMoonRadius = 20;
constexpr int kSteps = 12; // 15 degrees each, half a turn
} // namespace

QImage LoadWorldMap() {
    static std::once_flag once;
    std::call_once(once, initMapResource);
    QImage img(QStringLiteral(":/map/world.jpg"));
    if (img.isNull()) return img;
    if (img.size() != QSize(kMapWidth, kMapHeight))
        img = img.scaled(kMapWidth, kMapHeight, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    // The format the page's painter blends in fastest.
    return img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

GeoPlace PlaceAtMapPixel(QPointF pixel) {
    const double x = std::clamp(pixel.x(), 0.0, double(kMapWidth));
    const double y = std::clamp(pixel.y(), 0.0, double(kMapHeight));
    return {90 - y * 180 / kMapHeight, x * 360 / kMapWidth - 180};
}

QPolygonF MoonLitPolygon(double phase, double turnDeg, double radius, QPointF centre) {
    if (!(phase >= 0 && phase <= 1)) return {};
    const double s = std::sin(Radians(turnDeg));
    const double c = std::cos(Radians(turnDeg));
    auto at = [&](double a, double b) {
        return QPointF(centre.x() + b * s + a * c, centre.y() + b * c - a * s);
    };
    const double step = astro::Pi / kSteps;
    QPolygonF poly;
    // The limb, a half circle from pi/2 to 3pi/2.
    for (int k = 0; k <= kSteps; ++k) {
        const double t = astro::Pi / 2 + k * step;
        poly << at(radius * std::sin(t), radius * std::cos(t));
    }
    // The terminator back, an ellipse half whose width follows the phase.
    for (int k = 1; k <= kSteps; ++k) {
        const double t = 3 * astro::Pi / 2 + k * step;
        poly << at(radius * std::sin(t), (2 * phase - 1) * radius * std::cos(t));
    }
    return poly;
}

void DrawMoon(QImage& moon, double phase, double age) {
    if (moon.size() != QSize(kMoonSize, kMoonSize) || moon.format() != QImage::Format_ARGB32_Premultiplied)
        moon = QImage(kMoonSize, kMoonSize, QImage::Format_ARGB32_Premultiplied);
    moon.fill(Qt::transparent);
    const QPolygonF lit = MoonLitPolygon(phase, age <= astro::Pi ? 180 : 0, kMoonRadius,
                                         QPointF(kMoonSize / 2.0, kMoonSize / 2.0));
    if (lit.isEmpty()) return;
    QPainter p(&moon);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(kMoonColor);
    p.drawPolygon(lit);
}

bool RenderGeo(const QImage& pristineMap, const TConfig& config, const TInfo& info, const QTimeZone& zone,
               const GeoTextStyle& style, GeoScene& scene) {
    const double lat = config.Lat * 0.1;
    const double lon = config.Lon * 0.1;

    // Every redraw starts from the untouched map; drawing detaches the copy.
    if (pristineMap.isNull()) {
        scene.map = QImage(kMapWidth, kMapHeight, QImage::Format_ARGB32_Premultiplied);
        scene.map.fill(Qt::black);
    } else {
        scene.map = pristineMap;
    }
    {
        QPainter p(&scene.map);
        const int y = int(std::lround((90 - lat) * kMapHeight / 180));
        const int x = int(std::lround((lon + 180) * kMapWidth / 360));
        p.fillRect(QRect(0, y, scene.map.width(), 1), kLineColor);
        p.fillRect(QRect(x, 0, 1, scene.map.height()), kLineColor);
        p.fillRect(QRect(x - 2, y - 2, 5, 5), kMarkColor);
    }

    const QDate date(2000 + info.Year, info.Month, info.Day);
    const QTime time(info.Hour, info.Minute);
    if (!date.isValid() || !time.isValid()) return false;

    GeoMoment m;
    m.latDeg = lat;
    m.lonDeg = lon;
    m.day = date.day();
    m.month = date.month();
    m.year = date.year();
    m.hour = time.hour();
    m.minute = time.minute();
    m.zoneHours = ZoneHoursFromMinutes(UtcOffsetAt(date, time, zone));
    const GeoFigures f = ComputeGeo(m);
    scene.text = QString::fromStdString(GeoText(f, style));
    DrawMoon(scene.moon, f.moon.Phase, f.moon.Age);
    return true;
}

} // namespace quenda
