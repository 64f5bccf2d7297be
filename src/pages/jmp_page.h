// The page "JMP pin": the function of the auxiliary pin (one radio button each) and
// the cooler and heater hysteresis temperatures, with an example schematic.
#pragma once

#include "pages/page.h"

namespace quenda {

class FieldBinding;

class JmpPage : public Page {
    Q_OBJECT
public:
    JmpPage(const QString& objectName, const QString& caption, WindowServices& win, QWidget* parent = nullptr);

    void showExpertSettings() override;

public slots:
    // No pin function belongs to it; the button stays hidden.
    void rbtJMPHighTideClick() {}

private:
    void build();
    FieldBinding* binding_ = nullptr;
};

// The picture beside the pin functions: a load switched to ground by pin 5.
class LinkSchematic : public QWidget {
    Q_OBJECT
public:
    explicit LinkSchematic(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {220, 200}; }

protected:
    void paintEvent(QPaintEvent*) override;
};

// The page "433 MHz": what the radio-socket add-on does, and its system-code switches.
// The sheet is disabled: it binds no field and takes no input.
class Rc433Page : public Page {
    Q_OBJECT
public:
    Rc433Page(const QString& objectName, const QString& caption, WindowServices& win, QWidget* parent = nullptr);

    void languageApplied() override;

public slots:
    void cbxRC433System1Click() {}
};

} // namespace quenda
