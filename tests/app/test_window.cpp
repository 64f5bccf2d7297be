#include "app/application.h"
#include "app/connection.h"
#include "app/firmware_control.h"
#include "app/main_window.h"
#include "app/page_menu.h"
#include "app/quit_signals.h"
#include "common/chart_labels.h"
#include "lang/apply_language.h"
#include "lang/texts.h"
#include "link/port_list.h"
#include "pages/channel_names.h"
#include "pages/page.h"
#include "pages/temp_text.h"
#include "schedule/chart_page.h"

#include <quenda_version.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabBar>
#include <QTextBlock>
#include <QToolButton>
#include <csignal>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace quenda;

namespace {
struct ScriptedDialogs : Dialogs {
    int asked = 0;
    bool answer = true;
    QList<bool> answers; // taken first, one per question
    QString chosen; // what the open-file dialog returns
    QStringList fileDialog; // title, initial path and filter of its last use
    bool askYesNo(QWidget*, const QString&, const QString&) override {
        ++asked;
        return answers.isEmpty() ? answer : answers.takeFirst();
    }
    QString openFileName(QWidget*, const QString& title, const QString& dir, const QString& filter) override {
        fileDialog = {title, dir, filter};
        return chosen;
    }
    QStringList shown; // caption, text of each About box
    void about(QWidget*, const QString& caption, const QString& text) override { shown << caption << text; }
};

struct Started {
    QStringList ports;
};

std::unique_ptr<TfrmQuenda> makeWindow(QStringList args, Started* started = nullptr,
                                       std::shared_ptr<Dialogs> dialogs = nullptr, QString programDir = {}) {
    WindowOptions o;
    o.args = std::move(args);
    o.useTaskbar = false;
    o.dialogs = std::move(dialogs);
    o.programDir = std::move(programDir);
    if (started) o.startLink = [started](const QString& p, bool) { started->ports << p; };
    return std::make_unique<TfrmQuenda>(std::move(o));
}

// A window on a port list the test changes, recording the links it starts.
std::unique_ptr<TfrmQuenda> windowOnPorts(QStringList args, std::shared_ptr<QStringList> ports, Started* started) {
    WindowOptions o;
    o.args = std::move(args);
    o.useTaskbar = false;
    o.watchSystem = false;
    o.enumeratePorts = [ports] { return *ports; };
    o.startLink = [started](const QString& p, bool) { started->ports << p; };
    return std::make_unique<TfrmQuenda>(std::move(o));
}

// Names the language tables carry that no page builds.
QStringList pendingControls() {
    return QString::fromLatin1(
               "btnUpload btnDownload")
        .split(' ');
}

QAction* action(QWidget* w, const char* name) { return w->findChild<QAction*>(QString::fromLatin1(name)); }
} // namespace

class TestWindow : public QObject {
    Q_OBJECT
    std::unique_ptr<TfrmQuenda> menuWindow_;
private slots:
    void initTestCase() {
        // No remembered port from an earlier run.
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Drevanilux2")).clear();
    }
    void cleanupTestCase() { menuWindow_.reset(); }

    void startsDisconnectedOnMessages() {
        Started started;
        auto w = makeWindow({}, &started);
        QCOMPARE(w->objectName(), QStringLiteral("frmQuenda"));
        QCOMPARE(w->pages()->currentWidget()->objectName(), QStringLiteral("tsMessages"));
        QVERIFY(started.ports.isEmpty());
        QVERIFY(!w->isConnected());
        QVERIFY(!action(w.get(), "mnuModeManual")->isEnabled());
        QVERIFY(!action(w.get(), "mnuRefresh")->isEnabled());
        QVERIFY(w->windowTitle().endsWith(QStringLiteral(" \u2022 Drevanilux 2.x.5")));
        // Start-up presets.
        QCOMPARE(int(w->state().Config.Lat), 501);
        QCOMPARE(int(w->state().Config.Lon), 85);
        for (auto s : w->state().Chart.Sample) QCOMPARE(int(s), 0x7FFF);
        QVERIFY(w->state().Info.Year >= 26);
        const QString log = w->messageLog()->toPlainText();
        QVERIFY(log.contains(QStringLiteral("Drevanilux 2.x.5")));
    }

    void fifteenTabsInOrder() {
        auto w = makeWindow({});
        const QStringList names = {"tsChannels", "tsChannelsGL", "tsSchedule", "tsVisualize", "tsGeo",
                                   "tsConfig",   "tsTemp",       "tsWeather",  "tsWeatherDelay", "tsMoon",
                                   "tsExpert",   "tsBalance",    "tsJMP",      "tsRC433",     "tsMessages"};
        QCOMPARE(w->pages()->count(), 15);
        for (int i = 0; i < 15; ++i) QCOMPARE(w->pages()->widget(i)->objectName(), names[i]);
        // Expert, balance, JMP and 433 MHz start hidden; the others are shown.
        QVERIFY(!w->pages()->isTabVisible(10));
        QVERIFY(!w->pages()->isTabVisible(13));
        QVERIFY(w->pages()->isTabVisible(1));
        QVERIFY(w->pages()->isTabVisible(14));
    }

    void commandLinePortStartsLink() {
        Started started;
        auto w = makeWindow({"com3"}, &started);
        QCOMPARE(started.ports, QStringList{"COM3"});
        QCOMPARE(w->portName(), QStringLiteral("COM3"));
        QVERIFY(w->messageLog()->toPlainText().contains(QStringLiteral("Parameter: com3")));
    }

    void switchesShowTabs() {
        auto w = makeWindow({"-EXPERT", "/rc433", "-x"});
        QVERIFY(w->pages()->isTabVisible(10));
        QVERIFY(w->pages()->isTabVisible(11));
        QVERIFY(w->pages()->isTabVisible(12));
        QVERIFY(w->pages()->isTabVisible(13));
        QVERIFY(w->portName().isEmpty());
        auto d = makeWindow({"-debug"});
        QVERIFY(d->debugMessages());
    }

    void hostileArgumentsStillStart() {
        Started started;
        auto w = makeWindow({QString(70000, QChar(0x263A)), "-", "/", "--", QString()}, &started);
        QVERIFY(w->pages()->count() == 15);
        // The last port-like argument is empty: no port, no link.
        QVERIFY(started.ports.isEmpty());
        auto v = makeWindow({"--", "-"}, &started);
        QCOMPARE(started.ports, QStringList{"-"});
    }

    void rgbDemoDropsPendingRequests() {
        auto w = makeWindow({});
        w->state().raise(rqSetChannels | rqGetInfo);
        w->mnuModeRGBDemoClick();
        QCOMPARE(w->state().requests(), uint32_t(rqSetConfig));
        QCOMPARE(int(w->state().Config.Mode), 3);
        QCOMPARE(w->pages()->currentWidget()->objectName(), QStringLiteral("tsChannelsGL"));
        w->state().raise(rqSetExpert);
        w->mnuModeFlashClick();
        QCOMPARE(w->state().requests(), uint32_t(rqSetConfig));
        // Flash from "Channels G-L" stays there.
        QCOMPARE(w->pages()->currentWidget()->objectName(), QStringLiteral("tsChannelsGL"));
    }

    void modeAutoTwiceRaisesAgain() {
        auto w = makeWindow({});
        w->mnuModeAutoClick();
        QCOMPARE(w->pages()->currentWidget()->objectName(), QStringLiteral("tsSchedule"));
        w->state().clearRequests(rqSetConfig);
        w->mnuModeAutoClick();
        QCOMPARE(int(w->state().Config.Mode), 1);
        QVERIFY(w->state().isRaised(rqSetConfig));
        w->mnuModeGeoClick();
        QCOMPARE(w->pages()->currentWidget()->objectName(), QStringLiteral("tsGeo"));
        w->mnuModeManualClick();
        QCOMPARE(w->pages()->currentWidget()->objectName(), QStringLiteral("tsChannels"));
    }

    void irPairingTogglesTwice() {
        auto dlg = std::make_shared<ScriptedDialogs>();
        auto w = makeWindow({}, nullptr, dlg);
        auto& e = w->state().Expert;
        e.Up = 0x0010;
        e.Step = 0x1234;
        w->mnuIRLearnClick();
        QCOMPARE(int(e.Up), 0x1010);
        QCOMPARE(int(e.Step), 0x0234);
        QCOMPARE(int(e.Down), 0x1000);
        QVERIFY(w->state().isRaised(rqSetExpert));
        w->state().clearRequests(rqSetExpert);
        w->mnuIRLearnClick();
        QCOMPARE(int(e.Up), 0x0010);
        QCOMPARE(int(e.Step), 0x1234);
        QCOMPARE(int(e.Down), 0);
        QVERIFY(w->state().isRaised(rqSetExpert));
        QCOMPARE(dlg->asked, 2);
        dlg->answer = false;
        w->state().clearRequests(rqSetExpert);
        w->mnuIRLearnClick();
        QCOMPARE(int(e.Up), 0x0010);
        QVERIFY(!w->state().isRaised(rqSetExpert));
    }

    void optionsItems() {
        auto w = makeWindow({});
        w->mnuRefreshClick();
        QCOMPARE(w->state().requests(), uint32_t(rqRefreshAll));
        w->state().assignRequests(0);
        w->mnuSaveEEPROMClick();
        QCOMPARE(w->state().requests(), uint32_t(rqSaveEEPROM));
        w->state().assignRequests(0);
        w->mnuLoadReefClick();
        QCOMPARE(w->state().requests(), uint32_t(rqLoadReef));
        w->state().assignRequests(0);
        w->mnuHealthClick();
        QCOMPARE(w->state().requests(), uint32_t(rqGetHealth));
        QCOMPARE(w->pages()->currentWidget()->objectName(), QStringLiteral("tsConfig"));
        QVERIFY(w->pages()->isTabVisible(10));
        w->state().assignRequests(0);
        w->mnuSetTimeDateClick();
        QCOMPARE(w->state().requests(), uint32_t(rqSetTime));
        w->state().assignRequests(0);
        action(w.get(), "mnuStepBig")->trigger(); // disabled while disconnected
        QCOMPARE(w->state().Config.Flag & 1, 0);
        w->EnableControls(true);
        action(w.get(), "mnuStepBig")->trigger();
        QCOMPARE(w->state().Config.Flag & 1, 1);
        action(w.get(), "mnuStepBig")->trigger();
        QCOMPARE(w->state().Config.Flag & 1, 0);
        QVERIFY(w->state().isRaised(rqSetConfig));
        // Show Expert toggles three tabs together.
        w->mnuShowExpertClick();
        QVERIFY(!w->pages()->isTabVisible(10) && !w->pages()->isTabVisible(11) && !w->pages()->isTabVisible(12));
        w->mnuShowExpertClick();
        QVERIFY(w->pages()->isTabVisible(12));
        QCOMPARE(w->pages()->currentWidget()->objectName(), QStringLiteral("tsExpert"));
        // The chart page asks for the chart.
        w->state().assignRequests(0);
        w->ShowPage(w->page(QStringLiteral("tsTemp")));
        QVERIFY(w->state().isRaised(rqGetChart));
    }

    // A configuration that arrives while another page is in front reaches the chart
    // when its page is shown: the value labels take the new unit.
    void hiddenChartTakesTheUnitWhenShown() {
        auto w = makeWindow({});
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        DeviceState& s = w->state();
        s.Expert.ChartInterval = 10;
        for (int i = 0; i < 40; ++i)
            s.Chart.Sample[i] = 250;
        auto* page = qobject_cast<ChartPage*>(w->page(QStringLiteral("tsTemp")));
        QVERIFY(page);
        auto current = [&] { return testing::currentChartLabel(page->view()->picture()); };
        w->ShowPage(page);
        page->DrawChart();
        QVERIFY2(current().endsWith(QStringLiteral("\u00B0C")), qPrintable(current()));
        w->ShowPage(w->page(QStringLiteral("tsMessages")));
        s.Config.Flag |= Flag::Fahrenheit;
        w->ShowModeAndSettings();
        w->ShowPage(page);
        QVERIFY2(current().endsWith(QStringLiteral("\u00B0F")), qPrintable(current()));
    }

    void debugTogglesAndLogs() {
        auto w = makeWindow({});
        w->mnuDebugClick();
        QVERIFY(w->debugMessages());
        w->mnuDebugClick();
        QVERIFY(!w->debugMessages());
    }

    void menusAndShortcuts_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        QTest::newRow("manual") << "mnuModeManual" << "Ctrl+F1";
        QTest::newRow("flash") << "mnuModeFlash" << "Ctrl+F5";
        QTest::newRow("all off") << "mnuAllOff" << "Ctrl+0";
        QTest::newRow("all 20") << "mnuAll20" << "Ctrl+2";
        QTest::newRow("all on") << "mnuAllOn" << "Ctrl+1";
        QTest::newRow("time") << "mnuSetTimeDate" << "Ctrl+C";
        QTest::newRow("step") << "mnuStepBig" << "F4";
        QTest::newRow("expert") << "mnuShowExpert" << "F6";
        QTest::newRow("refresh") << "mnuRefresh" << "F5";
        QTest::newRow("eeprom") << "mnuSaveEEPROM" << "Ctrl+S";
        QTest::newRow("ir") << "mnuIRLearn" << "Ctrl+R";
        QTest::newRow("health") << "mnuHealth" << "Ctrl+Alt+Shift+X";
        QTest::newRow("debug") << "mnuDebug" << "Ctrl+Alt+D";
        QTest::newRow("discover") << "mnuDiscover" << "Ctrl+I";
        QTest::newRow("remove") << "mnuRemove" << "Ctrl+U";
        QTest::newRow("disconnect") << "mnuDisconnect" << "Ctrl+D";
        QTest::newRow("export") << "mnuScheduleConfigExport" << "Ctrl+E";
        QTest::newRow("import config") << "mnuConfigImport" << "Ctrl+K";
        QTest::newRow("import schedule") << "mnuScheduleImport" << "Ctrl+T";
        QTest::newRow("faq") << "mnuFAQ" << "F1";
        QTest::newRow("exit") << "mnuExit" << "Alt+F4";
    }
    void menusAndShortcuts() {
        QFETCH(QString, name);
        QFETCH(QString, key);
        if (!menuWindow_) menuWindow_ = makeWindow({});
        auto* a = menuWindow_->findChild<QAction*>(name);
        QVERIFY2(a, qPrintable(name));
        QCOMPARE(a->shortcut(), QKeySequence(key));
    }

    void fileMenuFirmwareFollowsLink() {
        Started started;
        auto w = makeWindow({}, &started);
        w->mnuFileClick();
        QVERIFY(!action(w.get(), "mnuFirmwareUpdate")->isEnabled());
    }

    // The update from the menu: No does nothing; Yes while connected writes the backup
    // first; after a failed backup the user decides whether to go on. The link's file dialog, the
    // status-bar progress of the transfer, and one restore offer afterwards (its Yes is
    // tried against the simulator).
    void firmwareUpdateFromTheMenu() {
        auto dialogs = std::make_shared<ScriptedDialogs>();
        QTemporaryDir dir;
        auto w = makeWindow({}, nullptr, dialogs, dir.path());
        const QString backup = dir.filePath(QStringLiteral("backup.ini"));
        QStringList calls;
        QString backupError;
        w->firmware()->setBackup(
            [&] {
                calls << QStringLiteral("backup");
                return backupError.isEmpty() ? FirmwareControl::Backup{backup, {}}
                                             : FirmwareControl::Backup{{}, backupError};
            },
            [&](const QString& path) {
                calls << QStringLiteral("restore ") + path;
                return QString();
            });
        w->EnableControls(true);
        QAction* item = action(w.get(), "mnuFirmwareUpdate");
        dialogs->answer = false;
        item->trigger();
        QVERIFY(!w->state().isRaised(rqFirmwareUpdate));
        dialogs->answer = true;
        backupError = QStringLiteral("disk full");
        dialogs->answers = {true, false}; // the update, but not without a backup
        item->trigger();
        QVERIFY(dialogs->answers.isEmpty());
        QVERIFY(!w->state().isRaised(rqFirmwareUpdate));
        QVERIFY(w->messageLog()->toPlainText().contains(QStringLiteral("could not be saved before the firmware update (disk full)")));
        dialogs->answers = {true, true}; // now without one
        item->trigger();
        QVERIFY(dialogs->answers.isEmpty());
        QVERIFY(w->state().isRaised(rqFirmwareUpdate));
        w->state().clearRequests(rqFirmwareUpdate);
        backupError.clear();
        item->trigger();
        QVERIFY(w->state().isRaised(rqFirmwareUpdate));
        QCOMPARE(calls, QStringList({"backup", "backup", "backup"}));
        QVERIFY(w->messageLog()->toPlainText().contains(backup));

        dialogs->chosen = dir.filePath(QStringLiteral("typed"));
        QCOMPARE(w->ChooseFirmwareFile(), dialogs->chosen + QStringLiteral(".qfw"));
        QCOMPARE(dialogs->fileDialog, QStringList({"Choose Drevanilux 2.x firmware file",
                                                   w->programDir() + "Drevanilux2x5.qfw",
                                                   "Drevanilux 2.x firmware (Drevanilux2x*.qfw)"}));
        QCOMPARE(w->pages()->currentWidget()->objectName(), QStringLiteral("tsMessages"));

        auto* bar = w->findChild<QProgressBar*>(QStringLiteral("pbFirmware"));
        QVERIFY(bar && bar->isHidden());
        w->SetTaskbarProgress(512, 1024);
        QVERIFY(!bar->isHidden());
        QCOMPARE(bar->value(), (bar->minimum() + bar->maximum()) / 2);
        w->EnableControls(false); // the device restarts
        w->FirmwareTransferEnded();
        QVERIFY(bar->isHidden());

        const int asked = dialogs->asked;
        dialogs->answer = false;
        w->EnableControls(true);
        QTRY_COMPARE(dialogs->asked, asked + 1);
        w->EnableControls(true);
        QTest::qWait(20);
        QCOMPARE(dialogs->asked, asked + 1); // offered once
        QCOMPARE(calls.size(), 3);           // and No keeps the file only
    }

    void unwritableProgramFolderFallsBack() {
        QTemporaryDir dir;
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        auto w = makeWindow({}, nullptr, nullptr, dir.path());
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        // Root may write anywhere; then the folder is simply used.
        if (w->programDir() != dir.path() + '/')
            QVERIFY(w->messageLog()->toPlainText().contains(QStringLiteral("backups go to")));
        QVERIFY(w->programDir().endsWith('/'));
    }

    void fileDescriptionLine() {
        QCOMPARE(TfrmQuenda::fileDescription(QStringLiteral("/no/such/file")), QString());
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("a.bin")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("12345");
        f.close();
        const QString d = TfrmQuenda::fileDescription(f.fileName());
        QVERIFY(d.startsWith(f.fileName() + ' '));
        QVERIFY(d.endsWith(QStringLiteral(" 5 Bytes")) || d.endsWith(QStringLiteral(" 5 bytes")));
    }

    void exceptionBecomesOneLogLine() {
        auto w = makeWindow({});
        auto* app = static_cast<QuendaApplication*>(QCoreApplication::instance());
        app->setExceptionSink([&w](const QString& m) { w->ApplicationEventsException(m); });
        struct Thrower : QObject {
            bool event(QEvent*) override { throw std::runtime_error("boom in handler"); }
        } thrower;
        const int before = w->messageLog()->blockCount();
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QCoreApplication::processEvents();
        QCOMPARE(w->messageLog()->blockCount(), before + 1);
        QVERIFY(w->messageLog()->toPlainText().endsWith(QStringLiteral("boom in handler")));
        app->setExceptionSink({});
    }

    void disconnectedClearsPanelsAndShowsMessages() {
        auto w = makeWindow({});
        w->EnableControls(true);
        QVERIFY(action(w.get(), "mnuModeManual")->isEnabled());
        w->statusPanel(1)->setText(QStringLiteral("12:00"));
        w->ShowPage(w->page(QStringLiteral("tsGeo")));
        w->EnableControls(false);
        QCOMPARE(w->pages()->currentWidget()->objectName(), QStringLiteral("tsMessages"));
        QVERIFY(w->statusPanel(1)->text().isEmpty());
        // Already disconnected: the page stays where the user is.
        w->ShowPage(w->page(QStringLiteral("tsGeo")));
        w->EnableControls(false);
        QCOMPARE(w->pages()->currentWidget()->objectName(), QStringLiteral("tsGeo"));
    }

    // The Help menu's About box names the build's version, in the interface language.
    void aboutShowsVersion() {
        auto dlg = std::make_shared<ScriptedDialogs>();
        auto w = makeWindow({"-german"}, nullptr, dlg);
        auto* about = action(w.get(), "mnuAbout");
        QVERIFY(about);
        auto* help = action(w.get(), "mnuHelp")->menu();
        QVERIFY(help && help->actions().contains(about));
        about->trigger();
        QCOMPARE(dlg->shown.size(), 2);
        QCOMPARE(dlg->shown[0], QStringLiteral("\u00dcber Quenda"));
        QCOMPARE(dlg->shown[1].section(QLatin1Char('\n'), 0, 0), QStringLiteral("Quenda " QUENDA_VERSION));
        QVERIFY(dlg->shown[1].contains(QStringLiteral("LED")));
    }

    void languageRelabelsAndKeepsEarlyLog() {
        auto w = makeWindow({"-german"});
        QCOMPARE(w->pages()->tabText(0), QStringLiteral("Kan\u00e4le A-F"));
        QCOMPARE(w->pages()->tabText(1), QStringLiteral("Kan\u00e4le G-L"));
        const QString log = w->messageLog()->toPlainText();
        QVERIFY(log.startsWith(QStringLiteral("WICHTIG")));
        QVERIFY(log.contains(QStringLiteral("Parameter: -german")));
        auto e = makeWindow({"-english"});
        QCOMPARE(e->pages()->tabText(1), QStringLiteral("Channels G-L"));
        QCOMPARE(action(e.get(), "mnuModeManual")->text(), QStringLiteral("Mode: Manual"));
    }

    // Every control the text table names exists, except those of pages still to come;
    // that list may only shrink.
    void textTableNamesRealControls() {
        auto w = makeWindow({});
        const QStringList notYetBuilt = pendingControls();
        QStringList missing, nowPresent;
        for (const QString& name : FormControlNames()) {
            const bool present = w->findChild<QObject*>(name) != nullptr;
            if (!present && !notYetBuilt.contains(name)) missing << name;
            if (present && notYetBuilt.contains(name)) nowPresent << name;
        }
        QVERIFY2(missing.isEmpty(), qPrintable("no such control: " + missing.join(' ')));
        QVERIFY2(nowPresent.isEmpty(), qPrintable("built now, drop from the pending list: " + nowPresent.join(' ')));
    }

    // Reconnecting never lands on a legacy on-board port, and "newest" is the port
    // that appeared last, not the last one the system lists.
    void automaticChoiceSkipsOnboardPortsAndTakesTheNewest() {
        ForgetLastPort();
        SaveLastPort(QStringLiteral("ttyUSB7 (gone)"), {});
        auto ports = std::make_shared<QStringList>(QStringList{"ttyUSB1 (b)", "ttyS0 (/dev/ttyS0)"});
        Started started;
        auto w = windowOnPorts({}, ports, &started);
        QCOMPARE(started.ports, QStringList{"ttyUSB7 (gone)"});
        w->StopLink(); // it found nothing there
        started.ports.clear();
        *ports = {"ttyS0 (/dev/ttyS0)"};
        w->memDblClick();
        QVERIFY(started.ports.isEmpty());
        QVERIFY(w->messageLog()->toPlainText().contains(Msg(QStringLiteral("NoPortToChoose"))));

        *ports = {"ttyS0 (/dev/ttyS0)", "ttyUSB1 (b)"};
        w->connection()->ListSerialPorts();
        QVERIFY(started.ports.isEmpty());
        // The system lists the new adapter first.
        *ports = {"ttyACM0 (new)", "ttyUSB1 (b)", "ttyS0 (/dev/ttyS0)"};
        w->connection()->portsArrived({"ttyACM0 (new)"});
        QCOMPARE(started.ports, QStringList{"ttyACM0 (new)"});
        // The menu lists them in the order they appeared.
        w->StopLink();
        w->connection()->ListSerialPorts();
        QCOMPARE(w->portList(), (QStringList{"ttyS0 (/dev/ttyS0)", "ttyUSB1 (b)", "ttyACM0 (new)"}));
        ForgetLastPort();
    }

    void returningPortReconnectsUnlessTheUserDisconnected() {
        ForgetLastPort();
        auto ports = std::make_shared<QStringList>(QStringList{"ttyS0 (/dev/ttyS0)", "rfcomm0 (/dev/rfcomm0)"});
        Started started;
        auto w = windowOnPorts({"rfcomm0"}, ports, &started);
        QCOMPARE(started.ports, QStringList{"rfcomm0"});
        // The adapter goes; the link gives up; another port appears, then the adapter is back.
        *ports = {"ttyS0 (/dev/ttyS0)"};
        w->StopLink();
        *ports = {"ttyS0 (/dev/ttyS0)", "ttyUSB3 (other)"};
        w->connection()->portsArrived({"ttyUSB3 (other)"});
        QCOMPARE(started.ports.last(), QStringLiteral("ttyUSB3 (other)")); // the new-port rule
        w->StopLink();
        w->setPortName(QStringLiteral("rfcomm0"));
        *ports = {"ttyS0 (/dev/ttyS0)", "ttyUSB3 (other)", "rfcomm0 (/dev/rfcomm0)"};
        w->connection()->portsArrived({"rfcomm0 (/dev/rfcomm0)"});
        QCOMPARE(started.ports.last(), QStringLiteral("rfcomm0 (/dev/rfcomm0)"));
        QVERIFY(w->messageLog()->toPlainText().contains(QStringLiteral("rfcomm0 (/dev/rfcomm0)")));

        // After Disconnect nothing starts by itself.
        const int before = int(started.ports.size());
        w->connection()->mnuDisconnectClick();
        *ports << QStringLiteral("ttyUSB4 (late)");
        w->connection()->portsArrived({"ttyUSB4 (late)"});
        QCOMPARE(int(started.ports.size()), before);
    }

    // German with every optional tab: the corner menu reaches each page, and at the
    // width the window asks for every tab fits without scrolling.
    void everyPageWithinReach() {
        auto w = makeWindow({"-german", "-expert", "-rc433"});
        auto* button = w->pages()->findChild<QToolButton*>(QStringLiteral("btnPages"));
        QVERIFY(button && button->menu());
        emit button->menu()->aboutToShow();
        const QList<QAction*> items = button->menu()->actions();
        QCOMPARE(int(items.size()), 15);
        for (int i = items.size() - 1; i >= 0; --i) {
            items[i]->trigger();
            QCOMPARE(w->pages()->tabText(w->pages()->currentIndex()), items[i]->text());
            QCOMPARE(w->pages()->currentIndex(), i);
        }
        w->resize(widthForAllTabs(*w, *w->pages()), w->height());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        const QTabBar* bar = w->pages()->tabBar();
        QVERIFY(bar->tabRect(bar->count() - 1).right() <= bar->width());
        QVERIFY(bar->tabRect(0).left() >= 0);
        w.reset();
        LoadLanguage(LanguageChoice::English);
    }

    // A disabled percent box looks disabled, whatever colour its channel has.
    void disabledPercentBoxLooksDisabled() {
        QLineEdit edit;
        SetChannelBackground(&edit, qRgb(255, 255, 255));
        const QPalette p = edit.palette();
        QCOMPARE(p.color(QPalette::Active, QPalette::Base), QColor(Qt::white));
        QVERIFY(p.color(QPalette::Disabled, QPalette::Base) != QColor(Qt::white));
        QVERIFY(p.color(QPalette::Disabled, QPalette::Text) != QColor(Qt::black));
    }

    void logIsCappedAndStatusCarriesTheNote() {
        QPlainTextEdit mem;
        QLabel panel;
        MessageLog log(&mem, &panel, 50);
        for (int i = 0; i < 120; ++i) log.AddLog(QStringLiteral("line %1").arg(i));
        QCOMPARE(mem.document()->blockCount(), 50);
        QVERIFY(mem.document()->firstBlock().text().endsWith(QStringLiteral("line 70")));
        log.setStatusNote(QStringLiteral("demo"));
        log.SetStatus(QStringLiteral("Connected"));
        QVERIFY(panel.text().startsWith(QStringLiteral("Connected")));
        QVERIFY(panel.text().endsWith(QStringLiteral("demo")));
        QVERIFY(mem.document()->lastBlock().text().endsWith(QStringLiteral("] Connected")));
    }

    // A signal only wakes the event loop; the close runs there.
    void terminationSignalRequestsAnOrderlyClose() {
        QuitSignals quit;
        QVERIFY(quit.active());
        QSignalSpy spy(&quit, &QuitSignals::quitRequested);
        std::raise(SIGTERM);
        QVERIFY(spy.wait(2000));
        QCOMPARE(spy.first().first().toInt(), int(SIGTERM));
    }

    void clientSize() {
        auto w = makeWindow({});
        QCOMPARE(w->centralWidget()->width() > 0, true);
        QVERIFY(w->width() >= TfrmQuenda::kClientWidth);
    }
};

int main(int argc, char** argv) {
    QuendaApplication app(argc, argv);
    TestWindow t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_window.moc"
