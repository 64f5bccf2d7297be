#include "app/file_menu.h"

#include "app/main_window.h"
#include "files/backup.h"
#include "files/settings_file.h"
#include "lang/texts.h"

#include <QAction>
#include <QWidget>

namespace quenda {

FileMenu::FileMenu(TfrmQuenda& window) : QObject(&window), w_(window) {
    const std::pair<const char*, void (FileMenu::*)()> entries[] = {
        {"mnuScheduleConfigExport", &FileMenu::mnuScheduleConfigExportClick},
        {"mnuConfigImport", &FileMenu::mnuConfigImportClick},
        {"mnuScheduleImport", &FileMenu::mnuScheduleImportClick},
    };
    for (const auto& [name, slot] : entries)
        if (auto* a = w_.findChild<QAction*>(QString::fromLatin1(name))) connect(a, &QAction::triggered, this, slot);
}

QString FileMenu::fileFilter() const {
    return MsgFmt(QStringLiteral("QuendaConfig"), {QString::fromLatin1(kAppTitle)}) +
           QStringLiteral(" (*.ini)");
}

void FileMenu::reportFailure(const QString& error) {
    w_.AddLog(error);
    w_.SetStatus(error);
}

void FileMenu::mnuScheduleConfigExportClick() {
    // The link re-reads the device while the dialog is open.
    w_.state().raise(rqRefreshAll);
    const QString path = w_.dialogs().saveFileName(&w_, Msg(QStringLiteral("ExportScheduleConfig")), w_.programDir(),
                                                   fileFilter(), QStringLiteral("ini"));
    if (path.isEmpty()) return;
    const FileResult r = WriteSettingsFile(w_.state(), path);
    if (!r.ok) return reportFailure(r.error);
    w_.AddLog(QStringLiteral("Schedule and configuration written to ") + path);
}

void FileMenu::mnuConfigImportClick() {
    const QString path = w_.dialogs().openFileName(&w_, Msg(QStringLiteral("ImportConfig")), w_.programDir(), fileFilter());
    if (path.isEmpty()) return;
    const FileResult r = ImportConfiguration(w_.state(), path);
    if (!r.ok) return reportFailure(r.error);
    configurationImported();
}

void FileMenu::configurationImported() {
    w_.ShowDeviceInfo();
    w_.ShowModeAndSettings();
    w_.ShowExpertSettings();
    w_.ShowWeatherSettings();
    if (auto* grid = w_.findChild<QWidget*>(QStringLiteral("sgSchedule"))) grid->update();
    w_.state().raise(rqConfigImport);
}

void FileMenu::mnuScheduleImportClick() {
    if (w_.state().isRaised(rqGetSchedule)) return; // a download would overwrite the lines
    const QString path =
        w_.dialogs().openFileName(&w_, Msg(QStringLiteral("ImportSchedule")), w_.programDir(), fileFilter());
    if (path.isEmpty()) return;
    const FileResult r = ImportSchedule(w_.state(), path);
    if (!r.ok) return reportFailure(r.error);
    scheduleImported();
}

void FileMenu::scheduleImported() {
    w_.ShowSchedule();
    // Lines not read from the device are not sent.
    w_.state().markRowsForUpload(0, int(w_.state().Info.RowCount) - 1);
}

void FileMenu::WriteBackup(const QString& port) {
    if (!w_.isConnected()) return;
    const BackupResult r = quenda::WriteBackup(w_.state(), w_.programDir(), port, w_.clock().now());
    if (!r.ok) return reportFailure(r.error);
    if (!r.path.isEmpty()) w_.AddLog(QStringLiteral("Backup written: ") + r.path + QStringLiteral(", ") + r.datedPath);
}

FileMenu::UpdateBackup FileMenu::WriteUpdateBackup(const QString& port) {
    const BackupResult r = quenda::WriteBackup(w_.state(), w_.programDir(), port, w_.clock().now());
    if (!r.ok) return {{}, r.error};
    if (r.datedPath.isEmpty()) return {{}, QStringLiteral("no file name for port \"%1\"").arg(port)};
    return {r.datedPath, {}};
}

QString FileMenu::RestoreBackup(const QString& path) {
    if (w_.state().isRaised(rqGetSchedule)) return QStringLiteral("the schedule is still being read");
    const FileResult config = ImportConfiguration(w_.state(), path);
    if (!config.ok) return config.error;
    configurationImported();
    const FileResult schedule = ImportSchedule(w_.state(), path);
    if (!schedule.ok) return schedule.error;
    scheduleImported();
    return {};
}

} // namespace quenda
