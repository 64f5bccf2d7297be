#include "app/firmware_control.h"

#include "app/main_window.h"
#include "lang/texts.h"
#include "pages/page.h"

#include <QAction>
#include <QFileInfo>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>
#include <utility>

namespace quenda {

namespace {
const QString kFamily = QStringLiteral("Drevanilux 2.x");
const QString kFilePrefix = QStringLiteral("Drevanilux2x");
const QString kExtension = QStringLiteral(".qfw");
constexpr int kBarSteps = 1000;
constexpr int kRestoreCheckMs = 100;
} // namespace

FirmwareControl::FirmwareControl(TfrmQuenda& window) : QObject(&window), w_(window) {
    bar_ = new QProgressBar(w_.statusBar());
    bar_->setObjectName(QStringLiteral("pbFirmware"));
    bar_->setRange(0, kBarSteps);
    bar_->setMaximumWidth(200);
    w_.statusBar()->addPermanentWidget(bar_);
    bar_->hide();
    restoreCheck_ = new QTimer(this);
    restoreCheck_->setInterval(kRestoreCheckMs);
    connect(restoreCheck_, &QTimer::timeout, this, &FirmwareControl::checkRestore);
    if (auto* a = w_.findChild<QAction*>(QStringLiteral("mnuFirmwareUpdate")))
        connect(a, &QAction::triggered, this, &FirmwareControl::mnuFirmwareUpdateClick);
}

void FirmwareControl::setBackup(BackupWriter write, BackupRestorer restore, BackupCheck differs) {
    write_ = std::move(write);
    restore_ = std::move(restore);
    differs_ = std::move(differs);
}

void FirmwareControl::mnuFirmwareUpdateClick() {
    if (!w_.dialogs().askYesNo(&w_, Msg(QStringLiteral("FlashDlgCaption")), Msg(QStringLiteral("FlashDlgText"))))
        return;
    // The update resets every setting: keep them first while the application can be read.
    if (write_ && w_.isConnected()) {
        const Backup b = write_();
        if (b.path.isEmpty()) {
            w_.AddLog(MsgFmt(QStringLiteral("BackupFailed"), {b.error}));
            // The user may still want the new firmware, knowing the settings are lost.
            if (!w_.dialogs().askYesNo(&w_, Msg(QStringLiteral("FlashDlgCaption")),
                                       MsgFmt(QStringLiteral("NoBackupDlgText"), {b.error})))
                return;
            backupPath_.clear();
        } else {
            w_.AddLog(MsgFmt(QStringLiteral("BackupBeforeUpdate"), {b.path}));
            backupPath_ = b.path;
            backupPort_ = w_.portName();
        }
        transferred_ = false;
        restoreCheck_->stop();
    }
    w_.state().raise(rqFirmwareUpdate);
}

QString FirmwareControl::ChooseFirmwareFile() {
    const QString dir = w_.programDir();
    const QString title = MsgFmt(QStringLiteral("ChooseFirmware"), {kFamily});
    const QString filter = MsgFmt(QStringLiteral("FirmwareFile"), {kFamily}) + QStringLiteral(" (") + kFilePrefix +
                           QLatin1Char('*') + kExtension + QLatin1Char(')');
    QString chosen = w_.dialogs().openFileName(&w_, title, dir + kFilePrefix + QLatin1Char('5') + kExtension, filter);
    if (chosen.isEmpty()) return {};
    // The default extension, for a name typed without one.
    if (QFileInfo(chosen).suffix().isEmpty() && !QFileInfo::exists(chosen)) chosen += kExtension;
    w_.ShowPage(w_.page(QStringLiteral("tsMessages")));
    return chosen;
}

void FirmwareControl::SetProgress(uint64_t done, uint64_t total) {
    bar_->setValue(total ? int(std::min(done, total) * kBarSteps / total) : 0);
    bar_->show();
}

void FirmwareControl::TransferEnded() {
    bar_->hide();
    if (!backupPath_.isEmpty()) transferred_ = true;
}

void FirmwareControl::Connected() {
    // The offer waits until the returned device's settings are read.
    if (transferred_) restoreCheck_->start();
}

void FirmwareControl::checkRestore() {
    if (!transferred_) return restoreCheck_->stop();
    if (!w_.isConnected()) return restoreCheck_->stop(); // back in the bootloader, or gone: until it answers
    if (w_.portName() != backupPort_) {
        // Another device: the backup is not its own.
        transferred_ = false;
        return restoreCheck_->stop();
    }
    constexpr uint32_t kFirstReads = rqGetConfig | rqGetExpert | rqGetExpertWeather | rqGetSchedule;
    if (w_.state().isRaised(kFirstReads) || !w_.state().allRead()) return;
    restoreCheck_->stop();
    transferred_ = false;
    const QString path = std::exchange(backupPath_, QString());
    // A device that kept its settings needs nothing back.
    if (differs_ && !differs_(path)) return;
    offerRestore(path);
}

void FirmwareControl::offerRestore(const QString& path) {
    if (!restore_) return;
    if (!w_.dialogs().askYesNo(&w_, Msg(QStringLiteral("RestoreDlgCaption")),
                               MsgFmt(QStringLiteral("RestoreDlgText"), {path})))
        return; // the file stays where it is
    if (const QString error = restore_(path); !error.isEmpty())
        w_.AddLog(MsgFmt(QStringLiteral("RestoreFailed"), {error}));
    else
        w_.AddLog(MsgFmt(QStringLiteral("RestoredFrom"), {path}));
}

} // namespace quenda
