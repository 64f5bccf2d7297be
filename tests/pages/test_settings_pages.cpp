// The configuration, expert, JMP pin and 433 MHz pages worked by object name in a
// shown window whose link the test plays.
#include "app/application.h"
#include "lang/apply_language.h"
#include "pages/expert_page.h"
#include "link/device_codes.h"
#include "pages/number_text.h"
#include "page_test_util.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>

#include <cstring>
#include <QPushButton>
#include <QRadioButton>

using namespace quenda;
using namespace quenda::testing;

namespace {
// Connected, sensor present, on the page that holds `control`, nothing pending.
std::unique_ptr<TfrmQuenda> windowOn(const QString& control, bool fahrenheit = false, QStringList args = {}) {
    auto w = makeShownWindow(args << QStringLiteral("-expert"));
    w->state().Info.TempWater = 250;
    w->state().Expert.FanMode = 2; // hysteresis and off level both usable
    w->state().Config.Flag = fahrenheit ? Flag::Fahrenheit : 0;
    QWidget* c = ctl(*w, control);
    QWidget* page = c;
    while (page && !qobject_cast<Page*>(page)) page = page->parentWidget();
    connectInMode(*w, 0, qPrintable(page->objectName()));
    w->ShowDeviceInfo();
    w->ShowExpertSettings();
    w->state().assignRequests(0);
    return w;
}
// On the indicator: a radio button takes clicks on its circle and caption only.
void clickButton(QWidget* b) {
    QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(8, b->height() / 2));
}
} // namespace

class TestSettingsPages : public QObject {
    Q_OBJECT
private slots:
    void init() { setDesktopLocaleName(QStringLiteral("C")); }

    // Typed entries: converted, cut to the field's width, the bar held to its range.
    void typedEntries_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("fahrenheit");
        QTest::addColumn<int>("record");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("index");
        QTest::addColumn<qint64>("stored");
        QTest::addColumn<uint>("request");
        QTest::addColumn<int>("bar"); // the paired track bar, -1 for none
        const int C = int(RecordKind::Config), X = int(RecordKind::Expert), W = int(RecordKind::ExpertWeather);
        QTest::newRow("bright 120 %") << "edtLCDBLMax" << "120" << false << C << "LCDBLMax" << 0 << 50LL << uint(rqSetConfig) << 50;
        QTest::newRow("night 50 %") << "edtLCDBLNight" << "50" << false << X << "LCDBLNight" << 0 << 128LL << uint(rqSetExpert) << 128;
        QTest::newRow("time lapse 300") << "edtTimeLapse" << "300" << false << C << "TimeLapse" << 0 << 44LL << uint(rqSetConfig) << 44;
        QTest::newRow("prescaler 300") << "edtPWMPrescaler" << "300" << false << X << "PWMPrescaler" << 0 << 44LL << uint(rqSetExpert) << -1;
        QTest::newRow("chart scale 2.54") << "edtChartScale" << "2.54" << false << X << "ChartScale" << 0 << 25LL << uint(rqSetExpert) << -1;
        QTest::newRow("offset -0,5 in F") << "edtTempOffset" << "-0,5" << true << X << "TempOffset" << 0 << -5LL << uint(rqSetExpert) << -1;
        QTest::newRow("cloud water 30.5 in F") << "edtCloudTempWater" << "30.5" << true << X << "CloudTempWater" << 0 << 305LL << uint(rqSetExpert) << -1;
        QTest::newRow("cooler 86 F") << "edtTempCoolHigh" << "86" << true << X << "TempCoolHigh" << 0 << 300LL << uint(rqSetExpert) << -1;
        QTest::newRow("hysteresis 25 C") << "edtTempWaterLow" << "25" << false << X << "TempWaterLow" << 0 << 250LL << uint(rqSetExpert) << -1;
        QTest::newRow("mask H") << "edtLightningMask7" << "165" << false << W << "LightningMask" << 7 << 165LL << uint(rqSetExpertWeather) << -1;
        QTest::newRow("seed") << "edtRandomInit" << "257" << false << X << "RandomInit" << 0 << 1LL << uint(rqSetExpert) << -1;
    }
    void typedEntries() {
        QFETCH(QString, control);
        QFETCH(QString, text);
        QFETCH(bool, fahrenheit);
        QFETCH(int, record);
        QFETCH(QString, field);
        QFETCH(int, index);
        QFETCH(qint64, stored);
        QFETCH(uint, request);
        QFETCH(int, bar);
        auto w = windowOn(control, fahrenheit);
        auto* e = ctl<QLineEdit>(*w, control);
        QVERIFY(e->isEnabled());
        typeInto(e, text);
        QCOMPARE(fieldOf(*w, RecordKind(record), qPrintable(field), index), stored);
        QCOMPARE(w->state().requests(), request);
        if (bar >= 0) QCOMPARE(ctl<QSlider>(*w, QString(control).replace(0, 3, QStringLiteral("trb")))->value(), bar);
    }

    // Text that is no number, and a time-zone edit that fails, change nothing and send nothing.
    void unparsedEntries_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::newRow("percent") << "edtFanLow" << "x1";
        QTest::newRow("temperature") << "edtTempHeatLow" << "warm";
        QTest::newRow("zone day") << "edtTimeZoneStandardDay" << "x5";
        QTest::newRow("zone bias") << "edtTimeZoneBias" << "-";
    }
    void unparsedEntries() {
        QFETCH(QString, control);
        QFETCH(QString, text);
        auto w = windowOn(control);
        const TConfig config = w->state().Config;
        const TExpert expert = w->state().Expert;
        typeInto(ctl<QLineEdit>(*w, control), text);
        QCOMPARE(std::memcmp(&config, &w->state().Config, sizeof config), 0);
        QCOMPARE(std::memcmp(&expert, &w->state().Expert, sizeof expert), 0);
        QCOMPARE(w->state().requests(), 0u);
    }

    // A change in one zone edit reads all nine in order; one that does not parse stops
    // the reading there, the ones before it keep their new values, and nothing is sent.
    void timeZoneEditsReadInOrder() {
        auto w = windowOn(QStringLiteral("edtTimeZoneBias"));
        auto* hour = ctl<QLineEdit>(*w, QStringLiteral("edtTimeZoneStandardHour"));
        auto* month = ctl<QLineEdit>(*w, QStringLiteral("edtTimeZoneStandardMonth"));
        auto* dstDay = ctl<QLineEdit>(*w, QStringLiteral("edtTimeZoneDaylightDay"));
        month->setText(QStringLiteral("10"));   // set by a program, not typed: nothing reads it yet
        dstDay->setText(QStringLiteral("x"));
        QCOMPARE(int(w->state().Expert.StandardMonth), 0);
        typeInto(hour, QStringLiteral("3"));
        QCOMPARE(int(w->state().Expert.StandardMonth), 10);
        QCOMPARE(int(w->state().Expert.StandardHour), 3);
        QCOMPARE(w->state().requests(), 0u);
        dstDay->setText(QStringLiteral("31"));
        typeInto(ctl<QLineEdit>(*w, QStringLiteral("edtTimeZoneBias")), QStringLiteral("60"));
        QCOMPARE(int(w->state().Expert.Bias), 60);
        QCOMPARE(int(w->state().Expert.DaylightDay), 31);
        QCOMPARE(w->state().requests(), uint(rqSetExpert));
    }

    // "Get from Windows" takes the rules of the computer's zone; a zone that cannot be
    // read changes nothing and sends nothing.
    void zoneFromComputer() {
        auto w = windowOn(QStringLiteral("btnApplyTZI"));
        auto* page = qobject_cast<ExpertPage*>(w->page(QStringLiteral("tsExpert")));
        page->setSystemZone([] { return QTimeZone("No/Such_Zone"); });
        w->state().Expert.Bias = 7;
        ctl<QPushButton>(*w, QStringLiteral("btnApplyTZI"))->click();
        QCOMPARE(int(w->state().Expert.Bias), 7);
        QCOMPARE(w->state().requests(), 0u);

        const QTimeZone berlin("Europe/Berlin");
        if (!berlin.isValid()) QSKIP("the system has no zone data");
        page->setSystemZone([berlin] { return berlin; });
        ctl<QPushButton>(*w, QStringLiteral("btnApplyTZI"))->click();
        const TExpert& x = w->state().Expert;
        QCOMPARE(int(x.Bias), 60);
        QCOMPARE((QList<int>{x.DaylightMonth, x.DaylightDay, x.DaylightHour, x.DaylightDayOfWeek}), (QList<int>{3, 31, 2, 0}));
        QCOMPARE((QList<int>{x.StandardMonth, x.StandardDay, x.StandardHour, x.StandardDayOfWeek}), (QList<int>{10, 31, 3, 0}));
        QCOMPARE(ctl<QLineEdit>(*w, QStringLiteral("edtTimeZoneBias"))->text(), QStringLiteral("60"));
        QCOMPARE(ctl<QLineEdit>(*w, QStringLiteral("edtTimeZoneStandardHour"))->text(), QStringLiteral("3"));
        QCOMPARE(w->state().requests(), uint(rqSetExpert));
    }

    // The bars of a group stay in order when dragged; the edits do not enforce it.
    void barsKeepTheirOrder_data() {
        QTest::addColumn<QString>("bar");
        QTest::addColumn<bool>("up");
        QTest::addColumn<int>("stored");
        QTest::newRow("dim above bright") << "trbLCDBLMin" << true << 100;
        QTest::newRow("dim below night") << "trbLCDBLMin" << false << 20;
        QTest::newRow("bright below dim") << "trbLCDBLMax" << false << 60;
        QTest::newRow("night above dim") << "trbLCDBLNight" << true << 60;
        QTest::newRow("slow above fast") << "trbFanLow" << true << 100;
        QTest::newRow("off above slow") << "trbFanOff" << true << 60;
    }
    void barsKeepTheirOrder() {
        QFETCH(QString, bar);
        QFETCH(bool, up);
        QFETCH(int, stored);
        auto w = makeShownWindow();
        TConfig& c = w->state().Config;
        TExpert& x = w->state().Expert;
        c.LCDBLMax = c.FanHigh = 100;
        c.LCDBLMin = c.FanLow = 60;
        x.LCDBLNight = x.FanOff = 20;
        connectInMode(*w, 0, "tsConfig");
        w->ShowExpertSettings();
        auto* s = ctl<QSlider>(*w, bar);
        QTest::mousePress(s, Qt::LeftButton, Qt::NoModifier, sliderHandle(s).center());
        QVERIFY(s->isSliderDown());
        QTest::mouseMove(s, QPoint(up ? s->width() - 1 : 0, sliderHandle(s).center().y()));
        release(s);
        QCOMPARE(s->value(), stored);
        const QString edit = QString(bar).replace(0, 3, QStringLiteral("edt"));
        const bool expert = bar.endsWith(QLatin1String("Night")) || bar.endsWith(QLatin1String("Off"));
        QCOMPARE(fieldOf(*w, expert ? RecordKind::Expert : RecordKind::Config, qPrintable(edit.mid(3))), stored);
        QCOMPARE(ctl<QLineEdit>(*w, edit)->text(), formatNumber(stored / 2.55, "0.#"));
        QCOMPARE(w->state().requests(), uint(expert ? rqSetExpert : rqSetConfig));
        // Typed, the dim level may pass the bright one.
        typeInto(ctl<QLineEdit>(*w, QStringLiteral("edtLCDBLMin")), QStringLiteral("100"));
        QCOMPARE(int(c.LCDBLMin), 255);
    }

    // A fan mode chosen by the device's record sets the enabling and sends nothing;
    // one that no button stands for selects none.
    void fanModeFromDevice_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<bool>("hysteresis");
        QTest::addColumn<bool>("offLevel");
        QTest::newRow("brightness") << 0 << "rbtFMOLED" << false << true;
        QTest::newRow("sensor") << 1 << "rbtFMOWater" << true << false;
        QTest::newRow("master by sensor") << 2 << "rbtFMOWaterMaster" << true << true;
        QTest::newRow("unknown") << 7 << "" << true << true;
    }
    void fanModeFromDevice() {
        QFETCH(int, mode);
        QFETCH(QString, selected);
        QFETCH(bool, hysteresis);
        QFETCH(bool, offLevel);
        auto w = windowOn(QStringLiteral("rbtFMOLED"));
        w->state().Expert.FanMode = 1 - qMin(mode, 1); // another mode before
        w->ShowExpertSettings();
        w->state().Expert.FanMode = uint8_t(mode);
        w->ShowExpertSettings();
        for (const char* name : {"rbtFMOLED", "rbtFMOWater", "rbtFMOWaterMaster"})
            QCOMPARE(ctl<QRadioButton>(*w, QLatin1String(name))->isChecked(), selected == QLatin1String(name));
        QCOMPARE(ctl(*w, QStringLiteral("edtTempWaterHigh"))->isEnabled(), hysteresis);
        QCOMPARE(ctl(*w, QStringLiteral("trbFanOff"))->isEnabled(), offLevel);
        QCOMPARE(int(w->state().Expert.FanMode), mode);
        QCOMPARE(w->state().requests(), 0u);
        // Chosen by mouse, it is sent.
        auto* water = ctl(*w, QStringLiteral("rbtFMOWater"));
        clickButton(water);
        QCOMPARE(int(w->state().Expert.FanMode), 1);
        QCOMPARE(w->state().requests(), uint(rqSetExpert));
        QVERIFY(!ctl(*w, QStringLiteral("edtFanOff"))->isEnabled());
    }

    // The JMP pin function as the device reports it, also where the user may not choose it.
    void pinFunctionFromDevice_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("selected");
        QTest::newRow("cooler without sensor") << 3 << "rbtJMPCooler";
        QTest::newRow("servo") << 7 << "rbtJMPServo";
        QTest::newRow("beyond the list") << 9 << "";
    }
    void pinFunctionFromDevice() {
        QFETCH(int, mode);
        QFETCH(QString, selected);
        auto w = windowOn(QStringLiteral("rbtJMPPWM"));
        w->state().Info.TempWater = kNoMeasurement;
        w->ShowDeviceInfo();
        w->state().Expert.JMPMode = uint8_t(mode);
        w->ShowExpertSettings();
        QStringList checked;
        for (QRadioButton* r : w->page(QStringLiteral("tsJMP"))->findChildren<QRadioButton*>())
            if (r->isChecked()) checked << r->objectName();
        QCOMPARE(checked, selected.isEmpty() ? QStringList() : QStringList{selected});
        QVERIFY(!ctl(*w, QStringLiteral("rbtJMPCooler"))->isEnabled());
        QVERIFY(!ctl(*w, QStringLiteral("edtTempCoolHigh"))->isEnabled());
        QVERIFY(ctl(*w, QStringLiteral("rbtJMPServo"))->isEnabled());
        QVERIFY(!ctl(*w, QStringLiteral("rbtJMPHighTide"))->isVisible());
        QCOMPARE(w->state().requests(), 0u);
        // Set by the program rather than the user: stored, not sent.
        ctl<QRadioButton>(*w, QStringLiteral("rbtJMPTimer"))->click();
        QCOMPARE(int(w->state().Expert.JMPMode), 6);
        QCOMPARE(w->state().requests(), 0u);
    }

    // Switching the unit re-shows every temperature but the one being typed.
    void unitSwitchKeepsTheEditedTemperature() {
        auto w = windowOn(QStringLiteral("edtTempWaterLow"));
        TExpert& x = w->state().Expert;
        x.TempWaterHigh = 300;
        x.TempCoolLow = 200;
        x.TempOffset = -5;
        x.CloudTempWater = 305;
        w->ShowExpertSettings();
        auto* low = ctl<QLineEdit>(*w, QStringLiteral("edtTempWaterLow"));
        typeInto(low, QStringLiteral("23"));
        w->state().assignRequests(0);
        ctl<QRadioButton>(*w, QStringLiteral("rbtFahrenheit"))->click();
        QVERIFY(low->hasFocus());
        QCOMPARE(low->text(), QStringLiteral("23"));
        QCOMPARE(int(x.TempWaterLow), 230);
        QCOMPARE(ctl<QLineEdit>(*w, QStringLiteral("edtTempWaterHigh"))->text(), QStringLiteral("86.0"));
        QCOMPARE(ctl<QLineEdit>(*w, QStringLiteral("edtTempCoolLow"))->text(), QStringLiteral("68.0"));
        // Offsets and cloud triggers stay in degrees Celsius.
        QCOMPARE(ctl<QLineEdit>(*w, QStringLiteral("edtTempOffset"))->text(), QStringLiteral("-0.5"));
        QCOMPARE(ctl<QLineEdit>(*w, QStringLiteral("edtCloudTempWater"))->text(), QStringLiteral("30.5"));
        QCOMPARE(w->state().Config.Flag & Flag::Fahrenheit, Flag::Fahrenheit);
        QCOMPARE(w->state().requests(), uint(rqSetConfig));
        ctl<QRadioButton>(*w, QStringLiteral("rbtCelsius"))->click();
        QCOMPARE(w->state().Config.Flag & Flag::Fahrenheit, 0);
        QCOMPARE(ctl<QLineEdit>(*w, QStringLiteral("edtTempWaterHigh"))->text(), QStringLiteral("30.0"));
    }

    // Flag bits from the configuration select their radio buttons; "Realtime" sets 1.
    void configurationRecordShown() {
        auto w = windowOn(QStringLiteral("btnRealtime"));
        w->state().Config.Flag = Flag::Display20x4 | Flag::Clock12h;
        w->state().Config.TimeLapse = 60;
        w->ShowModeAndSettings();
        for (const char* on : {"rbt20x4", "rbt12h", "rbtCelsius"})
            QVERIFY2(ctl<QRadioButton>(*w, QLatin1String(on))->isChecked(), on);
        QCOMPARE(ctl<QSlider>(*w, QStringLiteral("trbTimeLapse"))->value(), 60);
        QTest::mouseClick(ctl(*w, QStringLiteral("btnRealtime")), Qt::LeftButton);
        QCOMPARE(int(w->state().Config.TimeLapse), 1);
        QCOMPARE(ctl<QSlider>(*w, QStringLiteral("trbTimeLapse"))->value(), 1);
        QCOMPARE(ctl<QLineEdit>(*w, QStringLiteral("edtTimeLapse"))->text(), QStringLiteral("1"));
        QCOMPARE(w->state().requests(), uint(rqSetConfig));
    }

    // The display's language list speaks the program's language and shows the device's choice.
    void displayLanguageList() {
        auto w = windowOn(QStringLiteral("cmbLanguage"), false, {QStringLiteral("-german")});
        auto* cmb = ctl<QComboBox>(*w, QStringLiteral("cmbLanguage"));
        QCOMPARE(cmb->itemText(0), QStringLiteral("Englisch"));
        QCOMPARE(cmb->currentIndex(), 0); // the device's, not the program's
        w->state().Expert.Language = 1;
        w->ShowExpertSettings();
        QCOMPARE(cmb->currentText(), QStringLiteral("Deutsch"));
        QCOMPARE(w->state().requests(), 0u);
        ApplyLanguage(w.get(), LanguageChoice::English);
        for (Page* p : w->findChildren<Page*>()) p->languageApplied();
        QCOMPARE(cmb->currentText(), QStringLiteral("German"));
        QVERIFY(!ctl<QPlainTextEdit>(*w, QStringLiteral("memRC433"))->toPlainText().isEmpty());
    }

    // The 433 MHz sheet takes no input.
    void radioSocketSheetIsInert() {
        auto w = makeShownWindow({QStringLiteral("-rc433")});
        connectInMode(*w, 0, "tsRC433");
        auto* box = ctl<QCheckBox>(*w, QStringLiteral("cbxRC433System3"));
        clickButton(box);
        QVERIFY(!box->isChecked());
        QCOMPARE(w->state().requests(), 0u);
    }
};

int main(int argc, char** argv) {
    QuendaApplication app(argc, argv);
    TestSettingsPages t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_settings_pages.moc"
