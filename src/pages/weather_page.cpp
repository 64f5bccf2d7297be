#include "pages/weather_page.h"

#include "lang/apply_language.h"
#include "pages/entry_check.h"
#include "pages/field_binding.h"
#include "pages/number_text.h"
#include "pages/weather_rates.h"
#include "pages/window_services.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace quenda {

namespace {
// Bound in the order a weather record shows them: brightness, speed, lightning.
constexpr FieldBind kWeatherRows[] = {
    {"edtCloudAlpha", RecordKind::ExpertWeather, "CloudAlpha", Conv::Whole, rqSetExpertWeather, 0, "trbCloudAlpha",
     0, 100, 10, 10},
    {"edtStormAlpha", RecordKind::ExpertWeather, "StormAlpha", Conv::Whole, rqSetExpertWeather, 0, "trbStormAlpha",
     0, 100, 10, 10},
    {"edtCloudStep", RecordKind::ExpertWeather, "CloudStep", Conv::Whole, rqSetExpertWeather, 0, "trbCloudStep", 1,
     5000, 1000, 1000},
    {"edtStormStep", RecordKind::ExpertWeather, "StormStep", Conv::Whole, rqSetExpertWeather, 0, "trbStormStep", 1,
     5000, 1000, 1000},
    {"edtLightningP", RecordKind::ExpertWeather, "LightningP", Conv::Whole, rqSetExpertWeather, 0,
     "trbLightningP", 0, 5000, 1000, 1000},
};

// Count and duration track bars: range, page step and tick spacing.
struct BarRange {
    int min, max, step;
};
constexpr BarRange kCloudCount{0, 3000, 100}, kCloudSeconds{1, 900, 60}, kStormCount{0, 1000, 100},
    kStormMinutes{1, 200, 60};

void setRange(QSlider* s, BarRange r) {
    s->setRange(r.min, r.max);
    s->setPageStep(r.step);
    s->setTickInterval(r.step);
}

std::optional<int64_t> parseWhole(const QString& text, const TConfig& config) {
    return parseFieldText(Conv::Whole, text, config);
}
} // namespace

WeatherPage::WeatherPage(const QString& objectName, const QString& caption, WindowServices& win, QWidget* parent)
    : Page(objectName, caption, win, parent) {
    auto* outer = new QVBoxLayout(this);
    auto* groups = new QHBoxLayout;
    outer->addLayout(groups);
    outer->addStretch(1);

    cloud_ = buildGroup("gbxCloud", "CloudCount", "CloudSeconds", "CloudAlpha", "CloudStep");
    storm_ = buildGroup("gbxStorm", "StormCount", "StormMinutes", "StormAlpha", "StormStep");
    addPair(storm_, "LightningP");
    for (Group* g : {&cloud_, &storm_}) {
        const int row = g->grid->rowCount();
        g->grid->addWidget(g->trigger, row, 0, Qt::AlignLeft);
        groups->addWidget(g->box, 1, Qt::AlignTop);
    }
    cloud_.trigger->setObjectName(QStringLiteral("btnCloud"));
    storm_.trigger->setObjectName(QStringLiteral("btnStorm"));
    setRange(cloud_.count.trb, kCloudCount);
    setRange(cloud_.duration.trb, kCloudSeconds);
    setRange(storm_.count.trb, kStormCount);
    setRange(storm_.duration.trb, kStormMinutes);

    connect(cloud_.count.trb, &QSlider::valueChanged, this, &WeatherPage::trbCloudCountChange);
    connect(cloud_.count.edt, &QLineEdit::textChanged, this, &WeatherPage::edtCloudCountChange);
    connect(cloud_.duration.trb, &QSlider::valueChanged, this, &WeatherPage::trbCloudSecondsChange);
    connect(cloud_.duration.edt, &QLineEdit::textChanged, this, &WeatherPage::edtCloudSecondsChange);
    connect(storm_.count.trb, &QSlider::valueChanged, this, &WeatherPage::trbStormCountChange);
    connect(storm_.count.edt, &QLineEdit::textChanged, this, &WeatherPage::edtStormCountChange);
    connect(storm_.duration.trb, &QSlider::valueChanged, this, &WeatherPage::trbStormMinutesChange);
    connect(storm_.duration.edt, &QLineEdit::textChanged, this, &WeatherPage::edtStormMinutesChange);
    connect(cloud_.trigger, &QPushButton::clicked, this, &WeatherPage::btnCloudClick);
    connect(storm_.trigger, &QPushButton::clicked, this, &WeatherPage::btnStormClick);

    for (const Pair* p : {&cloud_.count, &cloud_.duration, &storm_.count, &storm_.duration}) {
        installWheelGuard(p->trb);
        QSlider* bar = p->trb;
        // Leaving the edit shows what the rates were computed from.
        attachEntryCheck(
            p->edt, [this](const QString& t) { return parseWhole(t, win_.state().Config).has_value(); },
            [bar] { return QString::number(bar->value()); });
        showEntry(*p);
    }

    binding_ = new FieldBinding(win_, this);
    for (const FieldBind& row : kWeatherRows)
        binding_->add(row);
}

WeatherPage::Group WeatherPage::buildGroup(const char* box, const char* count, const char* duration,
                                           const char* alpha, const char* step) {
    Group g;
    g.box = new QGroupBox(this);
    g.box->setObjectName(QString::fromLatin1(box));
    g.grid = new QGridLayout(g.box);
    g.grid->setHorizontalSpacing(8);
    g.grid->setVerticalSpacing(10);
    g.grid->setColumnStretch(1, 1);
    g.count = addPair(g, count);
    g.duration = addPair(g, duration);
    addPair(g, alpha);
    addPair(g, step);
    g.trigger = new QPushButton(g.box);
    return g;
}

WeatherPage::Pair WeatherPage::addPair(Group& g, const char* name) {
    const QString n = QString::fromLatin1(name);
    const int row = g.grid->rowCount();
    Pair p;
    auto* label = new QLabel(g.box);
    p.trb = new QSlider(Qt::Horizontal, g.box);
    p.trb->setObjectName(QStringLiteral("trb") + n);
    p.trb->setTickPosition(QSlider::TicksBelow);
    p.trb->setMinimumWidth(120);
    p.edt = new QLineEdit(g.box);
    p.edt->setObjectName(QStringLiteral("edt") + n);
    p.edt->setFixedWidth(56);
    p.edt->setAlignment(Qt::AlignRight);
    label->setBuddy(p.edt);
    AttachLabel(p.edt, label);
    g.grid->addWidget(label, row, 0);
    g.grid->addWidget(p.trb, row, 1);
    g.grid->addWidget(p.edt, row, 2);
    return p;
}

void WeatherPage::placeRatioLabels(QLabel* cloud, QLabel* storm) {
    for (auto [g, label] : {std::pair{&cloud_, cloud}, std::pair{&storm_, storm}}) {
        if (!label) continue;
        if (QWidget* from = label->parentWidget(); from && from->layout()) from->layout()->removeWidget(label);
        label->setWordWrap(true);
        g->grid->addWidget(label, g->grid->rowCount(), 0, 1, 3);
    }
}

// ---- Count and duration ------------------------------------------------------

void WeatherPage::barMoved(Pair& p, void (WeatherPage::*update)()) {
    if (!userChange(p.trb)) return;
    if (!p.edt->hasFocus()) showEntry(p);
    (this->*update)();
}

void WeatherPage::entryTyped(Pair& p, void (WeatherPage::*update)()) {
    if (!userChange(p.edt)) return;
    const auto v = parseWhole(p.edt->text(), win_.state().Config);
    markUnparsed(p.edt, !v);
    if (!v) return;
    // Shown as typed; the rates take the bar's position.
    {
        const QSignalBlocker block(p.trb);
        p.trb->setValue(int(std::clamp<int64_t>(*v, p.trb->minimum(), p.trb->maximum())));
    }
    (this->*update)();
}

void WeatherPage::trbCloudCountChange() { barMoved(cloud_.count, &WeatherPage::UpdateCloudRates); }
void WeatherPage::edtCloudCountChange() { entryTyped(cloud_.count, &WeatherPage::UpdateCloudRates); }
void WeatherPage::trbCloudSecondsChange() { barMoved(cloud_.duration, &WeatherPage::UpdateCloudRates); }
void WeatherPage::edtCloudSecondsChange() { entryTyped(cloud_.duration, &WeatherPage::UpdateCloudRates); }
void WeatherPage::trbStormCountChange() { barMoved(storm_.count, &WeatherPage::UpdateStormRates); }
void WeatherPage::edtStormCountChange() { entryTyped(storm_.count, &WeatherPage::UpdateStormRates); }
void WeatherPage::trbStormMinutesChange() { barMoved(storm_.duration, &WeatherPage::UpdateStormRates); }
void WeatherPage::edtStormMinutesChange() { entryTyped(storm_.duration, &WeatherPage::UpdateStormRates); }

// Assigned field by field: the record is packed, so its fields cannot be reached through
// references or member pointers.
void WeatherPage::UpdateCloudRates() {
    const WeatherRates r = CloudRates(cloud_.count.trb->value(), cloud_.duration.trb->value());
    TConfig& c = win_.state().Config;
    c.CloudP = r.start;
    c.CloudD = r.end;
    ratesStored();
}

void WeatherPage::UpdateStormRates() {
    const WeatherRates r = StormRates(storm_.count.trb->value(), storm_.duration.trb->value());
    TConfig& c = win_.state().Config;
    c.StormP = r.start;
    c.StormD = r.end;
    ratesStored();
}

void WeatherPage::ratesStored() {
    win_.ShowWeatherRatios();
    win_.raiseRequest(rqSetConfig);
}

void WeatherPage::btnCloudClick() { win_.raiseRequest(rqToggleCloud); }
void WeatherPage::btnStormClick() { win_.raiseRequest(rqToggleStorm); }

// ---- Record displays ------------------------------------------------------------

void WeatherPage::showBar(QSlider* trb, int64_t position) {
    if (userChange(trb)) return;
    const QSignalBlocker block(trb);
    trb->setValue(int(std::clamp<int64_t>(position, trb->minimum(), trb->maximum())));
}

void WeatherPage::showEntry(const Pair& p) {
    const QSignalBlocker block(p.edt);
    p.edt->setText(QString::number(p.trb->value()));
    markUnparsed(p.edt, false);
}

void WeatherPage::showModeAndSettings() {
    if (!window()->isVisible()) return;
    const TConfig& c = win_.state().Config;
    showBar(cloud_.count.trb, CloudsPerDay(c.CloudP));
    if (const auto s = CloudSeconds(c.CloudD)) showBar(cloud_.duration.trb, *s);
    showBar(storm_.count.trb, StormsPerWeek(c.StormP));
    if (const auto m = StormMinutes(c.StormD)) showBar(storm_.duration.trb, *m);
    for (const Pair* p : {&cloud_.count, &cloud_.duration, &storm_.count, &storm_.duration})
        if (!userChange(p->edt)) showEntry(*p);
}

void WeatherPage::showWeatherSettings() {
    binding_->refresh(RecordKind::ExpertWeather);
}

} // namespace quenda
