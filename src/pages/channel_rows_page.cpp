#include "pages/channel_rows_page.h"

#include "lang/apply_language.h"
#include "lang/texts.h"
#include "pages/window_services.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QVBoxLayout>

namespace quenda {

namespace {
constexpr int kRowsPerColumn = 6;
constexpr int kColumnsPerRow = 5; // label, track bar, edit, unit, gap

constexpr FieldBind kBalanceSum{"edtBalanceSum", RecordKind::ExpertWeather, "BalanceSum", Conv::Whole,
                                rqSetExpertWeather, 0, "trbBalanceSum", 0, 100, 10, 10};
constexpr FieldBind kBalanceSumRamp{"edtBalanceSumRamp", RecordKind::Expert, "BalanceSumRamp", Conv::Whole,
                                    rqSetExpert};

QLineEdit* numberEdit(const QString& name, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setFixedWidth(56);
    e->setAlignment(Qt::AlignRight);
    return e;
}

QSlider* trackBar(const QString& name, QWidget* parent) {
    auto* s = new QSlider(Qt::Horizontal, parent);
    s->setObjectName(name);
    s->setTickPosition(QSlider::TicksBelow);
    s->setMinimumWidth(160);
    return s;
}

QString nameOf(const char* pattern, int n) {
    return QString::fromLatin1(pattern).arg(n);
}
} // namespace

ChannelRowsPage::ChannelRowsPage(const ChannelRowsLayout& layout, const QString& objectName, const QString& caption,
                                 WindowServices& win, QWidget* parent)
    : Page(objectName, caption, win, parent), layout_(layout) {
    auto* outer = new QVBoxLayout(this);
    auto* text = new QLabel(this);
    text->setObjectName(QString::fromLatin1(layout.explanation));
    text->setWordWrap(true);
    outer->addWidget(text);
    outer->addSpacing(8);

    auto* grid = grid_ = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(10);
    outer->addLayout(grid);
    for (int n = 0; n < kChannels; ++n) {
        Row& r = rows_[n];
        const int line = n % kRowsPerColumn, col = (n / kRowsPerColumn) * kColumnsPerRow;
        r.label = new QLabel(ChannelLetter(n), this);
        r.label->setObjectName(QString::fromLatin1(layout.explanation) + QString::number(n));
        r.trb = trackBar(nameOf(layout.row.partner, n), this);
        r.edt = numberEdit(nameOf(layout.row.control, n), this);
        r.label->setBuddy(r.edt);
        // The colour names reach the row through its edit's label.
        AttachLabel(r.edt, r.label);
        grid->addWidget(r.label, line, col);
        grid->addWidget(r.trb, line, col + 1);
        grid->addWidget(r.edt, line, col + 2);
        grid->addWidget(new QLabel(QString::fromLatin1(layout.unit), this), line, col + 3);
        grid->setColumnStretch(col + 1, 1);
    }
    grid->setColumnMinimumWidth(kColumnsPerRow - 1, 24);
    outer->addStretch(1);

    binding_ = new FieldBinding(win_, this);
    binding_->add(layout.row, 0, kChannels);
}

int ChannelRowsPage::firstFreeLine() {
    return kRowsPerColumn;
}

QSlider* ChannelRowsPage::trb(int n) const {
    return n >= 0 && n < kChannels ? rows_[n].trb : nullptr;
}
QLineEdit* ChannelRowsPage::edt(int n) const {
    return n >= 0 && n < kChannels ? rows_[n].edt : nullptr;
}
QLabel* ChannelRowsPage::label(int n) const {
    return n >= 0 && n < kChannels ? rows_[n].label : nullptr;
}

void ChannelRowsPage::showWeatherSettings() {
    binding_->refresh(layout_.row.record);
}

BalancePage::BalancePage(const QString& objectName, const QString& caption, WindowServices& win, QWidget* parent)
    : ChannelRowsPage(kBalanceRows, objectName, caption, win, parent) {
    QGridLayout* g = rowsGrid();
    const int line = firstFreeLine() + 1;
    g->setRowMinimumHeight(line - 1, 8); // a gap under the channels
    auto* sumLabel = new QLabel(this);
    auto* sum = numberEdit(QString::fromLatin1(kBalanceSum.control), this);
    AttachLabel(sum, sumLabel);
    sumLabel->setBuddy(sum);
    g->addWidget(sumLabel, line, 0);
    g->addWidget(trackBar(QString::fromLatin1(kBalanceSum.partner), this), line, 1);
    g->addWidget(sum, line, 2);
    g->addWidget(new QLabel(QStringLiteral("%"), this), line, 3);

    auto* rampLabel = new QLabel(this);
    auto* ramp = numberEdit(QString::fromLatin1(kBalanceSumRamp.control), this);
    AttachLabel(ramp, rampLabel);
    rampLabel->setBuddy(ramp);
    g->addWidget(rampLabel, line + 1, 0, 1, 2);
    g->addWidget(ramp, line + 1, 2);

    binding()->add(kBalanceSum);
    binding()->add(kBalanceSumRamp);
}

void BalancePage::showWeatherSettings() {
    ChannelRowsPage::showWeatherSettings();
    binding()->show(RecordKind::ExpertWeather, "BalanceSum", 0);
}

void BalancePage::showExpertSettings() {
    binding()->refresh(RecordKind::Expert);
}

} // namespace quenda
