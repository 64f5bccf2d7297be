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

public slots:
    void mnuScheduleConfigExportClick();
    void mnuConfigImportClick();
    void mnuScheduleImportClick();

private:
    QString fileFilter() const;
    void reportFailure(const QString& error);
    TfrmQuenda& w_;
};

} // namespace quenda
