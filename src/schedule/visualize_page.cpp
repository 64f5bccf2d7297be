#include "schedule/visualize_page.h"

#include "pages/window_services.h"
#include "lang/texts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace quenda {

// ---- Surface ------------------------------------------------------------------------

CurveSurface::CurveSurface(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false); // moves matter only while a button is down
}

void CurveSurface::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (picture_ && !picture_->isNull()) {
        // The picture is opaque: copied, not blended over what was there.
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(0, 0, *picture_);
    }
    else
        p.fillRect(rect(), Qt::black);
}

void CurveSurface::mousePressEvent(QMouseEvent* e) { emit mouseDown(e->position()); }
void CurveSurface::mouseMoveEvent(QMouseEvent* e) { emit mouseMove(e->position()); }
void CurveSurface::mouseReleaseEvent(QMouseEvent* e) { emit mouseUp(e->position()); }
void CurveSurface::resizeEvent(QResizeEvent*) { emit resized(); }
void CurveSurface::enterEvent(QEnterEvent*) { setCursor(Qt::CrossCursor); }
void CurveSurface::leaveEvent(QEvent*) { unsetCursor(); }

// ---- Page ---------------------------------------------------------------------------

VisualizePage::VisualizePage(const QString& objectName, const QString& caption, WindowServices& win,
                             QWidget* parent)
    : Page(objectName, caption, win, parent) {
    auto* layout = new QVBoxLayout(this);
    img_ = new CurveSurface(this);
    img_->setObjectName(QStringLiteral("img"));
    layout->addWidget(img_, 1);

    auto* strip = new QHBoxLayout;
    lblVisualize_ = new QLabel(QStringLiteral("Adjust the following channel by click and drag:"), this);
    lblVisualize_->setObjectName(QStringLiteral("lblVisualize"));
    cmbVisualize_ = new QComboBox(this);
    cmbVisualize_->setObjectName(QStringLiteral("cmbVisualize"));
    cmbVisualize_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    cbxTimeLock_ = new QCheckBox(QStringLiteral("Lock times"), this);
    cbxTimeLock_->setObjectName(QStringLiteral("cbxTimeLock"));
    strip->addWidget(lblVisualize_);
    strip->addWidget(cmbVisualize_);
    strip->addWidget(cbxTimeLock_);
    strip->addStretch(1);
    layout->addLayout(strip);

    tmrVisualize_ = new QTimer(this);
    tmrVisualize_->setObjectName(QStringLiteral("tmrVisualize"));
    tmrVisualize_->setInterval(kRedrawInterval);

    connect(img_, &CurveSurface::mouseDown, this, &VisualizePage::imgMouseDown);
    connect(img_, &CurveSurface::mouseMove, this, &VisualizePage::imgMouseMove);
    connect(img_, &CurveSurface::mouseUp, this, &VisualizePage::imgMouseUp);
    connect(img_, &CurveSurface::resized, this, &VisualizePage::imgResize);
    connect(cmbVisualize_, &QComboBox::currentIndexChanged, this, &VisualizePage::cmbVisualizeChange);
    connect(tmrVisualize_, &QTimer::timeout, this, &VisualizePage::tmrVisualizeTimer);
    qApp->installEventFilter(this);
}

bool VisualizePage::geoMode() const {
    return win_.state().Config.Mode == 2;
}

bool VisualizePage::scheduleDownloadPending() {
    return win_.state().isRaised(rqGetSchedule);
}

void VisualizePage::DrawVisualization() {
    const DeviceState& st = win_.state();
    const bool geo = geoMode();
    cbxTimeLock_->setVisible(!geo);

    CurveScene scene;
    scene.schedule = st.Schedule;
    std::copy(std::begin(st.Config.ColorName), std::end(st.Config.ColorName), scene.colorNames.begin());
    scene.size = img_->size();
    scene.year = st.Info.Year;
    scene.month = st.Info.Month;
    scene.day = st.Info.Day;
    scene.hour = st.Info.Hour;
    scene.minute = st.Info.Minute;
    scene.latDeg = st.Config.Lat / 10.0;
    scene.lonDeg = st.Config.Lon / 10.0;
    scene.selected = selectedChannel_;
    scene.dragged = draggedLine_;
    scene.font = img_->font();

    img_->setPicture(nullptr); // the old picture's pixels are about to be reused
    curves_ = geo ? DrawSunPathCurves(scene, std::move(curves_)) : DrawDayCurves(scene, std::move(curves_));
    img_->setPicture(&curves_.image);
    // Once per new kind of failure: a drag redraws forty times a second.
    if (!curves_.failure.isEmpty() && curves_.failure != lastFailure_)
        win_.AddLog(QStringLiteral("Day curves: drawing stopped early: ") + curves_.failure);
    lastFailure_ = curves_.failure;
}

void VisualizePage::showDeviceInfo() {
    // The present-moment marker follows the device's clock while the page is shown; during
    // a drag the timer's next redraw brings it along.
    if (isVisible() && !tmrVisualize_->isActive()) DrawVisualization();
}

void VisualizePage::channelNamesChanged() {
    const QSignalBlocker block(cmbVisualize_);
    cmbVisualize_->setCurrentIndex(selectedChannel_ < cmbVisualize_->count() ? selectedChannel_ : -1);
    // The curve colours follow the names. The names are spread at every poll: a hidden page
    // draws when it is shown, and during a drag the timer's next redraw brings them along.
    if (isVisible() && !tmrVisualize_->isActive()) DrawVisualization();
}

void VisualizePage::imgMouseDown(QPointF pos) {
    if (scheduleDownloadPending()) return;
    const int line = HitPoint(curves_.points, selectedChannel_, pos);
    // A line not read from the device holds no known values to edit.
    if (line < 0 || !win_.state().isRead(line)) return;
    draggedLine_ = line;
    tmrVisualize_->start();
}

void VisualizePage::imgMouseMove(QPointF pos) {
    if (draggedLine_ < 0 || scheduleDownloadPending()) return;
    auto& lines = win_.state().Schedule;
    // A download may have shortened the schedule under the held point.
    if (draggedLine_ >= int(lines.size())) return;
    TScheduleRow& line = lines[std::size_t(draggedLine_)];
    if (!cbxTimeLock_->isChecked() && !geoMode()) {
        if (const auto minutes = MinuteAtX(pos.x(), img_->width())) {
            line.Hour = static_cast<int8_t>(*minutes / 60);
            line.Minute = static_cast<int8_t>(*minutes % 60);
        }
    }
    if (const auto level = LevelAtY(pos.y(), img_->height()))
        line.Color16[selectedChannel_] = static_cast<int16_t>(*level);
}

void VisualizePage::imgMouseUp() {
    if (draggedLine_ < 0) return;
    const int line = draggedLine_;
    draggedLine_ = -1;
    tmrVisualize_->stop();
    DeviceState& st = win_.state();
    if (line < int(st.Schedule.size())) st.markRowsForUpload(line, line);
    DrawVisualization(); // without the drag label
}

void VisualizePage::imgResize() {
    if (img_->isVisible()) DrawVisualization();
}

void VisualizePage::cmbVisualizeChange(int index) {
    if (index < 0 || index >= kChannels) return;
    selectedChannel_ = index;
    DrawVisualization();
}

void VisualizePage::tmrVisualizeTimer() {
    if (window()->isVisible()) DrawVisualization();
}

bool VisualizePage::FormMouseWheel(int delta) {
    if (!isVisible() || draggedLine_ != -1 || delta == 0) return false;
    const int next = std::clamp(selectedChannel_ + (delta < 0 ? 1 : -1), 0, kChannels - 1);
    selectedChannel_ = next;
    {
        const QSignalBlocker block(cmbVisualize_);
        if (next < cmbVisualize_->count()) cmbVisualize_->setCurrentIndex(next);
    }
    DrawVisualization();
    return true;
}

bool VisualizePage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == window()) {
        // Accepted, so that it is not offered to the parent widgets as well.
        if (FormMouseWheel(static_cast<QWheelEvent*>(event)->angleDelta().y())) {
            event->accept();
            return true;
        }
    }
    return Page::eventFilter(watched, event);
}

} // namespace quenda
