#include "pages/temp_text.h"

#include "pages/entry_check.h"
#include "pages/number_text.h"

#include <cstdlib>

namespace quenda {

QString TempUnitText(bool fahrenheit) {
    return fahrenheit ? QStringLiteral("\u00B0F") : QStringLiteral("\u00B0C");
}

QString TempText(int tenthsCelsius, bool fahrenheit) {
    // Work in whole tenths of the shown unit so that no binary fraction decides a digit.
    int64_t tenths = tenthsCelsius;
    if (fahrenheit) {
        // t * 9/5 + 320 tenths of a degree Fahrenheit; a fifth never ends in exactly one half.
        const int64_t num = int64_t(tenthsCelsius) * 9 + 1600;
        tenths = num >= 0 ? (num * 2 + 5) / 10 : -((-num * 2 + 5) / 10);
    }
    const int64_t a = std::llabs(tenths);
    QString s = QString::number(a / 10) + desktopDecimalSeparator() + QString::number(a % 10);
    if (tenths < 0) s.prepend(QLatin1Char('-'));
    return s;
}

std::optional<int64_t> ParseTemp(const QString& text, bool fahrenheit) {
    const auto x = parseDecimal(text);
    if (!x) return std::nullopt;
    return roundHalfEven(fahrenheit ? (*x - 32.0) / 9.0 * 50.0 : *x * 10.0);
}

} // namespace quenda
