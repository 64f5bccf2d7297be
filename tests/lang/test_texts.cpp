// Text tables and their lookup: table shape, formatting, failure rules and
// the choice of the interface language.
#include "lang/texts.h"

#include <QtTest>

using namespace quenda;

namespace {

// The keys the code and the window rely on, in table order.
const char* const kMessageKeys =
    "Started Bytes ListingSerialPorts NoSerialPorts DebugMessagesActive DebugMessagesInactive "
    "SystemSuspending SystemResuming FlashDlgText FlashDlgCaption InputVoltage BoardTemperature "
    "Overtemperature Undervoltage QuarzError CRCError RAMFull RTCError TempBoardError PWMError "
    "CloudRatio StormRatio CloudActiveNow StormActiveNow LetterCloud LetterStorm LetterCooler "
    "LetterHeater LetterTimer Saving Altitude Time ON OFF TempravikNotConnected Line Display Clouds "
    "Storms Timer ImportConfig QuendaConfig ExportScheduleConfig ImportSchedule IRLearnDlgText "
    "IRLearnDlgCaption Phase Sun Azimuth Rise Moon Set Hours DayLength MousePosition Latitude Longitude "
    "DiscoverNearbyDevices DeviceDetected NoDeviceName Installed Connected InstallingDevice "
    "InstallSerialPort OpenProperties InstallationStarted BluetoothAvailable WindowsError "
    "DiscoveryCompleted ListingInstalledDevices NotInstalled DeviceInUse UninstallingDevice "
    "UninstallSuccessful TryColdStart RemovalCompleted ConnectingTo ConnectedTo ErrorConnectingTo "
    "TryingAgain ConnectionError WritingSchedule Done ReadingSchedule ReadingChart DisconnectedFrom "
    "NoData TimeoutWhileWaiting ConnectedToOn DetectedWrongVersionOn ConnectedToBootloaderOn "
    "OtherHardware ParsingError ChecksumError NoDataInFile ChooseFirmware FirmwareFile Resetting "
    "FlashSize FirmwareTooLarge StartingFirmwareUpdate TransferError FirmwareUpdateFailed "
    "FirmwareUpdateSuccessful BackupBeforeUpdate BackupFailed NoBackupDlgText RestoreDlgCaption RestoreDlgText "
    "RestoreFailed RestoredFrom "
    "ModeManual ModeAuto ModeGeo ModeRGBDemo ModeFlash English German "
    "ColorUnnamed ColorWhite ColorRed ColorGreen ColorBlue ColorUV ColorMoonLight ColorColdWhite "
    "ColorWarmWhite ColorYellow ColorPurple ColorRoyalBlue ColorCyan ColorViolet ColorOrange "
    "ColorDeepRed";

const char* const kFormKeys =
    "mem.Caption tsChannels.Caption lblName0.Caption btnOff0.Caption btnOn0.Caption tsSchedule.Caption "
    "btnUpload.Caption btnDownload.Caption memDescription.Caption tsVisualize.Caption "
    "lblVisualize.Caption cbxTimeLock.Caption tsGeo.Caption edtLat.Hint edtLat.Caption edtLon.Hint "
    "edtLon.Caption edtTime.Caption btnNow.Hint btnNow.Caption tsConfig.Caption btnRealtime.Caption "
    "edtTimeLapse.Caption gbxLCDBL.Caption edtLCDBLMax.Caption edtLCDBLMin.Caption "
    "edtLCDBLNight.Caption gbxFan.Caption edtFanHigh.Caption edtFanLow.Caption edtFanOff.Caption "
    "tsWeather.Caption gbxCloud.Caption edtCloudCount.Caption edtCloudSeconds.Caption "
    "edtCloudAlpha.Caption edtCloudStep.Hint edtCloudStep.Caption btnCloud.Hint btnCloud.Caption "
    "gbxStorm.Caption edtStormCount.Caption edtStormMinutes.Caption edtStormAlpha.Caption "
    "edtStormStep.Hint edtStormStep.Caption btnStorm.Hint btnStorm.Caption edtLightningP.Hint "
    "edtLightningP.Caption tsWeatherDelay.Caption lblWeatherDelay.Caption tsMoon.Caption "
    "lblMoon.Caption tsTemp.Caption tsExpert.Caption lblPWMPrescaler.Caption lblTWIBitrate.Caption "
    "lblLanguage.Caption edtPWMPrescaler.Hint edtPWMPrescaler.Caption edtTWIBitrate.Hint "
    "edtTWIBitrate.Caption edtTempOffset.Hint edtTempOffset.Caption gbxFanMode.Caption "
    "edtTempWaterLow.Caption rbtFMOLED.Caption rbtFMOWater.Caption rbtFMOWaterMaster.Caption "
    "gbxChartMode.Caption rbtCHMTempSlave.Caption rbtCHMVoltage.Caption rbtCHMTempWater.Caption "
    "rbtCHMTempBoard.Caption edtChartInterval.Caption gbxTimeZone.Caption "
    "edtTimeZoneDaylightMonth.Caption edtTimeZoneBias.Caption edtTimeZoneDaylightDay.Caption "
    "edtTimeZoneDaylightDayOfWeek.Caption edtTimeZoneDaylightHour.Caption "
    "edtTimeZoneStandardDay.Caption edtTimeZoneStandardDayOfWeek.Caption "
    "edtTimeZoneStandardHour.Caption edtTimeZoneStandardMonth.Caption btnApplyTZI.Hint "
    "btnApplyTZI.Caption gbxTemperatureUnit.Caption rbtCelsius.Caption rbtFahrenheit.Caption "
    "gbxTimeFormat.Caption rbt12h.Caption rbt24h.Caption gbxLCDFormat.Caption rbt16x2.Caption "
    "rbt20x4.Caption gbxLightningMask.Caption edtRandomInit.Caption tsBalance.Caption "
    "lblBalance.Caption tsJMP.Caption lblJMPWarning2.Caption lblJMPWarning1.Caption "
    "rbtJMPIRLearn.Caption rbtJMPCloud.Caption rbtJMPCooler.Caption rbtJMPHeater.Caption "
    "rbtJMPStorm.Caption rbtJMPLightning.Caption rbtJMPTimer.Caption rbtJMPServo.Caption "
    "rbtJMPPWM.Caption edtTempCoolLow.Caption edtTempHeatLow.Caption tsMessages.Caption "
    "mnuConnection.Caption mnuDiscover.Caption mnuRemove.Caption mnuConnect.Caption "
    "mnuDisconnect.Caption mnuFile.Caption mnuScheduleImport.Caption mnuConfigImport.Caption "
    "mnuScheduleConfigExport.Caption mnuFirmwareUpdate.Caption mnuExit.Caption mnuOptions.Caption "
    "mnuModeManual.Caption mnuModeAuto.Caption mnuModeGeo.Caption mnuModeRGBDemo.Caption "
    "mnuModeFlash.Caption mnuAllOff.Caption mnuAll20.Caption mnuAllOn.Caption mnuSetTimeDate.Caption "
    "mnuStepBig.Caption mnuShowExpert.Caption mnuRefresh.Caption mnuSaveEEPROM.Caption "
    "mnuIRLearn.Caption mnuLoadReef.Caption mnuHealth.Caption mnuDebug.Caption mnuHelp.Caption "
    "mnuHardware.Caption mnuSoftware.Caption mnuFAQ.Caption mnuCopyCol.Caption mnuPasteCol.Caption "
    "mnuSwapCol.Caption edtBalanceSum.Caption gbxCloudTemp.Caption edtBalanceSumRamp.Caption "
    "edtBalanceSumRamp.Hint edtChartScale.Caption edtChartScale.Hint";

QStringList split(const char* list) {
    return QString::fromLatin1(list).split(u' ', Qt::SkipEmptyParts);
}

QString formText(int language, const QString& name) {
    for (const FormText& t : FormTexts(language))
        if (t.name == name) return t.text;
    return QStringLiteral("<missing %1>").arg(name);
}

} // namespace

class TestTexts : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        SetUiLanguageSource({});
        LoadLanguage(LanguageChoice::English);
    }

    void tablesHaveTheExpectedKeysInOrder_data() {
        QTest::addColumn<int>("language");
        QTest::newRow("English") << kEnglish;
        QTest::newRow("German") << kGerman;
    }
    void tablesHaveTheExpectedKeysInOrder() {
        QFETCH(int, language);
        const TextTable& t = BuiltinTable(language);
        QCOMPARE(t.sections(),
                 (QStringList{QStringLiteral("Messages"), QStringLiteral("frmQuenda"), QStringLiteral("Quenda")}));
        const QStringList messages = t.keys(QLatin1String(kMessagesSection));
        const QStringList form = t.keys(QLatin1String(kFormSection));
        QCOMPARE(messages.size(), 134); // with the seven texts of the backup around a firmware update
        QCOMPARE(form.size(), 158);
        QCOMPARE(messages, split(kMessageKeys));
        QCOMPARE(form, split(kFormKeys));
        for (const QString& section : {QStringLiteral("Messages"), QStringLiteral("frmQuenda")}) {
            QSet<QString> seen;
            for (const TextTable::Entry& e : t.entries(section)) {
                QVERIFY2(!seen.contains(e.key.toCaseFolded()), qPrintable(e.key));
                seen.insert(e.key.toCaseFolded());
                QVERIFY2(!e.text.trimmed().isEmpty(), qPrintable(e.key));
            }
        }
    }

    void bothLanguagesAgree() {
        const TextTable& en = BuiltinTable(kEnglish);
        const TextTable& de = BuiltinTable(kGerman);
        for (const QString& section :
             {QStringLiteral("Messages"), QStringLiteral("frmQuenda"), QStringLiteral("Quenda")}) {
            QCOMPARE(de.keys(section), en.keys(section));
            for (const QString& key : en.keys(section)) {
                const QString e = *en.value(section, key);
                const QString d = *de.value(section, key);
                // A German text with another number of arguments would be left unformatted.
                QVERIFY2(e.count(QLatin1String("%s")) == d.count(QLatin1String("%s")), qPrintable(key));
                QVERIFY2(e.count(u'&') == d.count(u'&'), qPrintable(key));
            }
        }
    }

    void quotedRows_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const QString m = QStringLiteral("Messages");
        const QString f = QStringLiteral("frmQuenda");
        // Rows of one language, named by its tag and the key.
        auto rowsOf = [](int language, const char* tag) {
            return [language, tag](const char* key, const QString& text, const QString& section) {
                QTest::addRow("%s %s", tag, key) << language << section << QString::fromLatin1(key) << text;
            };
        };
        const auto de = rowsOf(kGerman, "de");
        const auto en = rowsOf(kEnglish, "en");
        de("LetterCloud", QStringLiteral("W"), m);
        de("LetterStorm", QStringLiteral("G"), m);
        de("LetterCooler", QStringLiteral("K"), m);
        de("LetterHeater", QStringLiteral("H"), m);
        de("LetterTimer", QStringLiteral("T"), m);
        de("Altitude", QString::fromUtf16(u"H\u00f6he"), m);
        de("ON", QStringLiteral("EIN"), m);
        de("OFF", QStringLiteral("AUS"), m);
        de("Timer", QStringLiteral("JMP-Pin"), m);
        de("QuendaConfig", QStringLiteral("%s - Konfiguration"), m);
        de("DeviceDetected", QString::fromUtf16(u"Ger\u00e4t %s erkannt:"), m);
        de("ConnectedToBootloaderOn", QStringLiteral("Verbunden mit %s - Bootloader an %s"), m);
        de("English", QStringLiteral("Englisch"), m);
        de("German", QStringLiteral("Deutsch"), m);
        de("ColorWhite", QString::fromUtf16(u"Reinwei\u00df"), m);
        de("ColorPurple", QStringLiteral("Pink"), m);
        de("ColorDeepRed", QStringLiteral("Tiefrot"), m);
        de("lblName0.Caption", QStringLiteral("Beschriftung Kanal %s"), f);
        de("tsChannels.Caption", QString::fromUtf16(u"Kan\u00e4le %s"), f);
        en("SystemSuspending", QStringLiteral("System is  standby"), m);
        en("InstallingDevice", QStringLiteral("Adding \"%s\" to the system..."), m);
        en("ColorDeepRed", QStringLiteral("Deep red"), m);
        en("tsChannels.Caption", QStringLiteral("Channels %s"), f);
        en("lblName0.Caption", QStringLiteral("Label for channel %s"), f);
        en("btnOff0.Caption", QStringLiteral("OFF"), f);
        en("btnOn0.Caption", QStringLiteral("ON"), f);
        en("btnUpload.Caption", QStringLiteral("> Upload"), f);
        en("btnDownload.Caption", QStringLiteral("< Download"), f);
        en("mnuConnection.Caption", QStringLiteral("&Connection"), f);
        en("mnuFile.Caption", QStringLiteral("&File"), f);
        en("mnuOptions.Caption", QStringLiteral("&Options"), f);
        en("mnuHelp.Caption", QStringLiteral("&Help"), f);
        en("edtChartScale.Caption", QString::fromUtf16(u"Chart scale (\u00b0C)"), f);
        en("rbtJMPServo.Caption",
           QString::fromUtf16(
               u"Servo (see \"Schedule\", column \"JMP pin\", possible values 800 to 2200\u00b5s)"),
           f);
    }
    void quotedRows() {
        QFETCH(int, language);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QCOMPARE(BuiltinTable(language).value(section, key).value_or(QStringLiteral("<missing>")), expected);
    }

    void logIntroductionBeginsWithTheWiringWarning() {
        const QString intro = formText(kEnglish, QStringLiteral("mem.Caption"));
        QVERIFY(intro.startsWith(QLatin1String(
            "IMPORTANT: BEFORE POWERON PLEASE MAKE SURE ALL OUTPUTS ARE WIRED SEPARATELY AND")));
        QVERIFY(intro.contains(QLatin1String("\"JMP\"")));
        QVERIFY(!intro.contains(QLatin1String("\\n")));
        QVERIFY(formText(kGerman, QStringLiteral("mem.Caption")).contains(QLatin1String("\"JMP\"")));
    }

    void nonAsciiCharactersSurvive() {
        LoadLanguage(LanguageChoice::German);
        QCOMPARE(Msg(QStringLiteral("Overtemperature")), QString::fromUtf16(u"\u00dcbertemperatur"));
        QCOMPARE(Msg(QStringLiteral("ColorRoyalBlue")), QString::fromUtf16(u"K\u00f6nigsblau"));
        QCOMPARE(Msg(QStringLiteral("FirmwareTooLarge")),
                 QString::fromUtf16(u"Fehler: Datei ist %s Bytes zu gro\u00df!"));
        QVERIFY(formText(kGerman, QStringLiteral("edtChartScale.Hint"))
                    .endsWith(QString::fromUtf16(u"25,5\u00b0C.")));
        QVERIFY(formText(kGerman, QStringLiteral("rbtJMPServo.Caption"))
                    .contains(QString::fromUtf16(u"2200\u00b5s")));
        // No replacement characters from a wrong decoding anywhere.
        for (int language : {kEnglish, kGerman})
            for (const FormText& t : FormTexts(language))
                QVERIFY2(!t.text.contains(QChar(0xFFFD)), qPrintable(t.name));
    }

    void msgFmt_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("expected");
        QTest::newRow("two arguments")
            << kEnglish << "ConnectedToOn" << QStringList{"Drevanilux 2.x.5", "COM3"}
            << "Connected to Drevanilux 2.x.5 on COM3";
        QTest::newRow("German two arguments")
            << kGerman << "ConnectedToBootloaderOn" << QStringList{"Drevanilux", "COM4"}
            << "Verbunden mit Drevanilux - Bootloader an COM4";
        QTest::newRow("too few arguments")
            << kEnglish << "ConnectedToOn" << QStringList{"X"} << "Connected to %s on %s";
        QTest::newRow("surplus arguments ignored")
            << kEnglish << "ConnectedTo" << QStringList{"COM1", "COM2"} << "Connected to COM1";
        QTest::newRow("argument not expanded again")
            << kEnglish << "ConnectedToOn" << QStringList{"%s", "a\\nb"} << "Connected to %s on a\\nb";
        QTest::newRow("quotes in text") << kEnglish << "WindowsError" << QStringList{"5", "Access denied"}
                                        << "Windows error 5: \"Access denied\".";
        QTest::newRow("missing key") << kEnglish << "NoSuchKey" << QStringList{} << "NoSuchKey";
        QTest::newRow("missing key with args") << kEnglish << "NoSuchKey" << QStringList{"a"} << "NoSuchKey";
        QTest::newRow("empty key") << kEnglish << "" << QStringList{} << "";
        QTest::newRow("section name is no key") << kEnglish << "Messages" << QStringList{} << "Messages";
        QTest::newRow("form entry is no message")
            << kEnglish << "btnNow.Caption" << QStringList{} << "btnNow.Caption";
    }
    void msgFmt() {
        QFETCH(int, language);
        QFETCH(QString, key);
        QFETCH(QStringList, args);
        QFETCH(QString, expected);
        LoadLanguage(language == kGerman ? LanguageChoice::German : LanguageChoice::English);
        QCOMPARE(MsgFmt(key, args), expected);
    }

    void msgLeavesPlaceholders() {
        QCOMPARE(Msg(QStringLiteral("FlashSize")), QStringLiteral("Flash size: %s bytes"));
        QCOMPARE(MsgFmt(QStringLiteral("FlashSize"), {QStringLiteral("32768 / 30720")}),
                 QStringLiteral("Flash size: 32768 / 30720 bytes"));
    }

    void lineBreaks_data() {
        QTest::addColumn<int>("language");
        QTest::newRow("English") << kEnglish;
        QTest::newRow("German") << kGerman;
    }
    void lineBreaks() {
        QFETCH(int, language);
        LoadLanguage(language == kGerman ? LanguageChoice::German : LanguageChoice::English);
        const QString text = Msg(QStringLiteral("FlashDlgText"));
        QVERIFY(!text.contains(QLatin1String("\\n")));
        QVERIFY(!text.contains(u'\r'));
        const QStringList lines = text.split(u'\n');
        QCOMPARE(lines.size(), 8);
        QCOMPARE(lines.count(QString()), 2);
        QVERIFY(lines.last().endsWith(u'?'));
        // Line breaks are expanded before the arguments go in, and survive formatting.
        const QString pairing = MsgFmt(QStringLiteral("IRLearnDlgText"), {QStringLiteral("Drevanilux2")});
        QVERIFY(pairing.contains(QLatin1String("Drevanilux2")));
        QVERIFY(!pairing.contains(QLatin1String("%s")));
        QCOMPARE(pairing.count(u'\n'), 9);
        QCOMPARE(Msg(QStringLiteral("IRLearnDlgText")).count(u'\n'), 9); // unformatted, but expanded
    }

    void formatText_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "abc" << QStringList{} << true << "abc";
        QTest::newRow("empty") << "" << QStringList{"x"} << true << "";
        QTest::newRow("percent escape") << "100%%" << QStringList{} << true << "100%";
        QTest::newRow("upper-case s") << "<%S>" << QStringList{"x"} << true << "<x>";
        QTest::newRow("adjacent") << "%s%s" << QStringList{"a", "b"} << true << "ab";
        QTest::newRow("empty argument") << "[%s]" << QStringList{""} << true << "[]";
        QTest::newRow("lone percent at end") << "100%" << QStringList{} << false << "";
        QTest::newRow("other specifier") << "%d items" << QStringList{"1"} << false << "";
        QTest::newRow("percent before blank") << "20 % of %s" << QStringList{"x"} << false << "";
        QTest::newRow("too few") << "%s and %s" << QStringList{"a"} << false << "";
    }
    void formatText() {
        QFETCH(QString, pattern);
        QFETCH(QStringList, args);
        QFETCH(bool, ok);
        QFETCH(QString, expected);
        const std::optional<QString> out = FormatText(pattern, args);
        QCOMPARE(out.has_value(), ok);
        if (ok) QCOMPARE(*out, expected);
    }

    void lookupIgnoresCase() {
        LoadLanguage(LanguageChoice::English);
        QCOMPARE(Msg(QStringLiteral("connectedTO")), QStringLiteral("Connected to %s"));
        QCOMPARE(Msg(QStringLiteral("FLASHDLGCAPTION")), QStringLiteral("Update firmware"));
        const TextTable t = TextTable::parse(QStringLiteral("[MESSAGES]\nHello=World\n"));
        QCOMPARE(t.value(QStringLiteral("messages"), QStringLiteral("hELLO")).value_or(QString()),
                 QStringLiteral("World"));
        QVERIFY(!t.value(QStringLiteral("other"), QStringLiteral("Hello")).has_value());
    }

    void firstOfTwoEqualKeysWins() {
        const TextTable t = TextTable::parse(
            QStringLiteral("[A]\nkey=first\nKEY=second\n[b]\nkey=other\n[a]\nKey=third\nlate=4\n"));
        QCOMPARE(t.value(QStringLiteral("A"), QStringLiteral("key")).value_or(QString()),
                 QStringLiteral("first"));
        QCOMPARE(t.value(QStringLiteral("a"), QStringLiteral("late")).value_or(QString()),
                 QStringLiteral("4"));
        QCOMPARE(t.keys(QStringLiteral("a")), (QStringList{QStringLiteral("key"), QStringLiteral("KEY"),
                                                           QStringLiteral("Key"), QStringLiteral("late")}));
        QCOMPARE(t.sections(), (QStringList{QStringLiteral("A"), QStringLiteral("b")}));
    }

    void parserCopesWithOddInput() {
        const QString source = QString::fromUtf16(u"\ufeff; comment\r\n"
                                                  u"orphan=before any section\r\n"
                                                  u"[ S ]\r\n"
                                                  u"  spaced key  = value with = sign \r\n"
                                                  u"no equals sign here\r\n"
                                                  u"=no key\r\n"
                                                  u"[broken\r\n"
                                                  u"empty=\r\n");
        const TextTable t = TextTable::parse(source);
        QCOMPARE(t.sections(), QStringList{QStringLiteral("S")});
        QCOMPARE(t.value(QStringLiteral("S"), QStringLiteral("spaced key")).value_or(QString()),
                 QStringLiteral(" value with = sign "));
        QCOMPARE(t.value(QStringLiteral("S"), QStringLiteral("empty")).value_or(QStringLiteral("x")),
                 QString());
        QCOMPARE(t.keys(QStringLiteral("S")),
                 (QStringList{QStringLiteral("spaced key"), QStringLiteral("empty")}));
        QVERIFY(!t.value(QStringLiteral("S"), QStringLiteral("orphan")).has_value());

        QByteArray junk(4096, '\0');
        for (int i = 0; i < junk.size(); ++i)
            junk[i] = char((i * 131 + 7) & 0xFF);
        const TextTable garbage = TextTable::parse(QString::fromLatin1(junk));
        QVERIFY(garbage.sections().size() < 4096);
        QVERIFY(TextTable::parse(QString()).sections().isEmpty());
    }

    void languageChoice_data() {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QStringList>("uiLanguages");
        QTest::addColumn<int>("expected");
        QTest::newRow("system German") << -1 << QStringList{"de-DE", "en-US"} << kGerman;
        QTest::newRow("system German, bare") << -1 << QStringList{"de"} << kGerman;
        QTest::newRow("system Austrian") << -1 << QStringList{"de_AT"} << kGerman;
        QTest::newRow("system Swiss") << -1 << QStringList{"de-CH", "fr-CH"} << kGerman;
        QTest::newRow("system English first") << -1 << QStringList{"en-US", "de-DE"} << kEnglish;
        QTest::newRow("system French") << -1 << QStringList{"fr-FR"} << kEnglish;
        QTest::newRow("system C locale") << -1 << QStringList{"C"} << kEnglish;
        QTest::newRow("system unknown") << -1 << QStringList{} << kEnglish;
        QTest::newRow("English on German system") << 0 << QStringList{"de-DE"} << kEnglish;
        QTest::newRow("German on English system") << 1 << QStringList{"en-GB"} << kGerman;
        QTest::newRow("other choice means English") << 5 << QStringList{"de-DE"} << kEnglish;
    }
    void languageChoice() {
        QFETCH(int, choice);
        QFETCH(QStringList, uiLanguages);
        QFETCH(int, expected);
        SetUiLanguageSource([uiLanguages] { return uiLanguages; });
        QCOMPARE(LoadLanguage(static_cast<LanguageChoice>(choice)), expected);
        QCOMPARE(ActiveLanguage(), expected);
        QCOMPARE(Msg(QStringLiteral("German")),
                 expected == kGerman ? QStringLiteral("Deutsch") : QStringLiteral("German"));
    }

    void defaultSourceReportsTheSystem() {
        SetUiLanguageSource({});
        const QStringList langs = SystemUiLanguages();
        QVERIFY(!langs.isEmpty());
        QCOMPARE(LoadLanguage(LanguageChoice::System), IsGermanUiLanguage(langs) ? kGerman : kEnglish);
    }

    void channelLetters() {
        QCOMPARE(ChannelLetter(0), QStringLiteral("A"));
        QCOMPARE(ChannelLetter(5), QStringLiteral("F"));
        QCOMPARE(ChannelLetter(11), QStringLiteral("L"));
        QCOMPARE(ChannelLetter(-1), QString());
        QCOMPARE(ChannelLetter(26), QString());
        QCOMPARE(ChannelLetter(INT_MIN), QString());
    }

    void formEntryNames() {
        QString control;
        bool hint = true;
        QVERIFY(SplitFormEntryName(QStringLiteral("btnNow.Caption"), &control, &hint));
        QCOMPARE(control, QStringLiteral("btnNow"));
        QVERIFY(!hint);
        QVERIFY(SplitFormEntryName(QStringLiteral("edtLat.Hint"), &control, &hint));
        QCOMPARE(control, QStringLiteral("edtLat"));
        QVERIFY(hint);
        QVERIFY(!SplitFormEntryName(QStringLiteral("edtLat.Text"), &control, &hint));

        for (int language : {kEnglish, kGerman}) {
            const QStringList names = FormControlNames(language);
            QCOMPARE(names.first(), QStringLiteral("mem"));
            QCOMPARE(names.last(), QStringLiteral("edtChartScale"));
            QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), names.size());
            QCOMPARE(names.count(QStringLiteral("edtLat")), 1);
            for (const QString& key : split(kFormKeys)) {
                QVERIFY(SplitFormEntryName(key, &control, nullptr));
                QVERIFY2(names.contains(control), qPrintable(key));
            }
        }
    }

    void formTextsFollowTheActiveLanguage() {
        LoadLanguage(LanguageChoice::German);
        QCOMPARE(FormTexts().size(), 158);
        QCOMPARE(FormTexts().at(1).name, QStringLiteral("tsChannels.Caption"));
        QCOMPARE(FormTexts().at(1).text, QString::fromUtf16(u"Kan\u00e4le %s"));
        const QString help = formText(kGerman, QStringLiteral("memDescription.Caption"));
        QVERIFY(help.contains(u'\n'));
        QVERIFY(!help.contains(QLatin1String("\\n")));
    }
};

QTEST_GUILESS_MAIN(TestTexts)
#include "test_texts.moc"
