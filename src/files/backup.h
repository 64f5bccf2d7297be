// Automatic backups of the settings: "Backup_<port>.ini", brought up to date in place,
// and dated copies of it in a "backups" folder beside it, the newest ten kept per port.
#pragma once

#include "files/settings_file.h"

#include <QDateTime>
#include <QString>

namespace quenda {

inline constexpr int kDatedBackupsKept = 10;

// "Backup_<name>.ini" for a port name or entry: cut before its first space, reduced to
// its base name (a device path), characters unsafe in a file name replaced by '_'.
// Empty when no name is left.
QString BackupFileName(const QString& port);

// The folder of the dated copies for backups kept in `folder`.
QString BackupsFolder(const QString& folder);

struct BackupResult : FileResult {
    QString path;      // the backup written; empty when the port gives no name
    QString datedPath; // its dated copy
};

// Writes the backup for `port` into `folder`, then its dated copy stamped `when`, and
// removes the oldest dated copies of that port beyond kDatedBackupsKept. A port that
// gives no name writes nothing and succeeds.
BackupResult WriteBackup(const DeviceState& state, const QString& folder, const QString& port, const QDateTime& when);

} // namespace quenda
