#include "pages/config_page.h"

#include "pages/field_binding.h"
#include "pages/window_services.h"
#include "lang/apply_language.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace quenda {

namespace {
constexpr FieldBind kTimeLapse{"edtTimeLapse", RecordKind::Config, "TimeLapse", Conv::Whole, rqSetConfig, 0,
                               "trbTimeLapse", 0, 250, 10, 10};
constexpr FieldBind level(const char* edit, RecordKind record, const char* field, uint32_t request,
                          const char* bar) {
    return {edit, record, field, Conv::LevelByte, request, 0, bar, 0, 255, 10, 51};
}
constexpr FieldBind kLevels[] = {
    level("edtLCDBLMax", RecordKind::Config, "LCDBLMax", rqSetConfig, "trbLCDBLMax"),
    level("edtLCDBLMin", RecordKind::Config, "LCDBLMin", rqSetConfig, "trbLCDBLMin"),
    level("edtLCDBLNight", RecordKind::Expert, "LCDBLNight", rqSetExpert, "trbLCDBLNight"),
    level("edtFanHigh", RecordKind::Config, "FanHigh", rqSetConfig, "trbFanHigh"),
    level("edtFanLow", RecordKind::Config, "FanLow", rqSetConfig, "trbFanLow"),
    level("edtFanOff", RecordKind::Expert, "FanOff", rqSetExpert, "trbFanOff"),
};

// One row of a settings grid: caption, track bar, edit.
QLineEdit* addBarRow(QGridLayout* g, int row, const char* suffix, const QString& caption, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    auto* bar = new QSlider(Qt::Horizontal, parent);
    bar->setObjectName(QStringLiteral("trb") + QLatin1String(suffix));
    bar->setTickPosition(QSlider::TicksBelow);
    bar->setMinimumWidth(240);
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QStringLiteral("edt") + QLatin1String(suffix));
    edit->setFixedWidth(56);
    edit->setAlignment(Qt::AlignRight);
    label->setBuddy(edit);
    AttachLabel(edit, label);
    g->addWidget(label, row, 0);
    g->addWidget(bar, row, 1);
    g->addWidget(edit, row, 2);
    return edit;
}

QGridLayout* barGrid() {
    auto* g = new QGridLayout;
    g->setColumnStretch(1, 1);
    g->setColumnMinimumWidth(0, 170);
    g->setHorizontalSpacing(10);
    return g;
}
} // namespace

ConfigPage::ConfigPage(const QString& objectName, const QString& caption, WindowServices& win, QWidget* parent)
    : Page(objectName, caption, win, parent) {
    build();
}

void ConfigPage::build() {
    auto* outer = new QVBoxLayout(this);

    auto* lapse = barGrid();
    addBarRow(lapse, 0, "TimeLapse", QStringLiteral("Time lapse factor"), this);
    auto* realtime = new QPushButton(QStringLiteral("Realtime"), this);
    realtime->setObjectName(QStringLiteral("btnRealtime"));
    lapse->addWidget(realtime, 0, 3);
    connect(realtime, &QPushButton::clicked, this, &ConfigPage::btnRealtimeClick);
    outer->addLayout(lapse);

    auto* groups = new QHBoxLayout;
    struct Group {
        const char* name;
        const char* title;
        const char* rows[3][2];
    };
    const Group kGroups[] = {
        {"gbxLCDBL",
         "Display backlight brightness",
         {{"LCDBLMax", "Bright level (%)"}, {"LCDBLMin", "Dim level (%)"}, {"LCDBLNight", "When display is off (%)"}}},
        {"gbxFan",
         "Fan speed",
         {{"FanHigh", "Fast level (%)"}, {"FanLow", "Slow level (%)"}, {"FanOff", "When LEDs are off (%)"}}},
    };
    for (const Group& gr : kGroups) {
        auto* box = new QGroupBox(QString::fromLatin1(gr.title), this);
        box->setObjectName(QString::fromLatin1(gr.name));
        auto* g = barGrid();
        for (int r = 0; r < 3; ++r)
            addBarRow(g, r, gr.rows[r][0], QString::fromLatin1(gr.rows[r][1]), box);
        box->setLayout(g);
        groups->addWidget(box);
    }
    outer->addLayout(groups);
    outer->addStretch(1);

    binding_ = new FieldBinding(win_, this);
    // A typed entry beyond the field's range wraps; the bar shows what was stored.
    auto barToStored = [this](const FieldBind& row) {
        return [this, &row](int) {
            DeviceState& st = win_.state();
            void* rec = row.record == RecordKind::Config ? static_cast<void*>(&st.Config) : static_cast<void*>(&st.Expert);
            QSlider* s = bar(row.partner);
            const QSignalBlocker block(s);
            s->setValue(int(readField(rec, *findField(row.record, row.field))));
        };
    };
    binding_->add(kTimeLapse, 0, 1, barToStored(kTimeLapse));
    // The bars of a group keep night (off) <= dim (slow) <= bright (fast); the edits do not.
    auto ordered = [this](const char* low, const char* mid, const char* high, int which) {
        BindExtras e;
        e.clampBar = [=, this](int, int p) {
            if (which == 2) return std::max(p, bar(mid)->value());
            if (which == 0) return std::min(p, bar(mid)->value());
            return std::max(std::min(p, bar(high)->value()), bar(low)->value());
        };
        return e;
    };
    binding_->add(kLevels[0], 0, 1, barToStored(kLevels[0]), ordered("trbLCDBLNight", "trbLCDBLMin", "trbLCDBLMax", 2));
    binding_->add(kLevels[1], 0, 1, barToStored(kLevels[1]), ordered("trbLCDBLNight", "trbLCDBLMin", "trbLCDBLMax", 1));
    binding_->add(kLevels[2], 0, 1, barToStored(kLevels[2]), ordered("trbLCDBLNight", "trbLCDBLMin", "trbLCDBLMax", 0));
    binding_->add(kLevels[3], 0, 1, barToStored(kLevels[3]), ordered("trbFanOff", "trbFanLow", "trbFanHigh", 2));
    binding_->add(kLevels[4], 0, 1, barToStored(kLevels[4]), ordered("trbFanOff", "trbFanLow", "trbFanHigh", 1));
    binding_->add(kLevels[5], 0, 1, barToStored(kLevels[5]), ordered("trbFanOff", "trbFanLow", "trbFanHigh", 0));
}

QSlider* ConfigPage::bar(const char* name) const {
    return findChild<QSlider*>(QLatin1String(name));
}

void ConfigPage::addStatusBox(QWidget* box) {
    auto* l = static_cast<QVBoxLayout*>(layout());
    l->insertWidget(l->count() - 1, box);
}

void ConfigPage::btnRealtimeClick() {
    win_.state().Config.TimeLapse = 1;
    binding_->show(RecordKind::Config, "TimeLapse", 0);
    win_.raiseRequest(rqSetConfig);
}

void ConfigPage::showModeAndSettings() {
    if (!window()->isVisible()) return;
    binding_->refresh(RecordKind::Config);
}

void ConfigPage::showExpertSettings() {
    binding_->refresh(RecordKind::Expert);
}

} // namespace quenda
