// The page "Configuration": the time-lapse factor, the three display-backlight levels
// and the three fan levels, each a track bar (device units) beside a percent edit.
// The window puts the board status line and the health picture below them.
#pragma once

#include "pages/page.h"

class QSlider;

namespace quenda {

class FieldBinding;

class ConfigPage : public Page {
    Q_OBJECT
public:
    ConfigPage(const QString& objectName, const QString& caption, WindowServices& win, QWidget* parent = nullptr);

    // Places a box of the status display under the settings.
    void addStatusBox(QWidget* box);

    void showModeAndSettings() override;
    void showExpertSettings() override;

public slots:
    void btnRealtimeClick();

private:
    void build();
    QSlider* bar(const char* name) const;

    FieldBinding* binding_ = nullptr;
};

} // namespace quenda
