// The firmware step on the link thread: the file dialog until a file is accepted or
// the dialog is cancelled, the block transfer with its retries, and the reset.
#include "lang/texts.h"
#include "link/device_codes.h"
#include "link/firmware.h"
#include "link/link_thread.h"

#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>

namespace quenda {

bool TthdCom::ReadFirmware(const QString& path, FirmwareImage& image, int32_t& first, int32_t& last) {
    Log(FileDescription(path));
    QFile f(path);
    QByteArray bytes;
    if (f.open(QIODevice::ReadOnly)) {
        if (f.size() > kFirmwareImageSize) return false; // refused without a message
        bytes = f.read(kFirmwareImageSize + 1);
    }
    if (f.error() != QFileDevice::NoError) {
        Log(f.errorString());
        Status(Msg(QStringLiteral("ParsingError")));
        return false;
    }
    const FirmwareFileCheck check = ReadFirmwareFile(bytes, image);
    if (check.checksumMatched() && protocol_->debug())
        Log(QStringLiteral("Checksum: ") + QString::number(check.computedSum));
    if (!check.accepted()) {
        if (const QString m = check.message(); !m.isEmpty()) Status(m);
        return false;
    }
    first = check.firstAddress;
    last = check.lastAddress;
    return true;
}

bool TthdCom::ChooseFirmware(FirmwareImage& image, FlashPlan& plan) {
    for (;;) {
        Hand(host_->ChooseFirmwareFile(firmwareFile_));
        CheckTerminated(); // the window closed while its dialog was open
        if (firmwareFile_.isEmpty() || !QFileInfo(firmwareFile_).isFile()) return false;
        int32_t first = kFirmwareImageSize, last = 0;
        if (!ReadFirmware(firmwareFile_, image, first, last)) continue;
        plan = PlanFlash(first, last, pageSize_, flashSize_);
        Log(MsgFmt(QStringLiteral("FlashSize"),
                   {QString::number(int64_t(last) + 1) + QStringLiteral(" / ") +
                    QString::number(plan.available)}));
        if (plan.excess <= 0) return true;
        Status(MsgFmt(QStringLiteral("FirmwareTooLarge"), {QString::number(plan.excess)}));
    }
}

bool TthdCom::SendFirmware(const FirmwareImage& image, const FlashPlan& plan, TransferBuffer& block) {
    bool failed = false;
    for (uint32_t a = plan.start; a < plan.end; a += kFirmwareBlockBytes) {
        // The window shows the block's progress while the block itself is on the line,
        // so its hand-over adds nothing to the transfer's time. In debug mode it comes
        // first, ahead of the block's OUT line.
        std::optional<bool> shown;
        std::exception_ptr windowError; // carried past the protocol, which is not unwound
        const auto showProgress = [&] {
            try {
                shown = host_->Progress(plan.progressText(a), plan.doneBefore(a), plan.total);
            } catch (...) {
                shown = true;
                windowError = std::current_exception();
            }
        };
        if (protocol_->debug()) showProgress();
        TFirmwareBlock b;
        b.Address = uint16_t(a);
        std::memcpy(b.Data, image.data() + a, sizeof b.Data);
        std::memcpy(block.Payload, &b, sizeof b);
        bool sent = false;
        for (int tries = 0; tries < kFirmwareTries && !sent; ++tries) {
            CheckTerminated();
            sent = protocol_->Send(block, Cmd::BootWriteBlock, int(sizeof b), shown ? Protocol::OnWire() : showProgress);
            if (windowError) std::rethrow_exception(windowError);
            if (shown) Hand(*shown); // a closing window ends the link here
            // A port that has gone cannot take the rest either.
            if (!sent && !port_->isOpen()) break;
            if (!sent) Sleep(options_.timing.firmwareRetryMs);
        }
        if (!shown) Progress(plan.progressText(a), plan.doneBefore(a), plan.total); // no line went out
        if (!sent) {
            failed = true;
            Log(Msg(QStringLiteral("TransferError")));
            if (!port_->isOpen()) break;
        }
    }
    return !failed;
}

void TthdCom::RunFirmwareUpdate() {
    auto image = std::make_unique<FirmwareImage>();
    image->fill(0);
    TransferBuffer block; // zero-filled: the reset after a cancelled dialog carries zeros
    FlashPlan plan;
    if (!ChooseFirmware(*image, plan)) {
        // Cancelled: let the device leave its bootloader.
        Log(Msg(QStringLiteral("Resetting")));
        protocol_->Send(block, Cmd::BootReset, kBootResetBytes);
        return;
    }

    Status(MsgFmt(QStringLiteral("StartingFirmwareUpdate"), {QString::number(plan.total)}));
    // The window's progress display ends with the transfer, however it ends.
    struct ProgressEnd {
        LinkHost& host;
        ~ProgressEnd() {
            try {
                host.RunOnWindow([](LinkWindow& w) { w.FirmwareTransferEnded(); });
            } catch (...) {
            }
        }
    } progressEnd{*host_};

    const bool sent = SendFirmware(*image, plan, block);
    CheckTerminated();
    Log(Msg(QStringLiteral("Resetting")));
    protocol_->Send(block, Cmd::BootReset, kBootResetBytes);
    Status(Msg(sent ? QStringLiteral("FirmwareUpdateSuccessful") : QStringLiteral("FirmwareUpdateFailed")));
}

} // namespace quenda
