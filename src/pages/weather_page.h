// The Weather page: how often and how long clouds and thunderstorms come, how dark
// they get and how fast, how often lightning strikes, and buttons that start or stop
// one at once. Count and duration set the device's start and end chances together
// (see weather_rates.h); the other controls are plain field rows.
#pragma once

#include "pages/page.h"

class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace quenda {

class FieldBinding;

class WeatherPage : public Page {
    Q_OBJECT
public:
    WeatherPage(const QString& objectName, const QString& caption, WindowServices& win, QWidget* parent = nullptr);

    // Puts the status display's ratio lines into their groups.
    void placeRatioLabels(QLabel* cloud, QLabel* storm);

    // Count and duration from the configuration record.
    void showModeAndSettings() override;
    void showWeatherSettings() override;

public slots:
    void trbCloudCountChange();
    void edtCloudCountChange();
    void trbCloudSecondsChange();
    void edtCloudSecondsChange();
    void trbStormCountChange();
    void edtStormCountChange();
    void trbStormMinutesChange();
    void edtStormMinutesChange();
    void btnCloudClick();
    void btnStormClick();
    // The start and end chances from both track bars of the group.
    void UpdateCloudRates();
    void UpdateStormRates();

private:
    struct Pair {
        QSlider* trb = nullptr;
        QLineEdit* edt = nullptr;
    };
    struct Group {
        QGroupBox* box = nullptr;
        QGridLayout* grid = nullptr;
        Pair count, duration;
        QPushButton* trigger = nullptr;
    };
    Group buildGroup(const char* box, const char* count, const char* duration, const char* alpha,
                     const char* step);
    Pair addPair(Group& g, const char* name);
    void barMoved(Pair& p, void (WeatherPage::*update)());
    void entryTyped(Pair& p, void (WeatherPage::*update)());
    void ratesStored();
    void showBar(QSlider* trb, int64_t position);
    void showEntry(const Pair& p);

    Group cloud_, storm_;
    FieldBinding* binding_ = nullptr;
};

} // namespace quenda
