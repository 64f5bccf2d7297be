// The window against the simulated device on a real pseudo-terminal.
#include "app/application.h"
#include "app/connection.h"
#include "app/firmware_control.h"
#include "common/firmware_file.h"
#include "app/main_window.h"
#include "lang/texts.h"
#include "link/link_thread.h"
#include "sim/simulator.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <functional>

using namespace quenda;

namespace {
std::unique_ptr<TfrmQuenda> windowOn(const QString& port) {
    WindowOptions o;
    o.args = {port};
    o.useTaskbar = false;
    o.watchSystem = false;
    o.enumeratePorts = [port] { return QStringList{port + QStringLiteral(" (simulator)")}; };
    return std::make_unique<TfrmQuenda>(std::move(o));
}
QSettings remembered() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Drevanilux2"));
}
QAction* action(QWidget* w, const char* name) { return w->findChild<QAction*>(QString::fromLatin1(name)); }

// Only the console's on-board port, as on a machine with nothing plugged in.
std::unique_ptr<TfrmQuenda> windowWithoutHardware(std::shared_ptr<Dialogs> dialogs = nullptr) {
    WindowOptions o;
    o.useTaskbar = false;
    o.watchSystem = false;
    o.demoWhenIdle = true;
    o.dialogs = std::move(dialogs);
    o.enumeratePorts = [] { return QStringList{QStringLiteral("ttyS0 (/dev/ttyS0)")}; };
    return std::make_unique<TfrmQuenda>(std::move(o));
}

struct TypedAnswer : Dialogs {
    QString answer;
    QStringList offered;
    QString askText(QWidget*, const QString&, const QString&, const QStringList& o) override {
        offered = o;
        return answer;
    }
};
} // namespace

class TestWindowLink : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        remembered().clear();
    }

    void connectsReadsAndDisconnects() {
        sim::Simulator device;
        QString err;
        QVERIFY2(device.start(&err), qPrintable(err));
        auto w = windowOn(device.portPath());
        w->show();
        QTRY_VERIFY_WITH_TIMEOUT(w->isConnected(), 20000);
        // The weather record ends the first reads and leaves the Messages page.
        QTRY_VERIFY_WITH_TIMEOUT(w->pages()->currentWidget()->objectName() != QLatin1String("tsMessages"), 10000);
        QVERIFY(action(w.get(), "mnuModeManual")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!w->statusPanel(1)->text().isEmpty(), 5000);
        QVERIFY(!w->statusPanel(2)->text().isEmpty());
        // The caption now carries the connection status, not just the program's name.
        QVERIFY(w->windowTitle() != QString::fromLatin1(kVendorLabel) + QStringLiteral(" \u2022 ") +
                                        QString::fromLatin1(kAppTitle));
        QCOMPARE(int(w->state().Schedule.size()), int(device.device().records().schedule.size()));
        QVERIFY(remembered().value(QStringLiteral("Port")).toString().startsWith(device.portPath()));

        // A double click into the log while connected does nothing.
        const auto* linkBefore = w->link();
        w->memDblClick();
        QCOMPARE(w->link(), linkBefore);

        // A change reaches the device.
        w->state().Config.TimeLapse = 1;
        w->state().Config.FanLow = 77;
        w->state().raise(rqSetConfig);
        QTRY_COMPARE_WITH_TIMEOUT(int(device.device().records().config.FanLow), 77, 5000);

        // Disconnect from the menu: the link ends, the controls go off, the port is forgotten.
        w->connection()->mnuConnectionClick();
        QVERIFY(action(w.get(), "mnuDisconnect")->isEnabled());
        action(w.get(), "mnuDisconnect")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!w->linkRunning(), 8000);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isConnected(), 2000);
        QCOMPARE(w->pages()->currentWidget()->objectName(), QStringLiteral("tsMessages"));
        QVERIFY(!remembered().contains(QStringLiteral("Port")));
        QVERIFY(w->messageLog()->toPlainText().contains(QStringLiteral("Disconnected from")));
        device.stop();
    }

    // An update confirmed while the application runs: the backup is written before the
    // bootloader starts, the image goes out, the device returns with its defaults, and
    // the restore offered then uploads the backup (or, declined, leaves device and file).
    // A backup that cannot be written asks whether to go on.
    void firmwareUpdateWithBackupAndRestore_data() {
        QTest::addColumn<bool>("backupFails");
        QTest::addColumn<bool>("restore");
        QTest::newRow("restored") << false << true;
        QTest::newRow("declined") << false << false;
        QTest::newRow("no backup, stopped") << true << false;
    }
    void firmwareUpdateWithBackupAndRestore() {
        QFETCH(bool, backupFails);
        QFETCH(bool, restore);
        struct Answers : Dialogs {
            QString file;
            QStringList asked;
            bool restore = false;
            std::function<void()> onFileDialog;
            bool askYesNo(QWidget*, const QString& caption, const QString& text) override {
                asked << text;
                if (caption == Msg(QStringLiteral("RestoreDlgCaption"))) return restore;
                return text == Msg(QStringLiteral("FlashDlgText")); // not without a backup
            }
            QString openFileName(QWidget*, const QString&, const QString&, const QString&) override {
                if (onFileDialog) std::exchange(onFileDialog, nullptr)();
                return std::exchange(file, QString()); // then cancelled
            }
        };
        auto answers = std::make_shared<Answers>();
        answers->restore = restore;
        QTemporaryDir dir;
        answers->file = dir.filePath(QStringLiteral("fw.qfw"));
        QVERIFY(testing::writeFile(answers->file, testing::firmwareFile(0, 0x7FF)));
        if (backupFails) QVERIFY(testing::writeFile(dir.filePath(QStringLiteral("backups")), "not a folder"));
        sim::Simulator device;
        QVERIFY(device.start());
        const sim::Records defaults = device.device().records();
        WindowOptions o;
        o.args = {device.portPath()};
        o.useTaskbar = false;
        o.watchSystem = false;
        o.dialogs = answers;
        o.programDir = dir.path();
        TfrmQuenda w(std::move(o));
        w.show();
        QTRY_VERIFY_WITH_TIMEOUT(w.isConnected() && !w.state().isRaised(rqGetSchedule) && w.state().allRead(), 20000);
        // Settings of the user's own, on the device.
        w.state().Config.FanLow = uint8_t(defaults.config.FanLow + 7);
        w.state().Schedule[2].Color16[5] = int16_t(defaults.schedule[2].Color16[5] + 1000);
        w.state().raise(rqSetConfig);
        w.state().markRowsForUpload(2, 2);
        QTRY_VERIFY_WITH_TIMEOUT(device.device().records().config.FanLow == w.state().Config.FanLow &&
                                     device.device().records().schedule[2].Color16[5] ==
                                         w.state().Schedule[2].Color16[5],
                                 5000);
        const sim::Records own = device.device().records();

        QStringList backupsAtDialog;
        bool bootloaderAtDialog = false;
        answers->onFileDialog = [&] {
            bootloaderAtDialog = device.device().inBootloader();
            backupsAtDialog = QDir(dir.filePath(QStringLiteral("backups"))).entryList(QDir::Files);
        };
        action(&w, "mnuFirmwareUpdate")->trigger();
        const QString log = w.messageLog()->toPlainText();
        if (backupFails) {
            // Asked whether to go on without a backup; No leaves the device alone.
            QCOMPARE(answers->asked.size(), 2);
            QVERIFY(log.contains(MsgFmt(QStringLiteral("BackupFailed"), {QString()}).section(QLatin1Char('('), 0, 0)));
            QVERIFY(!w.state().isRaised(rqFirmwareUpdate));
            QTest::qWait(1500);
            QCOMPARE(device.device().resets(), 0);
            QVERIFY(!device.device().inBootloader());
            return;
        }
        QCOMPARE(answers->asked.size(), 1);
        // The backup is there before the bootloader is asked for.
        const QStringList backups = QDir(dir.filePath(QStringLiteral("backups"))).entryList(QDir::Files);
        QCOMPARE(backups.size(), 1);
        const QString backup = dir.filePath(QStringLiteral("backups/") + backups[0]);
        QVERIFY(log.contains(MsgFmt(QStringLiteral("BackupBeforeUpdate"), {backup})));
        QVERIFY(w.state().isRaised(rqFirmwareUpdate));

        QTRY_VERIFY_WITH_TIMEOUT(device.device().resets() == 1, 30000);
        QVERIFY(bootloaderAtDialog);
        QCOMPARE(backupsAtDialog, backups);
        QCOMPARE(device.device().blocksWritten(), 32);
        QTRY_VERIFY_WITH_TIMEOUT(w.messageLog()->toPlainText().contains(QStringLiteral("Firmware successfully updated")), 5000);
        QVERIFY(w.firmware()->progressBar()->isHidden());
        // Back with its defaults, read in full: now the offer.
        QCOMPARE(int(device.device().records().config.FanLow), int(defaults.config.FanLow));
        QTRY_COMPARE_WITH_TIMEOUT(answers->asked.size(), 2, 20000);
        QVERIFY(answers->asked[1].contains(backup));
        const auto same = [](const auto& a, const auto& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
        const auto holdsOwn = [&] {
            const sim::Records now = device.device().records();
            return same(now.config, own.config) && same(now.expert, own.expert) &&
                   same(now.weather, own.weather) && now.schedule.size() == own.schedule.size() &&
                   std::equal(now.schedule.begin(), now.schedule.end(), own.schedule.begin(),
                              [&](const TScheduleRow& a, const TScheduleRow& b) { return same(a, b); });
        };
        if (restore) {
            QTRY_VERIFY_WITH_TIMEOUT(holdsOwn(), 20000);
        } else {
            QTest::qWait(1500); // a poll or two: nothing goes out
            QCOMPARE(int(device.device().records().config.FanLow), int(defaults.config.FanLow));
            QCOMPARE(device.device().records().schedule[2].Color16[5], defaults.schedule[2].Color16[5]);
            QVERIFY(QFileInfo::exists(backup));
        }
        QCOMPARE(answers->asked.size(), 2); // offered once
    }

    void connectFromMenuAndCloseWhileReading() {
        sim::Simulator device;
        QVERIFY(device.start());
        WindowOptions o;
        o.useTaskbar = false;
        o.watchSystem = false;
        const QString port = device.portPath();
        o.enumeratePorts = [port] { return QStringList{port + QStringLiteral(" (simulator)")}; };
        auto w = std::make_unique<TfrmQuenda>(std::move(o));
        w->connection()->mnuConnectionClick();
        auto* menu = w->findChild<QMenu*>(QStringLiteral("mnuConnectMenu"));
        QVERIFY(menu);
        QCOMPARE(menu->actions()[0]->text(), port + QStringLiteral(" (simulator)"));
        QVERIFY(!menu->actions()[0]->isChecked());
        menu->actions()[0]->trigger();
        QVERIFY(w->linkRunning());
        QTRY_VERIFY_WITH_TIMEOUT(w->isConnected(), 20000);
        w->connection()->mnuConnectionClick();
        QVERIFY(menu->actions()[0]->isChecked());
        auto* link = w->link();
        menu->actions()[0]->trigger();
        QCOMPARE(w->link(), link);
        // Ask for the schedule again and close at once: the window must go without a hang.
        w->state().raise(rqGetSchedule);
        QElapsedTimer t;
        t.start();
        w->close();
        w.reset();
        QVERIFY(t.elapsed() < 2000);
        QVERIFY(TthdCom::WaitForThreads(7000));
        device.stop();
    }

    // Nothing attached and nothing remembered: the demo device, which is remembered,
    // comes back after a restart, and can be chosen again after Disconnect.
    void demoDeviceFirstRun() {
        remembered().clear();
        auto w = windowWithoutHardware();
        w->show();
        QVERIFY(w->messageLog()->toPlainText().contains(Msg(QStringLiteral("NoHardwareStartingDemo"))));
        QTRY_VERIFY_WITH_TIMEOUT(w->isConnected(), 20000);
        const QString demo = Msg(QStringLiteral("DemoDevice"));
        QTRY_VERIFY2_WITH_TIMEOUT(w->windowTitle().contains(demo), qPrintable(w->windowTitle()), 20000);
        QVERIFY(w->statusPanel(0)->text().contains(demo));
        QTRY_COMPARE_WITH_TIMEOUT(remembered().value(QStringLiteral("Port")).toString(), QStringLiteral("-demo"), 10000);

        // A restart with a port plugged in meanwhile still returns to the remembered demo device.
        QElapsedTimer t;
        t.start();
        w.reset();
        QVERIFY(t.elapsed() < 2000); // the simulator stops with the window
        WindowOptions o;
        o.useTaskbar = false;
        o.watchSystem = false;
        o.enumeratePorts = [] { return QStringList{QStringLiteral("ttyUSB0 (adapter)")}; };
        w = std::make_unique<TfrmQuenda>(std::move(o));
        QVERIFY(w->connection()->demoActive());
        QTRY_VERIFY_WITH_TIMEOUT(w->isConnected(), 20000);

        action(w.get(), "mnuDisconnect")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!w->linkRunning(), 8000);
        QVERIFY(!w->isConnected());
        w->connection()->mnuConnectionClick();
        QVERIFY(!action(w.get(), "mnuDemoDevice")->isChecked());
        action(w.get(), "mnuDemoDevice")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->isConnected(), 20000);
        w.reset();
        QVERIFY(TthdCom::WaitForThreads(7000));
    }

    // "Other port..." connects to a typed terminal path and offers it again next time.
    void typedPortConnects() {
        remembered().clear();
        sim::Simulator device;
        QVERIFY(device.start());
        auto dialogs = std::make_shared<TypedAnswer>();
        dialogs->answer = QStringLiteral("  ") + device.portPath() + QStringLiteral(" ");
        WindowOptions o;
        o.useTaskbar = false;
        o.watchSystem = false;
        o.dialogs = dialogs;
        o.enumeratePorts = [] { return QStringList{}; };
        auto w = std::make_unique<TfrmQuenda>(std::move(o));
        QVERIFY(!w->linkRunning());
        w->connection()->mnuConnectionClick();
        auto* other = action(w.get(), "mnuOtherPort");
        QVERIFY(other && other->isEnabled());
        other->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(w->isConnected(), 20000);
        QCOMPARE(w->portName(), device.portPath());
        QCOMPARE(ConnectionControl::typedPorts().value(0), device.portPath());
        w->connection()->mnuConnectionClick();
        action(w.get(), "mnuOtherPort")->trigger();
        QCOMPARE(dialogs->offered.value(0), device.portPath());
        w.reset();
        QVERIFY(TthdCom::WaitForThreads(7000));
        device.stop();
    }

    void silentDeviceDisconnectedControls() {
        sim::SimConfig cfg;
        cfg.server.faults.silent = true;
        sim::Simulator device(cfg);
        QVERIFY(device.start());
        auto w = windowOn(device.portPath());
        QTRY_VERIFY_WITH_TIMEOUT(w->statusPanel(0)->text().contains(QStringLiteral("Connected to")), 5000);
        QVERIFY(!w->isConnected());
        QVERIFY(!action(w.get(), "mnuRefresh")->isEnabled());
        QElapsedTimer t;
        t.start();
        w.reset(); // bounded wait at destruction, even with a read in progress
        QVERIFY(t.elapsed() < 1500);
        QVERIFY(TthdCom::WaitForThreads(7000));
        device.stop();
    }
};

int main(int argc, char** argv) {
    QuendaApplication app(argc, argv);
    TestWindowLink t;
    return QTest::qExec(&t, argc, argv);
}
#include "test_window_link.moc"
