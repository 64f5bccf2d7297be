// The firmware update as the window sees it: the menu item and its warning, the file
// dialog the link asks for, the transfer's progress in the status bar, and the
// settings backup written before an update with the offer to upload it afterwards.
// Window's thread only.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

class QProgressBar;
class QTimer;

namespace quenda {

class TfrmQuenda;

class FirmwareControl : public QObject {
    Q_OBJECT
public:
    // Writes a backup of the device's settings: its path, or the reason it failed.
    struct Backup {
        QString path;
        QString error;
    };
    using BackupWriter = std::function<Backup()>;
    // Loads a backup into the device-state block and raises its uploads; an error
    // text, empty on success.
    using BackupRestorer = std::function<QString(const QString& path)>;
    // Whether the device's settings, as read after the update, differ from the backup.
    using BackupCheck = std::function<bool(const QString& path)>;

    explicit FirmwareControl(TfrmQuenda& window);

    // Without a writer no backup is made before an update. Without a check every
    // return from a transfer counts as a reset.
    void setBackup(BackupWriter write, BackupRestorer restore, BackupCheck differs = {});

    // The link's file dialog: the chosen path, empty when cancelled.
    QString ChooseFirmwareFile();
    void SetProgress(uint64_t done, uint64_t total);
    void TransferEnded();
    // The application answers again (the window's controls were enabled).
    void Connected();

    QProgressBar* progressBar() const { return bar_; }

public slots:
    void mnuFirmwareUpdateClick();

private:
    // Polled after the return from a transfer until the device's settings are read.
    void checkRestore();
    void offerRestore(const QString& path);

    TfrmQuenda& w_;
    QProgressBar* bar_ = nullptr;
    BackupWriter write_;
    BackupRestorer restore_;
    BackupCheck differs_;
    QString backupPath_;       // written before the update now under way
    QString backupPort_;       // of the device it was read from
    bool transferred_ = false; // a transfer ran since that backup
    QTimer* restoreCheck_ = nullptr;
};

} // namespace quenda
