// The chart's current-value label, as drawn.
#pragma once

#include "schedule/chart.h"

namespace quenda::testing {

inline QString currentChartLabel(const ChartPicture& picture) {
    for (const ChartLabel& l : picture.labels)
        if (l.kind == ChartLabel::Kind::Current) return l.text;
    return {};
}

} // namespace quenda::testing
