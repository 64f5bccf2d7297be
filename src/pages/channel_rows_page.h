// A page of twelve per-channel rows under an explanatory text: each row a label
// naming the channel, a track bar and an edit for one element of a record field.
// The same class makes the delay, moon and white-balance pages.
#pragma once

#include "link/device_state.h"
#include "pages/field_binding.h"
#include "pages/page.h"

#include <array>

class QGridLayout;
class QLabel;
class QLineEdit;
class QSlider;

namespace quenda {

struct ChannelRowsLayout {
    // Object name of the text above the rows (its words come from the language tables),
    // also the prefix of the row labels' names.
    const char* explanation;
    FieldBind row;    // the edit/track-bar pair, "%1" standing for the channel
    const char* unit; // shown after the edit
};

// Weather delay in tenths of a second (255: no weather on that channel).
inline constexpr ChannelRowsLayout kWeatherDelayRows{
    "lblWeatherDelay",
    {"edtWeatherDelay%1", RecordKind::ExpertWeather, "WeatherDelay", Conv::TenthsShort, rqSetExpertWeather, 0,
     "trbWeatherDelay%1", 0, 255, 10, 10},
    "s"};
// Brightness of a full moon overhead, as a level.
inline constexpr ChannelRowsLayout kMoonRows{
    "lblMoon",
    {"edtMoon%1", RecordKind::ExpertWeather, "MoonColor16", Conv::LevelPercent, rqSetExpertWeather, 0,
     "trbMoon%1", 0, kLevelMax, 128, 512},
    "%"};
// White-balance factor in percent.
inline constexpr ChannelRowsLayout kBalanceRows{
    "lblBalance",
    {"edtBalance%1", RecordKind::ExpertWeather, "Balance", Conv::Whole, rqSetExpertWeather, 0, "trbBalance%1", 0,
     100, 10, 10},
    "%"};

class ChannelRowsPage : public Page {
    Q_OBJECT
public:
    ChannelRowsPage(const ChannelRowsLayout& layout, const QString& objectName, const QString& caption,
                    WindowServices& win, QWidget* parent = nullptr);

    QSlider* trb(int n) const;
    QLineEdit* edt(int n) const;
    QLabel* label(int n) const;

    void showWeatherSettings() override;

protected:
    // The rows' grid, for a page that has more to set below the channels (from line
    // firstFreeLine() on, in the columns of the first six channels).
    QGridLayout* rowsGrid() const { return grid_; }
    static int firstFreeLine();
    FieldBinding* binding() const { return binding_; }

private:
    struct Row {
        QLabel* label = nullptr;
        QSlider* trb = nullptr;
        QLineEdit* edt = nullptr;
    };
    const ChannelRowsLayout& layout_;
    std::array<Row, kChannels> rows_{};
    QGridLayout* grid_ = nullptr;
    FieldBinding* binding_ = nullptr;
};

// The white-balance page: the channel factors, their sum and the sum's daily ramp.
class BalancePage : public ChannelRowsPage {
    Q_OBJECT
public:
    BalancePage(const QString& objectName, const QString& caption, WindowServices& win, QWidget* parent = nullptr);

    // The sum is rewritten even while the user edits it: the device may have ramped it.
    void showWeatherSettings() override;
    void showExpertSettings() override;
};

} // namespace quenda
