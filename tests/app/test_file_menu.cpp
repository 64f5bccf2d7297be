// The File menu's settings-file entries and the disconnect backup, on a window whose
// link is replaced: dialogs answered by the test, files in a folder of its own.
#include "app/main_window.h"
#include "lang/texts.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace quenda;

namespace {

struct FileDialogs : Dialogs {
    QString answer;
    QStringList asked; // "open|save title|dir|filter|suffix"
    QString openFileName(QWidget*, const QString& title, const QString& dir, const QString& filter) override {
        asked << QStringList{QStringLiteral("open"), title, dir, filter}.join(QLatin1Char('|'));
        return answer;
    }
    QString saveFileName(QWidget*, const QString& title, const QString& dir, const QString& filter,
                         const QString& suffix) override {
        asked << QStringList{QStringLiteral("save"), title, dir, filter, suffix}.join(QLatin1Char('|'));
        return answer;
    }
};

struct FixedClock : Clock {
    QDateTime now() const override { return QDateTime(QDate(2026, 12, 8), QTime(9, 30, 5)); }
};

struct Rig {
    QTemporaryDir dir;
    std::shared_ptr<FileDialogs> dialogs = std::make_shared<FileDialogs>();
    std::unique_ptr<TfrmQuenda> w;
    Rig() {
        WindowOptions o;
        o.useTaskbar = false;
        o.watchSystem = false;
        o.dialogs = dialogs;
        o.clock = std::make_shared<FixedClock>();
        o.programDir = dir.path();
        o.startLink = [](const QString&, bool) {};
        w = std::make_unique<TfrmQuenda>(std::move(o));
        DeviceState& s = w->state();
        s.Info.RowCount = 4;
        s.resizeSchedule(4);
    }
    void trigger(const char* name) { w->findChild<QAction*>(QString::fromLatin1(name))->trigger(); }
    QString file(const QString& name) const { return QDir(dir.path()).filePath(name); }
    QString log() const { return w->messageLog()->toPlainText(); }
};

const char* const kEntries[] = {"mnuScheduleConfigExport", "mnuConfigImport", "mnuScheduleImport"};

} // namespace

class TestFileMenu : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Drevanilux2")).clear();
    }

    // Export and configuration import through the menu: enabling, dialogs, request bits
    // and the records that change.
    void exportAndConfigurationImport() {
        Rig r;
        for (const char* e : kEntries) QVERIFY(!r.w->findChild<QAction*>(QString::fromLatin1(e))->isEnabled());
        r.w->EnableControls(true);
        for (const char* e : kEntries) QVERIFY(r.w->findChild<QAction*>(QString::fromLatin1(e))->isEnabled());

        DeviceState& s = r.w->state();
        s.assignRequests(0);
        s.Config.Mode = 1;
        s.Expert.TempOffset = -3;
        r.dialogs->answer = r.file(QStringLiteral("saved.ini"));
        r.trigger("mnuScheduleConfigExport");
        QCOMPARE(s.requests(), rqRefreshAll);
        const QString filter = QStringLiteral("Drevanilux 2.x.5 configuration (*.ini)");
        QCOMPARE(r.dialogs->asked.last(), QStringList({QStringLiteral("save"), Msg(QStringLiteral("ExportScheduleConfig")),
                                                       r.w->programDir(), filter, QStringLiteral("ini")})
                                              .join(QLatin1Char('|')));
        QVERIFY(QFile::exists(r.dialogs->answer));

        // Cancelled dialogs change nothing.
        s.assignRequests(0);
        r.dialogs->answer.clear();
        r.trigger("mnuConfigImport");
        r.trigger("mnuScheduleImport");
        QCOMPARE(s.requests(), 0u);

        QFile f(r.file(QStringLiteral("mode.ini")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Config]\r\nMode=2\r\n");
        f.close();
        r.dialogs->answer = f.fileName();
        r.trigger("mnuConfigImport");
        QCOMPARE(r.dialogs->asked.last().section(QLatin1Char('|'), 0, 1),
                 QStringLiteral("open|") + Msg(QStringLiteral("ImportConfig")));
        QCOMPARE(s.Config.Mode, uint8_t(2));
        QCOMPARE(s.Expert.TempOffset, int8_t(-3));
        QCOMPARE(s.requests(), rqConfigImport);

        // A file that cannot be read: a log line and status naming it, nothing raised.
        s.assignRequests(0);
        r.dialogs->answer = r.file(QStringLiteral("gone.ini"));
        r.trigger("mnuConfigImport");
        QCOMPARE(s.requests(), 0u);
        QVERIFY(r.log().contains(r.dialogs->answer));
        QVERIFY(r.w->statusPanel(0)->text().contains(r.dialogs->answer));
    }

    // The schedule import marks every line and raises the upload, and waits while a
    // download is pending.
    void scheduleImport() {
        Rig r;
        r.w->EnableControls(true);
        DeviceState& s = r.w->state();
        QFile f(r.file(QStringLiteral("lines.ini")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[0]\r\nHour=7\r\n[3]\r\nSwitch=224\r\n[4]\r\nHour=9\r\n");
        f.close();
        r.dialogs->answer = f.fileName();

        s.assignRequests(rqGetSchedule);
        r.trigger("mnuScheduleImport");
        QVERIFY(r.dialogs->asked.isEmpty());
        QCOMPARE(s.Schedule[0].Hour, int8_t(0));

        s.assignRequests(0);
        r.trigger("mnuScheduleImport");
        QCOMPARE(r.dialogs->asked.size(), 1);
        QCOMPARE(s.Schedule[0].Hour, int8_t(7));
        QCOMPARE(s.Schedule[3].Switch, uint8_t(224));
        QCOMPARE(s.Schedule.size(), std::size_t(4));
        QCOMPARE(s.requests(), uint32_t(rqSetSchedule));
        for (int i = 0; i < 4; ++i) QVERIFY(s.isMarked(i));
    }

    // Stopping the link writes the backup (and its dated copy) only while connected.
    void backupOnStop() {
        Rig r;
        r.w->setPortName(QStringLiteral("/dev/ttyUSB0 (USB serial)"));
        r.w->StopLink();
        QVERIFY(!QFile::exists(r.file(QStringLiteral("Backup_ttyUSB0.ini"))));

        r.w->EnableControls(true);
        r.w->state().Config.Mode = 3;
        r.w->StopLink();
        const QString backup = r.file(QStringLiteral("Backup_ttyUSB0.ini"));
        const QString dated = QDir(r.file(QStringLiteral("backups"))).filePath(QStringLiteral("Backup_ttyUSB0_20261208-093005.ini"));
        QVERIFY(QFile::exists(backup));
        QVERIFY(QFile::exists(dated));
        QVERIFY(r.log().contains(backup));
        QVERIFY(r.log().contains(dated));
    }
};

QTEST_MAIN(TestFileMenu)
#include "test_file_menu.moc"
