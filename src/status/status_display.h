// What the window shows of the device outside the editing pages: the status-bar
// panels, the caption, the board-status line, the weather ratio lines and the health
// picture, plus the enabling of the sensor- and mode-dependent controls. Everything
// runs on the window's thread and reads DeviceState without the lock (records change
// only on this thread).
//
// Controls of the pages are found by object name; a control that a page does not
// lacks is skipped, and a control with the keyboard focus is never rewritten.
#pragma once

#include "link/device_codes.h"
#include "link/records.h"

#include <QString>
#include <QHash>
#include <QPointer>
#include <QWidget>
#include <initializer_list>

class QLabel;

namespace quenda {

class WindowServices;
class HealthView;
enum class EnableWhen;

inline constexpr char kStatusSeparator[] = " \u2022 ";

// ---- Texts ----

// Port, error texts, temperatures and voltage, joined by the separator; values
// marked as not measured are left out.
QString StatusText(const TInfo& info, const TConfig& config, const QString& port);
// Mode name and activity letters, or "Saving" while the device writes its EEPROM.
QString ModeText(const TInfo& info, const TConfig& config);
// Vendor label, application title and the status text.
QString WindowCaption(const QString& statusText);
// Every error bit except "RAM full" colours the board line.
inline bool boardErrorShown(uint8_t errorFlags) {
    return (errorFlags & ~ErrorBit::RamFull & 0xFF) != 0;
}
// The device clock as local date and time; empty when the device's date or time is impossible.
QString DeviceClockText(const TInfo& info);
// "<caption>: <share>%" of the long-run time inside the start/end process; empty for 0/0.
QString RatioText(const QString& captionKey, uint16_t startP, uint16_t endP);

// Fills the two ratio labels (either may be null). The Weather page calls this
// whenever it recomputes the probabilities.
void ShowWeatherRatios(QLabel* cloud, QLabel* storm, const TInfo& info, const TConfig& config);

// ---- Boxes of this display, placed on pages by the page table ----

// lblCloudRatio and lblStormRatio, one under the other.
class WeatherRatiosBox : public QWidget {
    Q_OBJECT
public:
    explicit WeatherRatiosBox(QWidget* parent = nullptr);
    QLabel* cloud() const { return cloud_; }
    QLabel* storm() const { return storm_; }

private:
    QLabel* cloud_;
    QLabel* storm_;
};

// lblBoard above the health picture imgHealth.
class BoardStatusBox : public QWidget {
    Q_OBJECT
public:
    explicit BoardStatusBox(QWidget* parent = nullptr);
    QLabel* board() const { return board_; }
    HealthView* health() const { return health_; }

private:
    QLabel* board_;
    HealthView* health_;
};

// ---- The display, one per window ----
//
// The channel pages refresh their own rows and their mode-bound controls; this covers
// the rest of the window.
class StatusDisplay {
public:
    // Aligns the status panels.
    explicit StatusDisplay(WindowServices& win);

    // After each device-information record; only while the window is shown.
    void showDeviceInfo();
    void enableSensorControls();
    bool showDeviceClock(); // panel 1; false (and cleared) for an impossible date
    void showStatus();      // status text into caption and lblBoard

    // After each configuration record, while the window is shown.
    void showModeAndSettings();
    void enableModeControls();
    void showModeText(); // panel 2
    void showWeatherRatios();

    void drawHealth();

private:
    template <class T> T* control(const QString& name) const;

    WindowServices& win_;
    // Found once: a search of the whole window twice a second shows in a drag.
    mutable QHash<QString, QPointer<QWidget>> found_;
};

} // namespace quenda
