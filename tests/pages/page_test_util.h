// A shown, active, connected main window for driving pages as a user would.
#pragma once

#include "app/main_window.h"
#include "pages/services.h"
#include "link/records.h"
#include "pages/page.h"

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTabWidget>
#include <QTest>

#include <cstring>
#include <memory>

namespace quenda::testing {

// A computer clock that shows what the test sets.
class FixedClock : public Clock {
public:
    QDateTime t;
    QDateTime now() const override { return t; }
};

// A control of the window by object name; a missing one is reported.
template <class T = QWidget> T* ctl(TfrmQuenda& w, const QString& name) {
    T* c = w.findChild<T*>(name);
    if (!c) qWarning() << "no control" << name;
    return c;
}

// A field of the window's copy of a settings record, by its code name.
inline int64_t fieldOf(TfrmQuenda& w, RecordKind kind, const char* name, int index = 0) {
    DeviceState& s = w.state();
    const void* r = kind == RecordKind::Config ? static_cast<const void*>(&s.Config)
                    : kind == RecordKind::Expert ? static_cast<const void*>(&s.Expert)
                                                 : static_cast<const void*>(&s.ExpertWeather);
    return readField(r, *findField(kind, name), index);
}

// Shows the window and waits until it is the active one.
inline bool showActive(TfrmQuenda& w) {
    w.show();
    w.activateWindow();
    QApplication::setActiveWindow(&w);
    return QTest::qWaitForWindowActive(&w);
}

inline std::unique_ptr<TfrmQuenda> makeShownWindow(QStringList args = {}) {
    WindowOptions o;
    o.args = std::move(args);
    o.useTaskbar = false;
    o.watchSystem = false;
    o.enumeratePorts = [] { return QStringList(); };
    o.startLink = [](const QString&, bool) {}; // no device: the tests play its part
    auto w = std::make_unique<TfrmQuenda>(std::move(o));
    if (!showActive(*w)) qWarning("window did not become active");
    return w;
}

// Connected in the given mode, on the given page, with no request pending.
inline void connectInMode(TfrmQuenda& w, int mode, const char* page) {
    w.state().Config.Mode = static_cast<uint8_t>(mode);
    w.EnableControls(true);
    w.ShowModeAndSettings();
    w.ShowPage(w.page(QString::fromLatin1(page)));
    w.state().assignRequests(0);
}

// A left press exactly at `pos`; QTest reads (0, 0) as "the widget's centre".
inline void pressAt(QWidget* w, QPointF pos) {
    QMouseEvent press(QEvent::MouseButtonPress, pos, w->mapToGlobal(pos), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

// Puts a line into the schedule the way a download does (it counts as read).
inline void downloadLine(DeviceState& st, int n, const TScheduleRow& row) {
    TransferBuffer b;
    b.Payload[0] = static_cast<uint8_t>(n);
    std::memcpy(b.Payload + 1, &row, sizeof row);
    st.storeScheduleRow(b);
}

// Types text into an edit the way a user does: focus, select all, keys.
inline void typeInto(QLineEdit* e, const QString& text) {
    e->setFocus(Qt::MouseFocusReason);
    e->selectAll();
    if (text.isEmpty())
        QTest::keyClick(e, Qt::Key_Delete);
    else
        QTest::keyClicks(e, text);
}

inline QRect sliderHandle(QSlider* s) {
    QStyleOptionSlider opt;
    opt.initFrom(s);
    opt.orientation = s->orientation();
    opt.maximum = s->maximum();
    opt.minimum = s->minimum();
    opt.sliderPosition = s->sliderPosition();
    opt.sliderValue = s->value();
    opt.tickPosition = s->tickPosition();
    opt.tickInterval = s->tickInterval();
    opt.pageStep = s->pageStep();
    opt.singleStep = s->singleStep();
    return s->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, s);
}

// Presses the handle of a slider and moves the mouse until the slider shows `value`
// (searching the pixel that maps to it); the button stays down. False if no pixel does.
inline bool pressAndDragTo(QSlider* s, int value) {
    const QPoint start = sliderHandle(s).center();
    QTest::mousePress(s, Qt::LeftButton, Qt::NoModifier, start);
    if (!s->isSliderDown()) return false;
    for (int x = 0; x < s->width(); ++x) {
        QTest::mouseMove(s, QPoint(x, start.y()));
        if (s->sliderPosition() == value) return true;
        if (s->sliderPosition() > value) break;
    }
    return false;
}

inline void release(QSlider* s) {
    QTest::mouseRelease(s, Qt::LeftButton, Qt::NoModifier, sliderHandle(s).center());
}

// A slider of a few hundred pixels steps by several values per pixel; widen the window
// pixel by pixel until one pixel maps exactly onto `value`. The button stays down.
inline bool dragToExactly(QWidget* window, QSlider* s, int value) {
    const QSize base = window->size();
    for (int extra = 0; extra < 24; ++extra) {
        window->resize(base.width() + extra, base.height());
        QApplication::processEvents();
        if (pressAndDragTo(s, value)) return true;
        release(s);
    }
    return false;
}

} // namespace quenda::testing
