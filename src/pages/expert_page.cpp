#include "pages/expert_page.h"

#include "pages/enable_table.h"
#include "pages/field_binding.h"
#include "pages/page_layout.h"
#include "pages/time_zone_rules.h"
#include "pages/window_services.h"
#include "lang/apply_language.h"
#include "lang/texts.h"
#include "link/device_codes.h"
#include "pages/services.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace quenda {

namespace {
constexpr RecordKind X = RecordKind::Expert;

constexpr FieldBind whole(const char* edit, const char* field) {
    return {edit, X, field, Conv::Whole, rqSetExpert};
}
constexpr FieldBind kPlain[] = {
    whole("edtPWMPrescaler", "PWMPrescaler"),
    whole("edtTWIBitrate", "TWIBitrate"),
    {"edtTempOffset", X, "TempOffset", Conv::Tenths, rqSetExpert},
    {"edtTempWaterLow", X, "TempWaterLow", Conv::Temp, rqSetExpert},
    {"edtTempWaterHigh", X, "TempWaterHigh", Conv::Temp, rqSetExpert},
    whole("edtChartInterval", "ChartInterval"),
    {"edtChartScale", X, "ChartScale", Conv::TenthsShort, rqSetExpert},
    whole("cmbLanguage", "Language"),
    whole("edtRandomInit", "RandomInit"),
    {"edtCloudTempBoard", X, "CloudTempBoard", Conv::Tenths, rqSetExpert},
    {"edtCloudTempWater", X, "CloudTempWater", Conv::Tenths, rqSetExpert},
    {"edtLightningMask%1", RecordKind::ExpertWeather, "LightningMask", Conv::Whole, rqSetExpertWeather},
};
constexpr FieldBind kFanModes[] = {
    {"rbtFMOLED", X, "FanMode", Conv::Radio, rqSetExpert, 0},
    {"rbtFMOWater", X, "FanMode", Conv::Radio, rqSetExpert, 1},
    {"rbtFMOWaterMaster", X, "FanMode", Conv::Radio, rqSetExpert, 2},
};
constexpr FieldBind kChartModes[] = {
    {"rbtCHMTempWater", X, "ChartMode", Conv::Radio, rqSetExpert, 0},
    {"rbtCHMTempBoard", X, "ChartMode", Conv::Radio, rqSetExpert, 1},
    {"rbtCHMVoltage", X, "ChartMode", Conv::Radio, rqSetExpert, 2},
    {"rbtCHMTempSlave", X, "ChartMode", Conv::Radio, rqSetExpert, 3},
};
constexpr FieldBind kUnits[] = {
    {"rbtCelsius", RecordKind::Config, "Flag", Conv::FlagBitClear, rqSetConfig, Flag::Fahrenheit},
    {"rbtFahrenheit", RecordKind::Config, "Flag", Conv::FlagBit, rqSetConfig, Flag::Fahrenheit},
};
constexpr FieldBind kFormats[] = {
    {"rbt24h", RecordKind::Config, "Flag", Conv::FlagBitClear, rqSetConfig, Flag::Clock12h},
    {"rbt12h", RecordKind::Config, "Flag", Conv::FlagBit, rqSetConfig, Flag::Clock12h},
    {"rbt16x2", RecordKind::Config, "Flag", Conv::FlagBitClear, rqSetConfig, Flag::Display20x4},
    {"rbt20x4", RecordKind::Config, "Flag", Conv::FlagBit, rqSetConfig, Flag::Display20x4},
};

// The nine time-zone edits in the order they are read, with their fields.
struct ZoneEdit {
    const char* edit;
    const char* field;
    const char* caption;
};
constexpr ZoneEdit kZone[] = {
    {"edtTimeZoneBias", "Bias", "UTC+x (minutes)"},
    {"edtTimeZoneStandardMonth", "StandardMonth", "Standard month"},
    {"edtTimeZoneStandardDay", "StandardDay", "Day"},
    {"edtTimeZoneStandardHour", "StandardHour", "Hour"},
    {"edtTimeZoneStandardDayOfWeek", "StandardDayOfWeek", "Day of week (0=Sunday)"},
    {"edtTimeZoneDaylightMonth", "DaylightMonth", "DST month"},
    {"edtTimeZoneDaylightDay", "DaylightDay", "Day"},
    {"edtTimeZoneDaylightHour", "DaylightHour", "Hour"},
    {"edtTimeZoneDaylightDayOfWeek", "DaylightDayOfWeek", "Day of week (0=Sunday)"},
};

QLabel* wrapped(QWidget* parent, const char* name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setWordWrap(true);
    return l;
}

} // namespace

ExpertPage::ExpertPage(const QString& objectName, const QString& caption, WindowServices& win, QWidget* parent)
    : Page(objectName, caption, win, parent) {
    build();
}

void ExpertPage::build() {
    // The page holds more than a small window shows: it scrolls rather than clips.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    outer->addWidget(scroll);
    auto* body = new QWidget(scroll);
    scroll->setWidget(body);
    auto* columns = new QHBoxLayout(body);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);

    // ---- left: device timing, sensor, fan, chart
    left->addWidget(wrapped(body, "lblPWMPrescaler", QStringLiteral("If flickering or noises occur, try another value:")));
    captionedEdit(left, body, "edtPWMPrescaler",
                  QStringLiteral("PWM prescaler (frequency=25MHz/4096/(prescaler+1); 3 to 255)"));
    left->addWidget(wrapped(body, "lblTWIBitrate", QStringLiteral("If bus malfunctions occur, try another value:")));
    captionedEdit(left, body, "edtTWIBitrate", QStringLiteral("TWI bitrate (frequency=2500kHz/(bitrate+2); 10 to 255)"));
    captionedEdit(left, body, "edtTempOffset", QStringLiteral("Tempravik calibration offset (\u00B0C)"));

    QGroupBox* fan = groupBox(body, "gbxFanMode", QStringLiteral("Fan mode"));
    auto* fl = new QVBoxLayout(fan);
    radio(fl, fan, "rbtFMOLED", QStringLiteral("Guided by brightness (for LED cooling)"));
    radio(fl, fan, "rbtFMOWater", QStringLiteral("Controlled by Tempravik (with hysteresis)"));
    radio(fl, fan, "rbtFMOWaterMaster", QStringLiteral("Master controlled by Tempravik, slaves guided by brightness"));
    addBounds(fl, fan, "edtTempWaterLow", "edtTempWaterHigh",
                  QStringLiteral("Lower and upper temperature of the hysteresis for the fan"));
    left->addWidget(fan);

    QGroupBox* chart = groupBox(body, "gbxChartMode",
                                QStringLiteral("Data source for the chart (the value will also appear on the display)"));
    auto* cl = new QVBoxLayout(chart);
    radio(cl, chart, "rbtCHMTempWater", QStringLiteral("Water temperature (Tempravik)"));
    radio(cl, chart, "rbtCHMTempBoard", QStringLiteral("Board temperature"));
    radio(cl, chart, "rbtCHMVoltage", QStringLiteral("Input voltage"));
    radio(cl, chart, "rbtCHMTempSlave",
          QStringLiteral("Slave temperature (measurements will only make sense if a single slave board is connected)"));
    auto* chartEdits = new QHBoxLayout;
    captionedEdit(chartEdits, chart, "edtChartInterval", QStringLiteral("Recording interval (minutes)"));
    captionedEdit(chartEdits, chart, "edtChartScale", QStringLiteral("Chart scale (\u00B0C)"));
    chartEdits->addStretch(1);
    cl->addLayout(chartEdits);
    left->addWidget(chart);
    captionedEdit(left, body, "edtRandomInit",
                  QStringLiteral("Random generator seed (to synchronize multiple masters enter identical values >0)"));
    left->addStretch(1);

    // ---- right: time zone, display, weather
    QGroupBox* zone =
        groupBox(body, "gbxTimeZone", QStringLiteral("Local timezone and begin and end of standard time and DST"));
    auto* zl = new QGridLayout(zone);
    captionedEdit(zl, 0, 0, zone, kZone[0].edit, QString::fromLatin1(kZone[0].caption));
    auto* apply = new QPushButton(QStringLiteral("Get from Windows"), zone);
    apply->setObjectName(QStringLiteral("btnApplyTZI"));
    zl->addWidget(apply, 0, 2, 1, 2, Qt::AlignBottom | Qt::AlignRight);
    connect(apply, &QPushButton::clicked, this, &ExpertPage::btnApplyTZIClick);
    for (int i = 1; i < 9; ++i)
        captionedEdit(zl, 1 + (i - 1) / 4, (i - 1) % 4, zone, kZone[i].edit, QString::fromLatin1(kZone[i].caption));
    right->addWidget(zone);

    auto* language = new QHBoxLayout;
    auto* lblLanguage = new QLabel(QStringLiteral("Language used on the display"), body);
    lblLanguage->setObjectName(QStringLiteral("lblLanguage"));
    language->addWidget(lblLanguage);
    auto* cmb = new QComboBox(body);
    cmb->setObjectName(QStringLiteral("cmbLanguage"));
    cmb->addItems({Msg(QStringLiteral("English")), Msg(QStringLiteral("German"))});
    language->addWidget(cmb);
    language->addStretch(1);
    right->addLayout(language);

    auto* formats = new QHBoxLayout;
    struct Pair {
        const char* group;
        const char* title;
        const char* a;
        const char* captionA;
        const char* b;
        const char* captionB;
    };
    const Pair kPairs[] = {
        {"gbxTemperatureUnit", "Temperature unit", "rbtCelsius", "Degree Celsius", "rbtFahrenheit", "Degree Fahrenheit"},
        {"gbxTimeFormat", "Time format", "rbt24h", "0-23", "rbt12h", "1-12 AM/PM"},
        {"gbxLCDFormat", "Display format", "rbt16x2", "16x2 (2 lines, 16 characters)", "rbt20x4",
         "20x4 (4 lines, 20 characters)"},
    };
    for (const Pair& p : kPairs) {
        QGroupBox* g = groupBox(body, p.group, QString::fromLatin1(p.title));
        auto* gl = new QVBoxLayout(g);
        radio(gl, g, p.a, QString::fromLatin1(p.captionA));
        radio(gl, g, p.b, QString::fromLatin1(p.captionB));
        formats->addWidget(g, 0, Qt::AlignTop);
    }
    formats->addStretch(1);
    right->addLayout(formats);

    QGroupBox* masks = groupBox(body, "gbxLightningMask", QStringLiteral("Lightning: Bit mask (0 to 255)"));
    auto* ml = new QGridLayout(masks);
    for (int n = 0; n < kChannels; ++n) {
        QLineEdit* e = plainEdit(masks, qPrintable(QStringLiteral("edtLightningMask%1").arg(n)), 40);
        e->setProperty("tag", n);
        ml->addWidget(attachedLabel(e, ChannelLetter(n)), n / 6, 2 * (n % 6), Qt::AlignRight);
        ml->addWidget(e, n / 6, 2 * (n % 6) + 1);
    }
    ml->setColumnStretch(12, 1);
    right->addWidget(masks);

    QGroupBox* clouds = groupBox(body, "gbxCloudTemp", QStringLiteral("Trigger clouds above certain temperatures"));
    auto* ctl = new QGridLayout(clouds);
    QLineEdit* board = plainEdit(clouds, "edtCloudTempBoard");
    QLineEdit* water = plainEdit(clouds, "edtCloudTempWater");
    ctl->addWidget(attachedLabel(board, QStringLiteral("Board temperature")), 0, 0);
    ctl->addWidget(board, 0, 1);
    ctl->addWidget(attachedLabel(water, QStringLiteral("Water temperature (Tempravik)")), 1, 0);
    ctl->addWidget(water, 1, 1);
    ctl->setColumnStretch(2, 1);
    right->addWidget(clouds);
    right->addStretch(1);

    binding_ = new FieldBinding(win_, this);
    for (const FieldBind& row : kPlain)
        binding_->add(row, 0, row.record == RecordKind::ExpertWeather ? kChannels : 1);
    BindExtras focusedOnly;
    focusedOnly.raiseOnlyFocused = true;
    for (const FieldBind& row : kFanModes)
        binding_->add(row, 0, 1, [this](int) { fanModeChanged(); }, focusedOnly);
    for (const FieldBind& row : kChartModes)
        binding_->add(row, 0, 1, {}, focusedOnly);
    for (const FieldBind& row : kUnits)
        binding_->add(row, 0, 1, [this](int) { unitChanged(); });
    for (const FieldBind& row : kFormats)
        binding_->add(row);
    BindExtras allNine;
    allNine.accept = [this](int) { return edtTimeZoneBiasChange(); };
    for (const ZoneEdit& z : kZone)
        binding_->add({z.edit, X, z.field, Conv::Whole, rqSetExpert}, 0, 1, {}, allNine);
}

void ExpertPage::fanModeChanged() {
    win_.applyEnableRules({EnableWhen::FanOffAllowed, EnableWhen::WaterHysteresis});
}

void ExpertPage::unitChanged() {
    win_.ShowDeviceInfo();
    win_.ShowExpertSettings();
}

bool ExpertPage::edtTimeZoneBiasChange() {
    for (const ZoneEdit& z : kZone) {
        auto* e = findChild<QLineEdit*>(QLatin1String(z.edit));
        const auto v = e ? parseFieldText(Conv::Whole, e->text(), win_.state().Config) : std::nullopt;
        if (!v) return false;
        writeField(&win_.state().Expert, *findField(X, z.field), 0, *v);
    }
    return true;
}

void ExpertPage::btnApplyTZIClick() {
    const std::optional<ZoneRules> r = zoneRules(systemZone_(), win_.clock().now().date().year());
    if (!r) return;
    TExpert& x = win_.state().Expert;
    x.Bias = int16_t(r->bias);
    const ZoneTransition* parts[] = {&r->standard, &r->daylight};
    int8_t* fields[2][4] = {{&x.StandardMonth, &x.StandardDay, &x.StandardHour, &x.StandardDayOfWeek},
                            {&x.DaylightMonth, &x.DaylightDay, &x.DaylightHour, &x.DaylightDayOfWeek}};
    for (int k = 0; k < 2; ++k) {
        *fields[k][0] = int8_t(parts[k]->month);
        *fields[k][1] = int8_t(parts[k]->day);
        *fields[k][2] = int8_t(parts[k]->hour);
        *fields[k][3] = int8_t(parts[k]->dayOfWeek);
    }
    for (const ZoneEdit& z : kZone)
        binding_->show(X, z.field, 0);
    win_.raiseRequest(rqSetExpert);
}

void ExpertPage::showModeAndSettings() {
    if (!window()->isVisible()) return;
    binding_->refresh(RecordKind::Config);
}

void ExpertPage::showExpertSettings() {
    binding_->refresh(X);
    fanModeChanged(); // also when the mode is one no button stands for
}

void ExpertPage::showWeatherSettings() {
    binding_->refresh(RecordKind::ExpertWeather);
}

void ExpertPage::languageApplied() {
    // The language tables fill the list in the program's language and select that;
    // the list chooses the device's display language.
    binding_->refresh(X);
}

} // namespace quenda
