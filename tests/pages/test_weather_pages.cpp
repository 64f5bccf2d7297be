// The weather, delay, moon and white-balance pages driven as a user does.
#include "app/application.h"
#include "lang/apply_language.h"
#include "lang/texts.h"
#include "pages/channel_names.h"
#include "pages/channel_rows_page.h"
#include "pages/entry_check.h"
#include "pages/number_text.h"
#include "page_test_util.h"

#include <QLabel>
#include <QPushButton>

using namespace quenda;
using namespace quenda::testing;

class TestWeatherPages : public QObject {
    Q_OBJECT
private slots:
    void init() {
        setDesktopLocaleName(QStringLiteral("C"));
        LoadLanguage(LanguageChoice::English);
    }

    // Count and duration set both chances of their group through the track bars; a count
    // beyond the bar is shown as typed but the chances use the bar's end.
    void countAndDurationSetTheChances() {
        auto w = makeShownWindow();
        connectInMode(*w, 1, "tsWeather");
        TConfig& c = w->state().Config;
        auto* count = ctl<QSlider>(*w, "trbCloudCount");
        count->setFocus();
        QTest::keyClick(count, Qt::Key_End);
        QCOMPARE(ctl<QLineEdit>(*w, "edtCloudCount")->text(), QStringLiteral("3000"));
        QCOMPARE(int(c.CloudP), 1820);
        QVERIFY(w->state().isRaised(rqSetConfig));

        w->state().assignRequests(0);
        auto* seconds = ctl<QLineEdit>(*w, "edtCloudSeconds");
        typeInto(seconds, QStringLiteral("900"));
        QCOMPARE(ctl<QSlider>(*w, "trbCloudSeconds")->value(), 900);
        QCOMPARE(int(c.CloudP), 1820);
        QCOMPARE(int(c.CloudD), 58);
        QVERIFY(w->state().isRaised(rqSetConfig));
        QCOMPARE(ctl<QLabel>(*w, "lblCloudRatio")->text(), QStringLiteral("Cloud ratio: 96.9%"));

        typeInto(ctl<QLineEdit>(*w, "edtCloudCount"), QStringLiteral("24"));
        QCOMPARE(int(c.CloudP), 14);
        auto* typed = ctl<QLineEdit>(*w, "edtCloudCount");
        typeInto(typed, QStringLiteral("5000"));
        QCOMPARE(typed->text(), QStringLiteral("5000"));
        QCOMPARE(count->value(), 3000);
        QCOMPARE(int(c.CloudP), 1820);

        // Text that is no number changes nothing.
        w->state().assignRequests(0);
        typeInto(seconds, QStringLiteral("x9"));
        QVERIFY(isMarkedUnparsed(seconds));
        QCOMPARE(int(c.CloudD), 58);
        QCOMPARE(w->state().requests(), 0u);

        typeInto(ctl<QLineEdit>(*w, "edtStormCount"), QStringLiteral("256"));
        typeInto(ctl<QLineEdit>(*w, "edtStormMinutes"), QStringLiteral("1"));
        QCOMPARE(int(c.StormP), 355);
        QCOMPARE(int(c.StormD), 13981);
        QCOMPARE(int(c.CloudP), 1820); // the other group is left alone
    }

    // A configuration record moves bars and edits by the inverse, except what the user holds;
    // an end chance of 0 leaves the duration where it was.
    void configurationRecordShowsCountAndDuration() {
        auto w = makeShownWindow();
        connectInMode(*w, 1, "tsWeather");
        TConfig& c = w->state().Config;
        c.CloudP = 1820;
        c.CloudD = 58;
        c.StormP = 1;
        c.StormD = 0;
        w->ShowModeAndSettings();
        QCOMPARE(ctl<QSlider>(*w, "trbCloudCount")->value(), 2999);
        QCOMPARE(ctl<QLineEdit>(*w, "edtCloudSeconds")->text(), QStringLiteral("900")); // 903, held to the bar
        QCOMPARE(ctl<QLineEdit>(*w, "edtStormCount")->text(), QStringLiteral("0"));
        const int minutes = ctl<QSlider>(*w, "trbStormMinutes")->value();

        typeInto(ctl<QLineEdit>(*w, "edtCloudCount"), QStringLiteral("12"));
        c.CloudP = 14;
        c.CloudD = 0;
        c.StormP = 1387;
        w->ShowModeAndSettings();
        QCOMPARE(ctl<QLineEdit>(*w, "edtCloudCount")->text(), QStringLiteral("12"));
        QCOMPARE(ctl<QSlider>(*w, "trbCloudSeconds")->value(), 900);
        QCOMPARE(ctl<QLineEdit>(*w, "edtStormCount")->text(), QStringLiteral("999"));
        QCOMPARE(ctl<QSlider>(*w, "trbStormMinutes")->value(), minutes);
    }

    // Each button raises its own toggle, nothing else.
    void triggerButtonsToggle() {
        auto w = makeShownWindow();
        connectInMode(*w, 2, "tsWeather");
        QTest::mouseClick(ctl<QPushButton>(*w, "btnStorm"), Qt::LeftButton);
        QCOMPARE(w->state().requests(), uint32_t(rqToggleStorm));
        QTest::mouseClick(ctl<QPushButton>(*w, "btnCloud"), Qt::LeftButton);
        QCOMPARE(w->state().requests(), uint32_t(rqToggleStorm | rqToggleCloud));
    }

    // Typed entries of the per-channel rows and the balance sum and ramp, as stored and as
    // the track bar shows them.
    void rowEntries_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("bar"); // -1: no bar
        QTest::addColumn<uint>("request");
        const int weather = int(RecordKind::ExpertWeather);
        QTest::newRow("delay off") << "tsWeatherDelay" << "edtWeatherDelay4" << "25.5" << weather << "WeatherDelay" << 4
                                   << 255 << 255 << uint(rqSetExpertWeather);
        QTest::newRow("delay, comma") << "tsWeatherDelay" << "edtWeatherDelay11" << "2,5" << weather << "WeatherDelay"
                                      << 11 << 25 << 25 << uint(rqSetExpertWeather);
        QTest::newRow("moon half") << "tsMoon" << "edtMoon2" << "50" << weather << "MoonColor16" << 2 << 2048 << 2048
                                   << uint(rqSetExpertWeather);
        QTest::newRow("balance") << "tsBalance" << "edtBalance7" << "80" << weather << "Balance" << 7 << 80 << 80
                                 << uint(rqSetExpertWeather);
        QTest::newRow("balance sum") << "tsBalance" << "edtBalanceSum" << "64" << weather << "BalanceSum" << 0 << 64 << 64
                                     << uint(rqSetExpertWeather);
        QTest::newRow("sum ramp") << "tsBalance" << "edtBalanceSumRamp" << "-20" << int(RecordKind::Expert)
                                  << "BalanceSumRamp" << 0 << -20 << -1 << uint(rqSetExpert);
        QTest::newRow("no number") << "tsMoon" << "edtMoon0" << "o5" << weather << "MoonColor16" << 0 << 0 << 0 << 0u;
    }
    void rowEntries() {
        QFETCH(QString, page);
        QFETCH(QString, edit);
        QFETCH(QString, typed);
        QFETCH(int, kind);
        QFETCH(QString, field);
        QFETCH(int, index);
        QFETCH(int, bar);
        QFETCH(uint, request);
        auto w = makeShownWindow({QStringLiteral("expert")});
        connectInMode(*w, 1, qPrintable(page));
        auto* e = ctl<QLineEdit>(*w, edit);
        typeInto(e, typed);
        QTEST(int(fieldOf(*w, RecordKind(kind), qPrintable(field), index)), "stored");
        QCOMPARE(w->state().requests(), request);
        if (bar >= 0) {
            auto* s = ctl<QSlider>(*w, QString(edit).replace(QStringLiteral("edt"), QStringLiteral("trb")));
            QCOMPARE(s->value(), bar);
        }
    }

    // A weather record fills the pages without touching what the user types, except the
    // balance sum (the device ramps it); from the log it moves on to the mode's page.
    void weatherRecordShowsPages() {
        auto w = makeShownWindow({QStringLiteral("expert")});
        connectInMode(*w, 2, "tsMessages");
        TExpertWeather& x = w->state().ExpertWeather;
        x.MoonColor16[1] = 1;
        x.WeatherDelay[0] = 255;
        x.CloudAlpha = 40;
        w->ShowWeatherSettings();
        QCOMPARE(w->pages()->currentWidget()->objectName(), QStringLiteral("tsGeo"));
        QCOMPARE(ctl<QLineEdit>(*w, "edtMoon1")->text(), QStringLiteral("0.02"));
        QCOMPARE(ctl<QSlider>(*w, "trbMoon1")->value(), 1);
        QCOMPARE(ctl<QLineEdit>(*w, "edtWeatherDelay0")->text(), QStringLiteral("25.5"));
        QCOMPARE(ctl<QSlider>(*w, "trbCloudAlpha")->value(), 40);

        w->ShowPage(w->page(QStringLiteral("tsBalance")));
        auto* sum = ctl<QLineEdit>(*w, "edtBalanceSum");
        typeInto(sum, QStringLiteral("7"));
        x.BalanceSum = 90;
        x.MoonColor16[1] = 4096;
        w->ShowWeatherSettings();
        QCOMPARE(w->pages()->currentWidget()->objectName(), QStringLiteral("tsBalance"));
        QVERIFY(sum->hasFocus());
        QCOMPARE(sum->text(), QStringLiteral("90"));
        QCOMPARE(ctl<QSlider>(*w, "trbBalanceSum")->value(), 90);
        QCOMPARE(ctl<QLineEdit>(*w, "edtMoon1")->text(), QStringLiteral("100"));

        auto* moon = ctl<QLineEdit>(*w, "edtMoon3");
        typeInto(moon, QStringLiteral("1"));
        x.MoonColor16[3] = 0;
        w->ShowWeatherSettings();
        QCOMPARE(moon->text(), QStringLiteral("1"));
    }

    // After the colour names are spread, every row names its channel and wears its colour.
    void rowsNameAndColourTheirChannel() {
        auto w = makeShownWindow({QStringLiteral("expert")});
        connectInMode(*w, 1, "tsMoon");
        w->state().Config.ColorName[5] = 2;
        ShowChannelNames(w.get(), w->state());
        for (const char* prefix : {"WeatherDelay", "Moon", "Balance"}) {
            const QString n = QString::fromLatin1(prefix) + QLatin1Char('5');
            QCOMPARE(ctl<QLabel>(*w, "lbl" + n)->text(), QStringLiteral("F: ") + ColorName(2));
            QCOMPARE(ctl(*w, "edt" + n)->palette().color(QPalette::Base).rgba(), ChannelPalette(2));
        }
    }
};

QTEST_MAIN(TestWeatherPages)
#include "test_weather_pages.moc"
