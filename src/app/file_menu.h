// The File menu's settings-file entries (export, the two imports) and the backup
// written whenever a connected link is stopped or moved to another port.
// Window's thread only.
#pragma once

#include <QObject>
#include <QString>

namespace quenda {

class TfrmQuenda;

class FileMenu : public QObject {
    Q_OBJECT
public:
    explicit FileMenu(TfrmQuenda& window);

    // The backup of the port's settings, while connected; logs the path or the failure.
    void WriteBackup(const QString& port);

    // The settings before a firmware update: the path of the dated copy, which later
    // backups of the port do not overwrite, or the reason it failed. Logs nothing.
    struct UpdateBackup {
        QString path;
        QString error;
    };
    UpdateBackup WriteUpdateBackup(const QString& port);
    // A settings file into the records and the schedule lines held now, shown, and
    // raised for upload; an error text, empty on success.
    QString RestoreBackup(const QString& path);

public slots:
    void mnuScheduleConfigExportClick();
    void mnuConfigImportClick();
    void mnuScheduleImportClick();

private:
    QString fileFilter() const;
    void reportFailure(const QString& error);
    void configurationImported();
    void scheduleImported();
    TfrmQuenda& w_;
};

} // namespace quenda
