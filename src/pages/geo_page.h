// The place-and-clock page: a world map on which a click sets the device's place,
// latitude and longitude edits, the device's date and time, and the sun's and moon's
// figures for that place and moment with a picture of the lit part of the moon.
#pragma once

#include "pages/geo_draw.h"
#include "pages/page.h"

#include <QScrollArea>

class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace quenda {

// The map drawn at any scale with nearest-neighbour pixels; reports
// the mouse in map pixels, whatever the scale.
class GeoMapCanvas : public QWidget {
    Q_OBJECT
public:
    explicit GeoMapCanvas(QWidget* parent = nullptr);
    void setImage(const QImage& image);
    const QImage& image() const { return image_; }
    void setScale(double scale);
    double scale() const { return scale_; }
    QPointF mapPixelAt(QPointF viewPos) const { return viewPos / scale_; }

signals:
    void mouseDown(QPointF mapPixel);
    void mouseMove(QPointF mapPixel);
    void mouseEnter();
    void mouseLeave();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    QImage image_;
    double scale_ = 1;
};

// `imgGeo`: the scrollable view of the map. Ctrl+wheel changes the scale.
class GeoMapView : public QScrollArea {
    Q_OBJECT
public:
    explicit GeoMapView(QWidget* parent = nullptr);
    GeoMapCanvas* canvas() const { return canvas_; }
    void setScale(double scale);

protected:
    void wheelEvent(QWheelEvent* e) override;

private:
    GeoMapCanvas* canvas_;
};

// `imgMoon`.
class MoonView : public QWidget {
    Q_OBJECT
public:
    explicit MoonView(QWidget* parent = nullptr);
    void setImage(const QImage& image);
    const QImage& image() const { return image_; }

signals:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    QImage image_;
};

class GeoPage : public Page {
    Q_OBJECT
public:
    GeoPage(const QString& objectName, const QString& caption, WindowServices& win, QWidget* parent = nullptr);

    GeoMapView* imgGeo() const { return imgGeo_; }
    MoonView* imgMoon() const { return imgMoon_; }
    // False when the last redraw stopped after the map (impossible device clock).
    bool lastDrawComplete() const { return complete_; }

    void pageShown() override;
    void showDeviceInfo() override;
    void showModeAndSettings() override;
    void languageApplied() override;

public slots:
    void DrawGeo();
    void imgGeoMouseDown(QPointF mapPixel);
    void imgGeoMouseMove(QPointF mapPixel);
    void imgGeoMouseEnter();
    void imgGeoMouseLeave();
    void edtLatChange();
    void dtpChange(const QDate& date);
    void trbTimeChange(int position);
    void edtTimeChange(const QString& text);
    void btnNowClick();
    void imgMoonDblClick();

private:
    void build();
    // The place edits and the configuration fields they stand for.
    void showPlace();
    void storePlace(double latDeg, double lonDeg);
    // The clock controls moved to the device clock, each unless the user is at it.
    void showClock();
    void showTime(int hour, int minute, bool skipFocused);
    bool dateInUse() const;
    QLabel* statusPanel() const;

    QImage pristine_;
    GeoScene scene_;
    bool complete_ = false;

    GeoMapView* imgGeo_ = nullptr;
    MoonView* imgMoon_ = nullptr;
    QLabel* lblGeo_ = nullptr;
    QLineEdit* edtLat_ = nullptr;
    QLineEdit* edtLon_ = nullptr;
    QDateEdit* dtp_ = nullptr;
    QSlider* trbTime_ = nullptr;
    QLineEdit* edtTime_ = nullptr;
    QPushButton* btnNow_ = nullptr;
};

} // namespace quenda
