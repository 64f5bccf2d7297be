// The page "Expert options": PWM prescaler, bus bitrate, sensor offset, fan mode with
// its hysteresis, the chart's source, interval and scale, the device's time-zone
// rules, the display's language, units and formats, the random seed, the lightning
// masks and the cloud temperature triggers.
#pragma once

#include "pages/page.h"

#include <QTimeZone>
#include <functional>

namespace quenda {

class FieldBinding;

class ExpertPage : public Page {
    Q_OBJECT
public:
    ExpertPage(const QString& objectName, const QString& caption, WindowServices& win, QWidget* parent = nullptr);

    // Where "Get from Windows" reads the computer's zone (tests put their own in).
    void setSystemZone(std::function<QTimeZone()> zone) { systemZone_ = std::move(zone); }

    void showModeAndSettings() override;
    void showExpertSettings() override;
    void showWeatherSettings() override;
    void languageApplied() override;

public slots:
    void btnApplyTZIClick();

private:
    void build();
    // Enabling of the hysteresis edits and the off level for the chosen fan mode.
    void fanModeChanged();
    // Re-shows every temperature in the unit just chosen.
    void unitChanged();
    // All nine time-zone edits in order; false at the first that does not parse.
    bool edtTimeZoneBiasChange();

    FieldBinding* binding_ = nullptr;
    std::function<QTimeZone()> systemZone_ = [] { return QTimeZone::systemTimeZone(); };
};

} // namespace quenda
