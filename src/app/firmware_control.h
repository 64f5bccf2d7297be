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

    explicit FirmwareControl(TfrmQuenda& window);

    // Without a writer no backup is made before an update.
    void setBackup(BackupWriter write, BackupRestorer restore);

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
    void offerRestore();

    TfrmQuenda& w_;
    QProgressBar* bar_ = nullptr;
    BackupWriter write_;
    BackupRestorer restore_;
    QString backupPath_;       // written before the update now under way
    bool transferred_ = false; // a transfer ran since that backup
};

} // namespace quenda
