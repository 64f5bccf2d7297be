#include "app/binding.h"

#include "pages/entry_check.h"

#include <QLocale>
#include <QAbstractSlider>
#include <QWidget>
#include <cfenv>
#include <cmath>

namespace quenda {

namespace {
QLocale& desktopLocale() {
    static QLocale loc = QLocale::system();
    return loc;
}
} // namespace

bool userChange(const QObject* control) {
    if (const auto* s = qobject_cast<const QAbstractSlider*>(control); s && s->isSliderDown()) return true;
    const auto* w = qobject_cast<const QWidget*>(control);
    return w && w->hasFocus();
}

void setDesktopLocaleName(const QString& name) { desktopLocale() = QLocale(name); }

QChar desktopDecimalSeparator() {
    const QString s = desktopLocale().decimalPoint();
    return s.isEmpty() ? QChar('.') : s.front();
}

std::optional<double> parseNumber(const QString& text) {
    QString t = text.trimmed();
    if (t.isEmpty()) return std::nullopt;
    const QChar sep = desktopDecimalSeparator();
    if (sep != '.') t.replace(sep, '.');
    // Plain C-locale digits only: group separators or exponents are not numbers here.
    bool ok = false;
    for (QChar c : t)
        if (!(c.isDigit() || c == '.' || c == '-' || c == '+')) return std::nullopt;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

int64_t roundHalfEven(double v) {
    if (!std::isfinite(v)) return 0;
    // Beyond this no field can hold the value anyway; keep the conversion defined.
    v = std::clamp(v, -9.0e15, 9.0e15);
    const int old = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(v);
    std::fesetround(old);
    return static_cast<int64_t>(r);
}

std::optional<int64_t> parseRounded(const QString& text, double scale) {
    const auto v = parseNumber(text);
    if (!v) return std::nullopt;
    return roundHalfEven(*v * scale);
}

QString formatNumber(double v, const char* pattern) {
    const std::string_view p(pattern);
    const QChar sep = desktopDecimalSeparator();
    auto withSep = [&](QString s) {
        if (sep != '.') s.replace('.', sep);
        return s;
    };
    if (p == "00") {
        const auto n = roundHalfEven(v);
        return (n < 0 ? QStringLiteral("-") : QString()) + QString::number(std::llabs(n)).rightJustified(2, '0');
    }
    if (p == "0") return QString::number(roundHalfEven(v));
    const auto dot = p.find('.');
    const int decimals = dot == std::string_view::npos ? 0 : int(p.size() - dot - 1);
    const bool optional = p.find('#') != std::string_view::npos;
    QString s = QString::number(v, 'f', decimals);
    if (optional && s.contains('.')) {
        while (s.endsWith('0')) s.chop(1);
        if (s.endsWith('.')) s.chop(1);
    }
    if (s == "-0") s = "0";
    return withSep(s);
}

QString levelPercentText(int level) { return formatNumber(level / 40.96, "0.##"); }

std::optional<int64_t> percentToLevel(const QString& text) {
    const auto v = parseDecimal(text); // percent entries take either decimal mark
    if (!v) return std::nullopt;
    return roundHalfEven(*v * 40.96);
}

} // namespace quenda
