// What a page (and the status display) may ask of the main window. Pages own their
// controls and name their slots after the handlers; everything they share goes
// through this interface, so nothing under the window includes the window.
#pragma once

#include "link/device_state.h"

#include <QString>
#include <initializer_list>

class QLabel;
class QWidget;

namespace quenda {

class Dialogs;
class Clock;
enum class EnableWhen;

inline constexpr char kAppTitle[] = "Drevanilux 2.x.5";
// Caption prefix: names our web site.
inline constexpr char kVendorLabel[] = "quenda-led.org";

class WindowServices {
public:
    virtual ~WindowServices() = default;
    virtual DeviceState& state() = 0;
    virtual void AddLog(const QString& text) = 0;
    virtual void ShowPage(QWidget* page) = 0;
    virtual void SetMode(int mode) = 0;
    // "Channels A-F", unless "Channels G-L" is the active page already.
    virtual void ShowChannelsPage() = 0;
    // Refills every page from the expert record (after a page changed it).
    virtual void ShowExpertSettings() = 0;
    // The cloud and thunderstorm ratio lines (after a page changed the chances).
    virtual void ShowWeatherRatios() = 0;
    // Shows the device-information record again (status texts, sensor enabling, pages).
    virtual void ShowDeviceInfo() {}
    virtual bool isConnected() const = 0;
    virtual Dialogs& dialogs() = 0;
    virtual Clock& clock() = 0;

    // The top-level window, where controls are found by object name.
    virtual QWidget* mainWidget() = 0;
    // Status-bar panel 0..2.
    virtual QLabel* statusPanel(int i) const = 0;
    virtual const QString& portName() const = 0;
    // Sets the controls of the given enabling rules (all when empty) for the present state.
    virtual void applyEnableRules(std::initializer_list<EnableWhen> only = {}) = 0;

    // Raise request bits under StateLock (with the copy of Info a SetInfo sends).
    void raiseRequest(uint32_t bits) { state().raiseFromWindow(bits); }
};

} // namespace quenda
