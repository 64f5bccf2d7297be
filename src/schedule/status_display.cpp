#include "schedule/status_display.h"

#include "app/binding.h"
#include "app/enable_table.h"
#include "app/main_window.h"
#include "lang/texts.h"
#include "pages/page.h"
#include "schedule/health_view.h"
#include "schedule/temp_text.h"

#include <QAbstractButton>
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
struct ErrorBit {
    int bit;
    const char* key;
};
constexpr ErrorBit kErrorBits[] = {{0, "Overtemperature"}, {1, "Undervoltage"}, {2, "QuarzError"},
                                   {3, "CRCError"},        {4, "RAMFull"},      {6, "RTCError"},
                                   {5, "TempBoardError"},  {7, "PWMError"}};

const char* const kModeKeys[] = {"ModeManual", "ModeAuto", "ModeGeo", "ModeRGBDemo", "ModeFlash"};

bool weatherMode(uint8_t mode) {
    return mode == 1 || mode == 2;
}

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

// Appends a box to a placeholder page unless the window already has a control of that name.
template <class Box> void installOnPlaceholder(TfrmQuenda& win, const char* pageName, const char* probe) {
    auto* page = qobject_cast<PlaceholderPage*>(win.page(QString::fromLatin1(pageName)));
    if (!page || win.findChild<QWidget*>(QString::fromLatin1(probe))) return;
    QLayout* layout = page->layout();
    if (!layout) layout = new QVBoxLayout(page);
    layout->addWidget(new Box(page));
}
} // namespace

// ---- Texts ----------------------------------------------------------------------

QString StatusText(const TInfo& info, const TConfig& config, const QString& port) {
    QString s;
    append(s, port);
    for (const auto& e : kErrorBits)
        if (info.ErrorFlags & (1u << e.bit)) append(s, Msg(QString::fromLatin1(e.key)));
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
    if (info.StatusFlags & 0x10) return Msg(QStringLiteral("Saving"));
    // A mode this program does not know is shown by its number.
    QString s = config.Mode < std::size(kModeKeys) ? Msg(QString::fromLatin1(kModeKeys[config.Mode]))
                                                   : QString::number(config.Mode);
    const uint8_t a = info.ActiveFlags;
    if (weatherMode(config.Mode)) {
        if (a & 0x01) s += Msg(QStringLiteral("LetterCloud"));
        if (a & 0x02) s += Msg(QStringLiteral("LetterStorm"));
    }
    if (a & 0x04) s += Msg(QStringLiteral("LetterCooler"));
    if (a & 0x08) s += Msg(QStringLiteral("LetterHeater"));
    if (a & 0x20) s += Msg(QStringLiteral("LetterTimer"));
    return s;
}

QString WindowCaption(const QString& statusText) {
    QString s =
        QString::fromLatin1(TfrmQuenda::kVendorLabel) + kSep + QString::fromLatin1(TfrmQuenda::kAppTitle);
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
    show(cloud, "CloudRatio", config.CloudP, config.CloudD, 0x01, "CloudActiveNow");
    show(storm, "StormRatio", config.StormP, config.StormD, 0x02, "StormActiveNow");
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

StatusDisplay::StatusDisplay(TfrmQuenda& win) : win_(win) {
    installOnPlaceholder<WeatherRatiosBox>(win_, "tsWeather", "lblCloudRatio");
    installOnPlaceholder<BoardStatusBox>(win_, "tsConfig", "lblBoard");
    for (int i = 1; i <= 2; ++i)
        win_.statusPanel(i)->setAlignment(Qt::AlignCenter);
}

template <class T> T* StatusDisplay::control(const QString& name) const {
    return win_.findChild<T*>(name);
}

void StatusDisplay::showDeviceInfo() {
    if (!win_.isVisible()) return;
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
    win_.setWindowTitle(WindowCaption(status));
    if (auto* board = control<QLabel>(QStringLiteral("lblBoard"))) {
        board->setText(status);
        QPalette pal = board->palette();
        const QColor normal = board->parentWidget()
                                  ? board->parentWidget()->palette().color(QPalette::WindowText)
                                  : win_.palette().color(QPalette::WindowText);
        pal.setColor(QPalette::WindowText, boardErrorShown(s.Info.ErrorFlags) ? QColor(Qt::red) : normal);
        board->setPalette(pal);
    }
}

void StatusDisplay::showModeAndSettings() {
    if (!win_.isVisible()) return;
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
