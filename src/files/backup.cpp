#include "files/backup.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace quenda {

QString BackupFileName(const QString& port) {
    QString name = port.section(QLatin1Char(' '), 0, 0);
    name = name.section(QLatin1Char('/'), -1);
    for (QChar& c : name)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('-') && c != QLatin1Char('_') &&
            c != QLatin1Char('.'))
            c = QLatin1Char('_');
    if (name.isEmpty()) return {};
    return QStringLiteral("Backup_") + name + QStringLiteral(".ini");
}

QString BackupsFolder(const QString& folder) { return QDir(folder).filePath(QStringLiteral("backups")); }

BackupResult WriteBackup(const DeviceState& state, const QString& folder, const QString& port, const QDateTime& when) {
    BackupResult r;
    const QString file = BackupFileName(port);
    if (file.isEmpty()) {
        r.ok = true;
        return r;
    }
    r.path = QDir(folder).filePath(file);
    static_cast<FileResult&>(r) = WriteSettingsFile(state, r.path);
    if (!r.ok) return r;

    const QString base = file.chopped(4); // without ".ini"
    const QDir dated(BackupsFolder(folder));
    if (!QDir().mkpath(dated.path())) {
        r.ok = false;
        r.error = QStringLiteral("Cannot create %1").arg(dated.absolutePath());
        return r;
    }
    r.datedPath = dated.filePath(base + when.toString(QStringLiteral("_yyyyMMdd-HHmmss")) + QStringLiteral(".ini"));
    // A copy of the file just written, so both hold the same text.
    QFile written(r.path);
    if (!written.open(QIODevice::ReadOnly)) {
        r.ok = false;
        r.error = QStringLiteral("Cannot read %1: %2").arg(r.path, written.errorString());
        return r;
    }
    static_cast<FileResult&>(r) = WriteFileAtomically(r.datedPath, written.read(kMaxSettingsFileBytes));
    if (!r.ok) return r;

    const QRegularExpression own(QStringLiteral("^") + QRegularExpression::escape(base) +
                                 QStringLiteral("_\\d{8}-\\d{6}\\.ini$"));
    QStringList copies = dated.entryList({base + QStringLiteral("_*.ini")}, QDir::Files, QDir::Name);
    copies = copies.filter(own);
    for (qsizetype i = 0; i + kDatedBackupsKept < copies.size(); ++i) QFile::remove(dated.filePath(copies[i]));
    return r;
}

} // namespace quenda
