// Small pieces every entry control uses: a number parser that takes either decimal
// mark, the red mark for text that does not parse (with the stored value put back
// when the user leaves the control), and a wheel guard for unfocused controls.
#pragma once

#include <QString>
#include <functional>
#include <optional>

class QLineEdit;
class QWidget;

namespace quenda {

// A decimal number with "," or "." as its decimal mark (one at most), an optional
// sign and no group separators; anything else gives nothing.
std::optional<double> parseDecimal(const QString& text);

// Marks a control whose text does not parse (a red background), or clears the mark.
void markUnparsed(QWidget* control, bool unparsed);
bool isMarkedUnparsed(const QWidget* control);

// While the user types, `parses` decides the mark; when the edit loses the focus its
// text becomes `storedText()`, the value that was actually stored.
void attachEntryCheck(QLineEdit* edit, std::function<bool(const QString&)> parses,
                      std::function<QString()> storedText);

// A wheel over the control while it has no focus leaves it alone and goes to its
// parent (which scrolls); the wheel no longer gives the control the focus.
void installWheelGuard(QWidget* control);

} // namespace quenda
