// Firmware files and the block plan for the bootloader.
//
// A firmware file (.qfw) holds, little-endian: FirstAddress (s32), LastAddress (s32,
// inclusive), one byte per address in between, and a checksum (s32) equal to
// FirstAddress + LastAddress + the sum of the data bytes, modulo 2^32.
//
// Everything here is pure; the transfer itself runs on the link thread
// (TthdCom::RunFirmwareUpdate, in firmware_update.cpp).
#pragma once

#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>

namespace quenda {

inline constexpr int kFirmwareImageSize = 0x10000; // addresses 0..0xFFFF
inline constexpr int kFirmwareBlockBytes = 64;
inline constexpr int kBootloaderBytes = 1024; // the top of the flash holds the bootloader
inline constexpr int kFirmwareTries = 10;

using FirmwareImage = std::array<uint8_t, kFirmwareImageSize>;

struct FirmwareFileCheck {
    enum class Verdict {
        Accepted,
        TooLong,          // more than 65536 bytes: refused without a message
        OutsideImage,     // an address of the header lies outside 0..0xFFFF
        ChecksumMismatch, // also what a truncated file ends in
        NoData            // FirstAddress >= LastAddress
    };
    Verdict verdict = Verdict::TooLong;
    int32_t firstAddress = kFirmwareImageSize; // as the header gave them (unread: these)
    int32_t lastAddress = 0;
    int32_t storedChecksum = 0;
    int32_t computedSum = 0;

    bool accepted() const { return verdict == Verdict::Accepted; }
    // Whether the checksum was found to match (the debug log shows it then).
    bool checksumMatched() const { return verdict == Verdict::Accepted || verdict == Verdict::NoData; }
    // The status text of a refusal; empty when accepted or too long.
    QString message() const;
};

// Reads a firmware file's bytes into the image, touching only the addresses the file
// covers. Bytes missing at the end of a short file leave the image as it was (and
// still count in the sum); a missing checksum counts as 0.
FirmwareFileCheck ReadFirmwareFile(QByteArrayView file, FirmwareImage& image);

// The blocks that carry an accepted image, in whole pages of the bootloader.
struct FlashPlan {
    uint32_t start = 0; // first block address
    uint32_t end = 0;   // one past the last block's last byte
    uint32_t total = 0; // end - start
    int64_t available = 0; // bytes below the bootloader
    int64_t excess = 0;    // bytes the image is too big for them (0: it fits)

    int blocks() const { return int(total / kFirmwareBlockBytes); }
    // Bytes sent before the block at `address`.
    uint64_t doneBefore(uint32_t address) const { return total - (end - address); }
    // "0x1A40 (37 %)"
    QString progressText(uint32_t address) const;
};

FlashPlan PlanFlash(int32_t firstAddress, int32_t lastAddress, uint16_t pageSize, uint32_t flashSize);

} // namespace quenda
