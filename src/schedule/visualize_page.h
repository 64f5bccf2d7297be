// The Visualization page: the schedule drawn as day curves (or over the sun's path in
// mode Geo), and the points of one chosen channel dragged with the mouse.
#pragma once

#include "pages/page.h"
#include "schedule/day_curves.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QTimer;

namespace quenda {

// The drawing surface: shows the last picture and reports the mouse.
class CurveSurface : public QWidget {
    Q_OBJECT
public:
    explicit CurveSurface(QWidget* parent = nullptr);
    void setPicture(const QImage* image) { picture_ = image; update(); }

signals:
    void mouseDown(QPointF pos);
    void mouseMove(QPointF pos);
    void mouseUp(QPointF pos);
    void resized();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    const QImage* picture_ = nullptr;
};

class VisualizePage : public Page {
    Q_OBJECT
public:
    static constexpr int kRedrawInterval = 25; // ms, while a point is dragged

    VisualizePage(const QString& objectName, const QString& caption, WindowServices& win,
                  QWidget* parent = nullptr);

    CurveSurface* img() const { return img_; }
    QComboBox* cmbVisualize() const { return cmbVisualize_; }
    QCheckBox* cbxTimeLock() const { return cbxTimeLock_; }
    QTimer* tmrVisualize() const { return tmrVisualize_; }
    int SelectedChannel() const { return selectedChannel_; }
    int DraggedLine() const { return draggedLine_; }
    const PointTable& points() const { return curves_.points; }
    const QImage& picture() const { return curves_.image; }

    // Redraws the picture for the present mode, schedule and clock.
    void DrawVisualization();

    void showSchedule() override { DrawVisualization(); }
    void showDeviceInfo() override;
    void pageShown() override { DrawVisualization(); }
    void channelNamesChanged() override;

public slots:
    void imgMouseDown(QPointF pos);
    void imgMouseMove(QPointF pos);
    void imgMouseUp();
    void imgResize();
    void cmbVisualizeChange(int index);
    void tmrVisualizeTimer();

protected:
    // The wheel over any part of the window picks the channel while this page is shown.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool geoMode() const;
    bool scheduleDownloadPending();
    // Picks a channel by the wheel; false when the wheel is not ours.
    bool FormMouseWheel(int delta);

    CurveSurface* img_ = nullptr;
    QLabel* lblVisualize_ = nullptr;
    QComboBox* cmbVisualize_ = nullptr;
    QCheckBox* cbxTimeLock_ = nullptr;
    QTimer* tmrVisualize_ = nullptr;
    int selectedChannel_ = 0;
    int draggedLine_ = -1;
    DayCurves curves_;
    QString lastFailure_;
};

} // namespace quenda
