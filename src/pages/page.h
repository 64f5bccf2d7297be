// Base of every page of the main window: a tab sheet that owns its controls.
#pragma once

#include <QWidget>

namespace quenda {

class WindowServices;

class Page : public QWidget {
    Q_OBJECT
public:
    Page(const QString& objectName, const QString& caption, WindowServices& win, QWidget* parent = nullptr);

    // Default (English) tab caption, before the language tables relabel it.
    QString caption() const { return caption_; }
    // Runs when the page becomes the active one.
    virtual void pageShown() {}

    // Record displays: the window forwards each to every page after a record arrived
    // (or was imported). A page rewrites only controls that do not have the focus.
    virtual void showDeviceInfo() {}
    virtual void showModeAndSettings() {}
    virtual void showExpertSettings() {}
    virtual void showWeatherSettings() {}
    virtual void showSchedule() {}
    virtual void drawChart() {}
    virtual void drawHealth() {}
    // After the window enabled or disabled controls by the common table.
    virtual void controlsEnabled(bool connected) { (void)connected; }
    // The language tables have relabelled the window.
    virtual void languageApplied() {}
    // The channel colour names were spread over the window (ShowChannelNames).
    virtual void channelNamesChanged() {}

protected:
    WindowServices& win_;

private:
    QString caption_;
};

} // namespace quenda
