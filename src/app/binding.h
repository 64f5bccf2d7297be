// Helpers behind every page control: the user-change check, number parsing and
// formatting with the desktop's decimal separator, and storing cut to a field's width.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

class QObject;
class QWidget;

namespace quenda {

// A change handler acts only for a change the user made: its control has the focus,
// or it is a slider held by the mouse (which belongs to the user even without focus).
bool userChange(const QObject* control);

// The desktop's locale; tests may replace it.
void setDesktopLocaleName(const QString& name);
QChar desktopDecimalSeparator();

// Parses an integer or a decimal number written with the desktop's decimal separator
// (a '.' is accepted too). Text that is no number gives nothing.
std::optional<double> parseNumber(const QString& text);
// Parses and rounds to the nearest integer, ties to even.
std::optional<int64_t> parseRounded(const QString& text, double scale = 1.0);
int64_t roundHalfEven(double v);

// Formats with one of the patterns "0.##", "0.#", "0.0", "0.00", "00", "0".
QString formatNumber(double v, const char* pattern);

// Percent text of an output level (0..4096 is 0..100 %) and back.
QString levelPercentText(int level);
// Either decimal mark is taken. Not range-checked: the caller stores it cut to its
// field's width.
std::optional<int64_t> percentToLevel(const QString& text);

// Cut to a field's width, as the device record stores it.
inline uint8_t cut8(int64_t v) { return static_cast<uint8_t>(v & 0xFF); }
inline uint16_t cut16(int64_t v) { return static_cast<uint16_t>(v & 0xFFFF); }

} // namespace quenda
