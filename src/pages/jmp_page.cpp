#include "pages/jmp_page.h"

#include "pages/field_binding.h"
#include "pages/page_layout.h"
#include "pages/window_services.h"
#include "lang/texts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quenda {

namespace {
struct PinFunction {
    const char* name;
    const char* caption;
};
// In JMPMode order.
constexpr PinFunction kFunctions[] = {
    {"rbtJMPIRLearn", "IR remote control pairing (default)"},
    {"rbtJMPCloud", "Pull pin to ground during a cloud"},
    {"rbtJMPStorm", "Pull pin to ground during a thunderstorm"},
    {"rbtJMPCooler", "Pull pin to ground when temperature exceeds a value (cooler)"},
    {"rbtJMPHeater", "Pull pin to ground when temperature falls below a value (heater)"},
    {"rbtJMPLightning", "Pull pin to ground during a lightning"},
    {"rbtJMPTimer", "Scheduled (see \"Schedule\", column \"JMP pin\", in hundredths of a second)"},
    {"rbtJMPServo", "Servo (see \"Schedule\", column \"JMP pin\", possible values 800 to 2200\u00B5s)"},
    {"rbtJMPPWM", "PWM (see \"Schedule\", column \"JMP pin\", possible values 0 to 1000)"},
};

constexpr FieldBind kTemps[] = {
    {"edtTempCoolLow", RecordKind::Expert, "TempCoolLow", Conv::Temp, rqSetExpert},
    {"edtTempCoolHigh", RecordKind::Expert, "TempCoolHigh", Conv::Temp, rqSetExpert},
    {"edtTempHeatLow", RecordKind::Expert, "TempHeatLow", Conv::Temp, rqSetExpert},
    {"edtTempHeatHigh", RecordKind::Expert, "TempHeatHigh", Conv::Temp, rqSetExpert},
};

} // namespace

JmpPage::JmpPage(const QString& objectName, const QString& caption, WindowServices& win, QWidget* parent)
    : Page(objectName, caption, win, parent) {
    build();
}

void JmpPage::build() {
    auto* columns = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    columns->addLayout(left, 1);

    for (const PinFunction& f : kFunctions) {
        radio(left, this, f.name, QString::fromLatin1(f.caption));
        if (QByteArrayView(f.name) == "rbtJMPHeater") {
            auto* highTide = radio(left, this, "rbtJMPHighTide", QStringLiteral("Pull pin to ground during high tide"));
            highTide->setVisible(false);
            connect(highTide, &QRadioButton::clicked, this, &JmpPage::rbtJMPHighTideClick);
        }
    }
    left->addSpacing(8);
    addBounds(left, this, "edtTempCoolLow", "edtTempCoolHigh",
              QStringLiteral("Lower and upper temperature of the hysteresis for the cooler"));
    addBounds(left, this, "edtTempHeatLow", "edtTempHeatHigh",
              QStringLiteral("Lower and upper temperature of the hysteresis for the heater"));
    left->addStretch(1);

    auto* right = new QVBoxLayout;
    auto* warning = new QLabel(QStringLiteral("CAUTION:"), this);
    warning->setObjectName(QStringLiteral("lblJMPWarning1"));
    QFont bold = warning->font();
    bold.setBold(true);
    warning->setFont(bold);
    auto* text = new QLabel(QStringLiteral("In these modes link port pin 5 will become an active low output, i.e. it will "
                                           "be pulled to ground during the events given. There is an example schematic "
                                           "on the right."),
                            this);
    text->setObjectName(QStringLiteral("lblJMPWarning2"));
    text->setWordWrap(true);
    text->setMinimumWidth(220);
    auto* img = new LinkSchematic(this);
    img->setObjectName(QStringLiteral("imgLink"));
    auto* top = new QHBoxLayout;
    auto* words = new QVBoxLayout;
    words->addWidget(warning);
    words->addWidget(text);
    words->addStretch(1);
    top->addLayout(words, 1);
    top->addWidget(img, 0, Qt::AlignTop);
    right->addLayout(top);
    right->addStretch(1);
    columns->addLayout(right, 1);

    binding_ = new FieldBinding(win_, this);
    BindExtras focusedOnly;
    focusedOnly.raiseOnlyFocused = true;
    for (int mode = 0; mode < int(std::size(kFunctions)); ++mode)
        binding_->add({kFunctions[mode].name, RecordKind::Expert, "JMPMode", Conv::Radio, rqSetExpert, mode}, 0, 1,
                      {}, focusedOnly);
    for (const FieldBind& row : kTemps)
        binding_->add(row);
}

void JmpPage::showExpertSettings() {
    binding_->refresh(RecordKind::Expert);
}

// ---- Schematic ----------------------------------------------------------------

LinkSchematic::LinkSchematic(QWidget* parent) : QWidget(parent) {
    setFixedSize(220, 200);
}

void LinkSchematic::paintEvent(QPaintEvent*) {
    // +5 V through a relay coil (with its flyback diode) into pin 5; the device pulls
    // the pin to ground to switch the load.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink = palette().color(QPalette::WindowText);
    p.setPen(QPen(ink, 1.5));
    p.setBrush(Qt::NoBrush);
    const int x = 70;
    p.drawText(QRect(x - 40, 4, 80, 16), Qt::AlignCenter, QStringLiteral("+5 V"));
    p.drawLine(x, 22, x, 60);
    p.drawRect(x - 14, 60, 28, 60); // relay coil
    p.drawText(QRect(x - 60, 80, 40, 20), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("K1"));
    p.drawLine(x, 120, x, 170);
    // Flyback diode beside the coil, cathode to +5 V.
    const int d = x + 50;
    p.drawLine(x, 40, d, 40);
    p.drawLine(d, 40, d, 80);
    p.drawLine(d, 100, d, 140);
    p.drawLine(x, 140, d, 140);
    const QPointF tri[] = {{double(d - 10), 100.0}, {double(d + 10), 100.0}, {double(d), 86.0}};
    p.drawPolygon(tri, 3);
    p.drawLine(d - 10, 84, d + 10, 84);
    p.drawLine(d, 84, d, 86);
    // Pin 5 of the link port.
    p.drawEllipse(QPointF(x, 176), 6, 6);
    p.drawText(QRect(x + 12, 166, 120, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Pin 5 (JMP)"));
}

// ---- 433 MHz --------------------------------------------------------------------

Rc433Page::Rc433Page(const QString& objectName, const QString& caption, WindowServices& win, QWidget* parent)
    : Page(objectName, caption, win, parent) {
    auto* l = new QVBoxLayout(this);
    auto* mem = new QPlainTextEdit(this);
    mem->setObjectName(QStringLiteral("memRC433"));
    mem->setReadOnly(true);
    l->addWidget(mem, 1);
    for (int i = 1; i <= 5; ++i) {
        auto* c = new QCheckBox(this);
        c->setObjectName(QStringLiteral("cbxRC433System%1").arg(i));
        if (i > 1) c->setText(QString::number(i));
        connect(c, &QCheckBox::clicked, this, &Rc433Page::cbxRC433System1Click);
        l->addWidget(c);
    }
    setEnabled(false);
    languageApplied();
}

void Rc433Page::languageApplied() {
    findChild<QPlainTextEdit*>(QStringLiteral("memRC433"))->setPlainText(Msg(QStringLiteral("RC433Memo")));
    findChild<QCheckBox*>(QStringLiteral("cbxRC433System1"))->setText(Msg(QStringLiteral("RC433SystemCode")));
}

} // namespace quenda
