#include "status/status_display.h"

#include "pages/number_text.h"
#include "pages/enable_table.h"
#include "pages/window_services.h"
#include "lang/texts.h"
#include "link/device_codes.h"
#include "pages/page.h"
#include "status/health_view.h"
#include "pages/temp_text.h"

#include <QAbstractButton>
#include <QDate>
#include <QTime>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QVBoxLayout>

namespace quenda {

namespace {
const QString kSep = QString::fromUtf8(kStatusSeparator);

// Joins the non-empty parts with the separator.
void append(QString& out, const QString& part) {
    if (part.isEmpty()) return;
    if (!out.isEmpty()) out += kSep;
    out += part;
}

// In the order the device's error bits are reported; the clock error comes before the sensor error.
struct ErrorText {
    uint8_t bit;
    const char* key;
};
constexpr ErrorText kErrorTexts[] = {
    {ErrorBit::Overtemperature, "Overtemperature"}, {ErrorBit::Undervoltage, "Undervoltage"},
    {ErrorBit::Quartz, "QuarzError"},              {ErrorBit::Crc, "CRCError"},
    {ErrorBit::RamFull, "RAMFull"},                {ErrorBit::Rtc, "RTCError"},
    {ErrorBit::TempBoard, "TempBoardError"},       {ErrorBit::Pwm, "PWMError"}};

// Indexed by Mode.
const char* const kModeKeys[kModeCount] = {"ModeManual", "ModeAuto", "ModeGeo", "ModeRGBDemo", "ModeFlash"};

// The locale's long time format without its time-zone name: the device clock has no zone.
QString timeFormatWithoutZone(const QLocale& loc) {
    const QString f = loc.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (QChar c : f) {
        if (c == QLatin1Char('\'')) quoted = !quoted;
        if (!quoted && c == QLatin1Char('t')) continue;
        out += c;
    }
    return out.trimmed();
}

// The device's date; invalid when the device reports an impossible one.
QDate deviceDate(const TInfo& info) {
    return QDate(2000 + info.Year, info.Month, info.Day);
}

} // namespace

// ---- Texts ----------------------------------------------------------------------

QString StatusText(const TInfo& info, const TConfig& config, const QString& port) {
    QString s;
    append(s, port);
    for (const auto& e : kErrorTexts)
        if (info.ErrorFlags & e.bit) append(s, Msg(QString::fromLatin1(e.key)));
    const QString unit = TempUnitText(config);
    if (measured(info.TempBoard))
        append(s, Msg(QStringLiteral("BoardTemperature")) + QStringLiteral(": ") +
                      TempText(info.TempBoard, config) + unit);
    if (measured(info.TempWater))
        append(s, QStringLiteral("Tempravik: ") + TempText(info.TempWater, config) + unit);
    if (measured(info.TempSlave))
        append(s, QStringLiteral("Slave: ") + TempText(info.TempSlave, config) + unit);
    if (measured(info.Voltage))
        append(s, Msg(QStringLiteral("InputVoltage")) + QStringLiteral(": ") +
                      formatNumber(info.Voltage / 100.0, "0.00") + QStringLiteral(" Volt"));
    return s;
}

QString ModeText(const TInfo& info, const TConfig& config) {
    if (info.StatusFlags & StatusFlags::Saving) return Msg(QStringLiteral("Saving"));
    // A mode this program does not know is shown by its number.
    QString s = config.Mode < std::size(kModeKeys) ? Msg(QString::fromLatin1(kModeKeys[config.Mode]))
                                                   : QString::number(config.Mode);
    const uint8_t a = info.ActiveFlags;
    if (weatherMode(config.Mode)) {
        if (a & ActiveFlags::Cloud) s += Msg(QStringLiteral("LetterCloud"));
        if (a & ActiveFlags::Storm) s += Msg(QStringLiteral("LetterStorm"));
    }
    if (a & ActiveFlags::Cooler) s += Msg(QStringLiteral("LetterCooler"));
    if (a & ActiveFlags::Heater) s += Msg(QStringLiteral("LetterHeater"));
    if (a & ActiveFlags::Timer) s += Msg(QStringLiteral("LetterTimer"));
    return s;
}

QString WindowCaption(const QString& statusText) {
    QString s =
        QString::fromLatin1(kVendorLabel) + kSep + QString::fromLatin1(kAppTitle);
    append(s, statusText);
    return s;
}

QString DeviceClockText(const TInfo& info) {
    const QDate d = deviceDate(info);
    const QTime t(info.Hour, info.Minute, info.Second);
    if (!d.isValid() || !t.isValid()) return {};
    // Date and time apart: a device time inside this computer's daylight-saving gap is still shown as sent.
    const QLocale loc;
    return loc.toString(d, QLocale::ShortFormat) + QLatin1Char(' ') +
           loc.toString(t, timeFormatWithoutZone(loc));
}

QString RatioText(const QString& captionKey, uint16_t startP, uint16_t endP) {
    const int total = int(startP) + int(endP);
    if (total == 0) return {};
    return Msg(captionKey) + QStringLiteral(": ") + formatNumber(100.0 * startP / total, "0.#") +
           QLatin1Char('%');
}

void ShowWeatherRatios(QLabel* cloud, QLabel* storm, const TInfo& info, const TConfig& config) {
    auto show = [&](QLabel* label, const char* ratioKey, uint16_t p, uint16_t d, uint8_t activeBit,
                    const char* activeKey) {
        if (!label) return;
        QString text = RatioText(QString::fromLatin1(ratioKey), p, d);
        if (weatherMode(config.Mode) && (info.ActiveFlags & activeBit)) {
            QString active = Msg(QString::fromLatin1(activeKey));
            append(active, text);
            text = active;
        }
        label->setText(text);
    };
    show(cloud, "CloudRatio", config.CloudP, config.CloudD, ActiveFlags::Cloud, "CloudActiveNow");
    show(storm, "StormRatio", config.StormP, config.StormD, ActiveFlags::Storm, "StormActiveNow");
}

// ---- Boxes ----------------------------------------------------------------------

WeatherRatiosBox::WeatherRatiosBox(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("gbxWeatherRatios"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    auto* l = new QVBoxLayout(this);
    cloud_ = new QLabel(this);
    cloud_->setObjectName(QStringLiteral("lblCloudRatio"));
    storm_ = new QLabel(this);
    storm_->setObjectName(QStringLiteral("lblStormRatio"));
    l->addWidget(cloud_);
    l->addWidget(storm_);
}

BoardStatusBox::BoardStatusBox(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("gbxBoardStatus"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    auto* l = new QVBoxLayout(this);
    board_ = new QLabel(this);
    board_->setObjectName(QStringLiteral("lblBoard"));
    board_->setWordWrap(true);
    health_ = new HealthView(this);
    l->addWidget(board_);
    l->addWidget(health_);
}

// ---- Display --------------------------------------------------------------------

StatusDisplay::StatusDisplay(WindowServices& win) : win_(win) {
    for (int i = 1; i <= 2; ++i)
        win_.statusPanel(i)->setAlignment(Qt::AlignCenter);
}

template <class T> T* StatusDisplay::control(const QString& name) const {
    QPointer<QWidget>& w = found_[name];
    if (!w) w = win_.mainWidget()->findChild<T*>(name);
    return qobject_cast<T*>(w.data());
}

void StatusDisplay::showDeviceInfo() {
    if (!win_.mainWidget()->isVisible()) return;
    enableSensorControls();
    showDeviceClock();
    showStatus();
    // The geo clock and redraws are the pages' own, in their hooks, which the window calls next.
}

void StatusDisplay::enableSensorControls() {
    win_.applyEnableRules({EnableWhen::Sensor, EnableWhen::SlaveSensor, EnableWhen::WaterHysteresis});
}

bool StatusDisplay::showDeviceClock() {
    const QString text = DeviceClockText(win_.state().Info);
    // An impossible date (often with the clock error bit) must not stop the status text below.
    win_.statusPanel(1)->setText(text);
    return !text.isEmpty();
}

void StatusDisplay::showStatus() {
    const DeviceState& s = win_.state();
    const QString status = StatusText(s.Info, s.Config, win_.portName());
    win_.mainWidget()->setWindowTitle(WindowCaption(status));
    if (auto* board = control<QLabel>(QStringLiteral("lblBoard"))) {
        board->setText(status);
        QPalette pal = board->palette();
        const QColor normal = board->parentWidget()
                                  ? board->parentWidget()->palette().color(QPalette::WindowText)
                                  : win_.mainWidget()->palette().color(QPalette::WindowText);
        const QColor colour = boardErrorShown(s.Info.ErrorFlags) ? QColor(Qt::red) : normal;
        // A palette set anew relays the label out even when nothing changed.
        const auto shown = [&](QPalette::ColorGroup g) { return pal.color(g, QPalette::WindowText) == colour; };
        if (!shown(QPalette::Active) || !shown(QPalette::Inactive) || !shown(QPalette::Disabled)) {
            pal.setColor(QPalette::WindowText, colour);
            board->setPalette(pal);
        }
    }
}

void StatusDisplay::showModeAndSettings() {
    if (!win_.mainWidget()->isVisible()) return;
    enableModeControls();
    showModeText();
    showWeatherRatios();
    // The pages fill their own configuration controls, place and channel names in their hooks.
}

void StatusDisplay::enableModeControls() {
    // Also bound to the link: a mode change while disconnected enables nothing.
    win_.applyEnableRules({EnableWhen::WeatherTrigger});
}

void StatusDisplay::showModeText() {
    win_.statusPanel(2)->setText(ModeText(win_.state().Info, win_.state().Config));
}

void StatusDisplay::showWeatherRatios() {
    ShowWeatherRatios(control<QLabel>(QStringLiteral("lblCloudRatio")),
                      control<QLabel>(QStringLiteral("lblStormRatio")), win_.state().Info,
                      win_.state().Config);
}

void StatusDisplay::drawHealth() {
    if (auto* view = control<HealthView>(QStringLiteral("imgHealth"))) view->draw(win_.state().Health);
}

} // namespace quenda
