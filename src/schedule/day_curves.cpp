#include "schedule/day_curves.h"

#include "pages/number_text.h"
#include "astro/astro.h"
#include "astro/utc_offset.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>

namespace quenda {

namespace {

constexpr QRgb kCurveColours[16] = {
    0xFFFFFFFF, 0xFFFFFFFF, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFC000FF, 0xFFFFFFFF, 0xFFF0F0FF,
    0xFFFFFFE0, 0xFFFFFF00, 0xFFFF0080, 0xFF4000FF, 0xFF00FFFF, 0xFFC000FF, 0xFFFFC000, 0xFFC00000,
};
constexpr QRgb kBackground = 0xFF000000;
constexpr QRgb kGridColour = 0xFF101010;
constexpr QRgb kLabelColour = 0xFF808080;
constexpr QRgb kMarkerColour = 0xFFC0C0C0;
constexpr int kMargin = 20;
constexpr int kHitRange = 8;
constexpr int kFillBand = 64; // rows
constexpr double kFullLevel = 4096;

// Plot geometry of one surface.
struct Frame {
    double W, H;
    double levelY(double level) const { return (1 - level / kFullLevel) * (H - 41) + kMargin; }
    double minuteX(double minute) const { return minute * (W - 40) / 1440 + kMargin; }
    double angleX(double angle) const { return angle * (W - 40) / 360 + kMargin; }
    double gridX(int i) const { return i * (W - 40) / 24 + kMargin; }
    double gridY(int j) const { return j * (H - 41) / 10 + kMargin; }
};

// Places each line on the sun's path by its altitude: the rising lines from the start,
// the setting lines from the end; a line reached by neither stays at angle 0.
std::vector<double> sunPathAngles(std::span<const TScheduleRow> lines) {
    const int n = int(lines.size());
    std::vector<double> angle(std::size_t(n), 0.0);
    auto alt = [&](int k) { return int(lines[std::size_t(k)].Alt); };
    for (int k = 0; k < n - 1; ++k) {
        const double deg = StoredAltitudeDegrees(lines[std::size_t(k)].Alt);
        angle[std::size_t(k)] = std::isfinite(deg) ? deg + 90 : 90;
        if (alt(k + 1) < alt(k)) break;
    }
    for (int k = n - 1; k > 0; --k) {
        const double deg = StoredAltitudeDegrees(lines[std::size_t(k)].Alt);
        angle[std::size_t(k)] = std::isfinite(deg) ? 270 - deg : 270;
        if (alt(k - 1) < alt(k)) break;
    }
    return angle;
}

// Sun-path angle of the device's present moment at the configured place.
double presentSunAngle(const CurveScene& s) {
    const int year = 2000 + s.year;
    const int zoneHours = UtcOffsetAt(QDate(year, s.month, s.day), QTime(s.hour, s.minute), s.zone) / 60;
    const double jd = JulianDay(s.day, s.month, year) + (s.hour - zoneHours + s.minute / 60.0) / 24;
    const double lst = LocalSidereal(Radians(s.lonDeg), SiderealTime(jd));
    TBodyPosition sun;
    SunPosition(sun, Radians(lst * 15), Radians(s.latDeg), jd + astro::DeltaTDays);
    const double alt = Degrees(sun.Altitude);
    return sun.Rising ? alt + 90 : 270 - alt;
}

// A translucent colour as it shows on the black background: the shaded curves lie on
// the background but where they cross a grid line or one another, and an opaque colour
// blends in a single step.
QRgb overBackground(QRgb colour) {
    const int a = qAlpha(colour);
    return qRgb(qRed(colour) * a / 255, qGreen(colour) * a / 255, qBlue(colour) * a / 255);
}

void drawText(QPainter& p, const QFontMetrics& fm, double x, double y, const QString& text) {
    p.drawText(QPointF(x, y + fm.ascent()), text);
}

// Grid and axis labels.
void drawFrame(QPainter& p, const Frame& f, const QFontMetrics& fm, bool sunPath) {
    p.setPen(QColor::fromRgba(kGridColour));
    for (int i = 0; i <= 24; ++i) {
        const double x = double(roundHalfEven(f.gridX(i)));
        p.drawLine(QLineF(x, kMargin, x, f.H - 21));
    }
    for (int j = 0; j <= 10; ++j) {
        const double y = double(roundHalfEven(f.gridY(j)));
        p.drawLine(QLineF(kMargin, y, f.W - 20, y));
    }

    p.setPen(QColor::fromRgba(kLabelColour));
    const double bottom = f.H - fm.height();
    for (int i = 0; i <= 24; ++i) {
        const int value = !sunPath ? i : i <= 12 ? 15 * i - 90 : 270 - 15 * i;
        const QString text = sunPath ? QString::number(value) + QChar(0x00B0) : QString::number(value);
        const double x = double(roundHalfEven(f.gridX(i)) - 5);
        drawText(p, fm, x, 1, text);
        drawText(p, fm, x, bottom, text);
    }
    for (int j = 1; j <= 9; ++j) {
        const QString text = QString::number(100 - 10 * j) + QLatin1Char('%');
        const double y = double(roundHalfEven(f.gridY(j)) - 6);
        drawText(p, fm, f.W - fm.horizontalAdvance(text), y, text);
        drawText(p, fm, 0, y, text);
    }
}

// The present moment at x, over grid and labels.
void drawMarker(QPainter& p, const Frame& f, double markerX) {
    if (markerX >= 0 && markerX <= f.W) {
        p.setPen(QColor::fromRgba(kMarkerColour));
        p.drawLine(QLineF(markerX, 0, markerX, f.H));
    }
}

// Opaque colour over a premultiplied pixel with coverage 0..256, two channels at a time.
inline QRgb mix(QRgb dst, QRgb src, uint cover) {
    const uint rest = 256 - cover;
    const uint rb = (((src & 0xFF00FFu) * cover + (dst & 0xFF00FFu) * rest) >> 8) & 0xFF00FFu;
    const uint ag = (((src >> 8) & 0xFF00FFu) * cover + ((dst >> 8) & 0xFF00FFu) * rest) & 0xFF00FF00u;
    return rb | ag;
}

// Smoothed one-pixel lines straight into the pixels. The toolkit's smoothed stroker hands
// every pixel to its blending on its own and spent four fifths of a redraw on the curves.
class LineCanvas {
public:
    explicit LineCanvas(QImage& image)
        : bits_(image.bits()), stride_(image.bytesPerLine()), w_(image.width()), h_(image.height()) {}

    // From a to b, excluding the pixels whose centre lies at or past b along the longer
    // axis, so a polyline covers each joint once. Per step along that axis the coverage
    // is shared between the two pixels nearest the line by their distance from it.
    void segment(QPointF a, QPointF b, QRgb colour) {
        const bool steep = std::abs(b.y() - a.y()) > std::abs(b.x() - a.x());
        double u0 = steep ? a.y() : a.x(), u1 = steep ? b.y() : b.x();
        double v0 = steep ? a.x() : a.y(), v1 = steep ? b.x() : b.y();
        if (!(u0 != u1) || !std::isfinite(u0 + u1 + v0 + v1)) return;
        const double slope = (v1 - v0) / (u1 - u0);
        const bool backwards = u0 > u1;
        if (backwards) {
            std::swap(u0, u1);
            std::swap(v0, v1);
        }
        const int along = steep ? h_ : w_, across = steep ? w_ : h_;
        // Centres i + 0.5 in [u0, u1), or in (u0, u1] when walked backwards.
        const double lo = backwards ? std::floor(u0 - 0.5) + 1 : std::ceil(u0 - 0.5);
        const double hi = backwards ? std::floor(u1 - 0.5) : std::ceil(u1 - 0.5) - 1;
        const int first = int(std::clamp(lo, 0.0, double(along))), last = int(std::clamp(hi, -1.0, double(along - 1)));
        if (first > last) return;
        // The other coordinate in 1/65536 pixel, stepped along: its whole part picks the
        // pair of pixels, the next eight bits give the lower one's share.
        const double start = v0 + (first + 0.5 - u0) * slope - 0.5;
        if (!(std::abs(start) < 1e6)) return;
        int64_t v = std::llround(start * 65536);
        const int64_t step = std::llround(slope * 65536);
        for (int i = first; i <= last; ++i, v += step) {
            const int64_t j = v >> 16;
            const uint cover = uint(v >> 8) & 0xFFu;
            if (j >= 0 && j + 1 < across) {
                if (steep) {
                    QRgb* px = row(i) + j;
                    px[0] = mix(px[0], colour, 256 - cover);
                    px[1] = mix(px[1], colour, cover);
                } else {
                    QRgb& upper = row(int(j))[i];
                    QRgb& lower = row(int(j) + 1)[i];
                    upper = mix(upper, colour, 256 - cover);
                    lower = mix(lower, colour, cover);
                }
            } else if (j >= -1 && j < across) {
                if (steep) {
                    blend(int(j), i, colour, 256 - cover);
                    blend(int(j) + 1, i, colour, cover);
                } else {
                    blend(i, int(j), colour, 256 - cover);
                    blend(i, int(j) + 1, colour, cover);
                }
            }
        }
    }

    void polyline(const QPolygonF& poly, QRgb colour) {
        for (qsizetype k = 1; k < poly.size(); ++k) segment(poly[k - 1], poly[k], colour);
    }

private:
    QRgb* row(int y) const { return reinterpret_cast<QRgb*>(bits_ + y * stride_); }

    void blend(int x, int y, QRgb colour, uint cover) {
        if (x < 0 || y < 0 || x >= w_ || y >= h_ || cover == 0) return;
        QRgb& px = row(y)[x];
        px = mix(px, colour, cover);
    }

    uchar* bits_;
    qsizetype stride_;
    int w_, h_;
};

// The twelve curves, the selected one last; records every point in `points`.
void drawCurves(QPainter& p, LineCanvas& canvas, const Frame& f, const QFontMetrics& fm, const CurveScene& s,
                const std::vector<double>& xs, bool sunPath, PointTable& points) {
    const auto& lines = s.schedule;
    const int n = int(lines.size());
    const int selected = std::clamp(s.selected, 0, kChannels - 1);
    QPolygonF poly;
    poly.reserve(n + 3);
    for (int step = 1; step <= kChannels; ++step) {
        const int j = (selected + step) % kChannels;
        const int c = s.colorNames[std::size_t(j)];
        const bool isSelected = j == selected;
        poly.clear();
        poly << QPointF(kMargin, f.levelY(lines[std::size_t(n - 1)].Color16[j]));
        for (int k = 0; k < n; ++k) {
            const TScheduleRow& line = lines[std::size_t(k)];
            const int level = line.Color16[j];
            const QPointF pt(xs[std::size_t(k)], f.levelY(level));
            poly << pt;
            points[std::size_t(k)].X = float(pt.x());
            points[std::size_t(k)].Y[std::size_t(j)] = float(pt.y());
            if (!isSelected) continue;
            if (k == s.dragged) {
                QString text;
                if (sunPath) {
                    const double deg = StoredAltitudeDegrees(line.Alt);
                    text = (std::isfinite(deg) ? formatNumber(deg, "0.##") : QStringLiteral("0")) + QChar(0x00B0) +
                           QLatin1Char(' ') + formatNumber(level / 40.96, "0") + QLatin1Char('%');
                } else {
                    text = formatNumber(line.Hour, "00") + QLatin1Char(':') + formatNumber(line.Minute, "00") +
                           QLatin1Char(' ') + levelPercentText(level) + QLatin1Char('%');
                }
                p.fillRect(QRect(0, 0, fm.horizontalAdvance(text), fm.height()), Qt::white);
                p.setPen(Qt::black);
                drawText(p, fm, 0, 0, text);
            }
            const QPoint topLeft(int(roundHalfEven(pt.x() - 5)), int(roundHalfEven(pt.y() - 5)));
            const QPoint bottomRight(int(roundHalfEven(pt.x() + 5)), int(roundHalfEven(pt.y() + 5)));
            p.fillRect(QRect(topLeft, bottomRight - QPoint(1, 1)), QColor::fromRgba(CurvePalette(c)));
        }
        if (!isSelected) {
            canvas.polyline(poly, overBackground(CurveShadePalette(c)));
            continue;
        }
        canvas.polyline(poly, CurvePalette(c));
        poly << QPointF(f.W - 20, f.H - 20) << QPointF(kMargin, f.H - 20);
        // The shade's only slanted edge is the curve just stroked over it; a plain fill
        // costs a third of a smoothed one. Filled in bands of fewer rows than the toolkit
        // hands to its helper threads: on a busy machine waiting for them to be scheduled
        // costs many times the fill itself.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor::fromRgba(CurveShadePalette(c)));
        const int width = int(f.W), height = int(f.H);
        for (int top = 0; top < height; top += kFillBand) {
            p.setClipRect(QRect(0, top, width, std::min(kFillBand, height - top)));
            p.drawPolygon(poly);
        }
        p.setClipping(false);
        p.setBrush(Qt::NoBrush);
    }
}

DayCurves draw(const CurveScene& s, DayCurves out, bool sunPath) {
    out.failure.clear();
    const int n = int(s.schedule.size());
    out.points.assign(std::size_t(n), CurvePoint{});
    if (s.size.width() <= 0 || s.size.height() <= 0) {
        out.image = QImage();
        return out;
    }
    // Reuse the pixels when nobody else holds them; painting would copy them otherwise.
    if (out.image.size() != s.size || out.image.format() != QImage::Format_ARGB32_Premultiplied)
        out.image = QImage(s.size, QImage::Format_ARGB32_Premultiplied);
    if (out.image.isNull()) {
        out.failure = QStringLiteral("no memory for a %1 x %2 picture").arg(s.size.width()).arg(s.size.height());
        return out;
    }
    CurveFrame& frame = out.frame;
    const bool frameKept = frame.image.size() == s.size && frame.image.format() == out.image.format() &&
                           frame.sunPath == sunPath && frame.font == s.font;
    // Taken before painting starts, so that the painter and the canvas share these pixels.
    LineCanvas canvas(out.image);
    if (frameKept)
        std::memcpy(out.image.bits(), frame.image.constBits(), std::size_t(frame.image.sizeInBytes()));
    else
        out.image.fill(kBackground);

    QPainter p(&out.image);
    try {
        const Frame f{double(s.size.width()), double(s.size.height())};
        p.setFont(s.font);
        const QFontMetrics fm(s.font, &out.image);
        if (!frameKept) {
            frame.image = QImage();
            drawFrame(p, f, fm, sunPath);
            frame.image = out.image.copy();
            frame.sunPath = sunPath;
            frame.font = s.font;
        }
        drawMarker(p, f, sunPath ? f.angleX(presentSunAngle(s)) : f.minuteX(s.hour * 60 + s.minute));
        if (n == 0) return out;

        std::vector<double> xs(static_cast<std::size_t>(n));
        if (sunPath) {
            const std::vector<double> angles = sunPathAngles(s.schedule);
            for (int k = 0; k < n; ++k) xs[std::size_t(k)] = f.angleX(angles[std::size_t(k)]);
        } else {
            for (int k = 0; k < n; ++k) {
                const TScheduleRow& line = s.schedule[std::size_t(k)];
                xs[std::size_t(k)] = f.minuteX(line.Hour * 60 + line.Minute);
            }
        }
        drawCurves(p, canvas, f, fm, s, xs, sunPath, out.points);
    } catch (const std::exception& e) {
        // What was drawn so far stays.
        out.failure = QString::fromLocal8Bit(e.what());
    }
    return out;
}

} // namespace

QRgb CurvePalette(int index) {
    return kCurveColours[index >= 0 && index < 16 ? index : 0];
}

QRgb CurveShadePalette(int index) {
    return (CurvePalette(index) & 0x00FFFFFF) | 0x20000000;
}

DayCurves DrawDayCurves(const CurveScene& scene, DayCurves reuse) {
    return draw(scene, std::move(reuse), false);
}

DayCurves DrawSunPathCurves(const CurveScene& scene, DayCurves reuse) {
    return draw(scene, std::move(reuse), true);
}

int HitPoint(const PointTable& points, int channel, QPointF pos) {
    if (channel < 0 || channel >= kChannels) return -1;
    for (std::size_t k = 0; k < points.size(); ++k) {
        const CurvePoint& pt = points[k];
        if (std::abs(pt.X - pos.x()) <= kHitRange && std::abs(pt.Y[std::size_t(channel)] - pos.y()) <= kHitRange)
            return int(k);
    }
    return -1;
}

std::optional<int> MinuteAtX(double x, int width) {
    if (width - 40 <= 0 || !std::isfinite(x)) return std::nullopt;
    return int(std::clamp<int64_t>(roundHalfEven((x - kMargin) * 1440 / (width - 40)), 0, 1440));
}

std::optional<int> LevelAtY(double y, int height) {
    if (height - 41 <= 0 || !std::isfinite(y)) return std::nullopt;
    return int(std::clamp<int64_t>(roundHalfEven((1 - (y - kMargin) / (height - 41)) * kFullLevel), 0, 4096));
}

} // namespace quenda
