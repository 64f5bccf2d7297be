// The chart of the samples the device records: one quantity, the last 40 samples,
// drawn with value and time axes into a picture. No widget and no window state: every
// call draws from the record copies it is given.
#pragma once

#include "link/records.h"

#include <QDateTime>
#include <QFont>
#include <QImage>
#include <QLocale>
#include <QRect>
#include <QString>
#include <vector>

namespace quenda {

inline constexpr int kChartSamples = 40;

// Sources of TExpert.ChartMode.
enum ChartSource { csTempWater = 0, csTempBoard = 1, csVoltage = 2, csTempSlave = 3 };

struct ChartInput {
    TChart chart{};
    int mode = csTempWater; // TExpert.ChartMode
    int interval = 0;       // TExpert.ChartInterval, minutes between samples
    // The device's time of day (TInfo): the time of the newest sample.
    int hour = 0, minute = 0, second = 0, centisecond = 0;
    QDateTime now;          // the computer's clock: today's date, and the time when the device's is unusable
    bool fahrenheit = false;
    QLocale locale;         // short time and date formats of the time labels
    QString notConnected;   // shown instead of a chart when there is nothing to draw
    QFont font;             // face of the labels; drawn at 8 points
    int dpi = 96;           // resolution the point size refers to
};

struct ChartLabel {
    enum class Kind { NotConnected, Time, Value, Current };
    Kind kind;
    QString text;
    QRect rect; // where it was drawn
};

struct ChartPicture {
    QImage image;
    std::vector<ChartLabel> labels; // in drawing order
};

// Draws the chart at the given size. `recycle` may hand back the previous picture so that
// a chart of the same size reuses its memory.
ChartPicture DrawChart(const ChartInput& in, QSize size, QImage recycle = {});

} // namespace quenda
