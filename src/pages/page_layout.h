// Small layout pieces the settings pages share: an edit with its caption above it
// (attached, so the language tables relabel it), and radio buttons in a group box.
#pragma once

#include <QString>

class QBoxLayout;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace quenda {

// A caption above a right-aligned edit of `width` pixels.
QLineEdit* captionedEdit(QBoxLayout* into, QWidget* parent, const char* name, const QString& caption,
                         int width = 64);
// The same, into one cell of a grid.
QLineEdit* captionedEdit(QGridLayout* into, int row, int column, QWidget* parent, const char* name,
                         const QString& caption, int width = 64);
// An edit whose caption sits on its left in the same row ("<" between two bounds).
QLineEdit* plainEdit(QWidget* parent, const char* name, int width = 64);
QLabel* attachedLabel(QLineEdit* edit, const QString& caption);
// Two bounds of a hysteresis: the caption, then "low < high".
void addBounds(QBoxLayout* into, QWidget* parent, const char* low, const char* high, const QString& caption);

QGroupBox* groupBox(QWidget* parent, const char* name, const QString& title);
QRadioButton* radio(QBoxLayout* into, QWidget* parent, const char* name, const QString& caption);

} // namespace quenda
