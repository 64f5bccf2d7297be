// What a page may ask of the main window. Pages own their controls and name their
// slots after the handlers; everything they share goes through this interface.
#pragma once

#include "link/device_state.h"

#include <QString>

class QWidget;

namespace quenda {

class Dialogs;
class Clock;

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
    virtual bool isConnected() const = 0;
    virtual Dialogs& dialogs() = 0;
    virtual Clock& clock() = 0;
    // Raise request bits under StateLock (with the copy of Info a SetInfo sends).
    void raiseRequest(uint32_t bits) { state().raiseFromWindow(bits); }
};

} // namespace quenda
