#include "app/firmware_control.h"

#include "app/main_window.h"
#include "lang/texts.h"
#include "pages/page.h"

#include <QAction>
#include <QFileInfo>
#include <QProgressBar>
#include <QStatusBar>
#include <QTimer>

namespace quenda {

namespace {
const QString kFamily = QStringLiteral("Drevanilux 2.x");
const QString kFilePrefix = QStringLiteral("Drevanilux2x");
const QString kExtension = QStringLiteral(".qfw");
constexpr int kBarSteps = 1000;
} // namespace

FirmwareControl::FirmwareControl(TfrmQuenda& window) : QObject(&window), w_(window) {
    bar_ = new QProgressBar(w_.statusBar());
    bar_->setObjectName(QStringLiteral("pbFirmware"));
    bar_->setRange(0, kBarSteps);
    bar_->setMaximumWidth(200);
    w_.statusBar()->addPermanentWidget(bar_);
    bar_->hide();
    if (auto* a = w_.findChild<QAction*>(QStringLiteral("mnuFirmwareUpdate")))
        connect(a, &QAction::triggered, this, &FirmwareControl::mnuFirmwareUpdateClick);
}

void FirmwareControl::setBackup(BackupWriter write, BackupRestorer restore) {
    write_ = std::move(write);
    restore_ = std::move(restore);
}

void FirmwareControl::mnuFirmwareUpdateClick() {
    if (!w_.dialogs().askYesNo(&w_, Msg(QStringLiteral("FlashDlgCaption")), Msg(QStringLiteral("FlashDlgText"))))
        return;
    // The update resets every setting: keep them first while the application can be read.
    if (write_ && w_.isConnected()) {
        const Backup b = write_();
        if (b.path.isEmpty()) {
            w_.AddLog(MsgFmt(QStringLiteral("BackupFailed"), {b.error}));
            return;
        }
        w_.AddLog(MsgFmt(QStringLiteral("BackupBeforeUpdate"), {b.path}));
        backupPath_ = b.path;
        transferred_ = false;
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
    // Not from inside the link's hand-over: the link goes on reading meanwhile.
    if (transferred_) QTimer::singleShot(0, this, &FirmwareControl::offerRestore);
}

void FirmwareControl::offerRestore() {
    if (!transferred_) return;
    const QString path = backupPath_;
    transferred_ = false;
    backupPath_.clear();
    if (!restore_ || !w_.isConnected()) return;
    if (!w_.dialogs().askYesNo(&w_, Msg(QStringLiteral("RestoreDlgCaption")),
                               MsgFmt(QStringLiteral("RestoreDlgText"), {path})))
        return; // the file stays where it is
    if (const QString error = restore_(path); !error.isEmpty())
        w_.AddLog(MsgFmt(QStringLiteral("RestoreFailed"), {error}));
}

} // namespace quenda
