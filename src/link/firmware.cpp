#include "link/firmware.h"

#include "lang/texts.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace quenda {

namespace {

// A little-endian s32 at `offset`; bytes beyond the end of the file keep those of
// `initial`, as a short read leaves its target.
int32_t readS32(QByteArrayView file, qsizetype offset, int32_t initial) {
    uint32_t v = uint32_t(initial);
    for (int i = 0; i < 4; ++i) {
        const qsizetype at = offset + i;
        if (at >= file.size()) break;
        v = (v & ~(0xFFu << (8 * i))) | uint32_t(uint8_t(file[at])) << (8 * i);
    }
    return int32_t(v);
}

bool inImage(int32_t address) { return address >= 0 && address < kFirmwareImageSize; }

} // namespace

QString FirmwareFileCheck::message() const {
    switch (verdict) {
    case Verdict::Accepted:
    case Verdict::TooLong:
        return {};
    case Verdict::OutsideImage:
        return Msg(QStringLiteral("ParsingError"));
    case Verdict::ChecksumMismatch:
        return MsgFmt(QStringLiteral("ChecksumError"),
                      {QString::number(storedChecksum) + QStringLiteral(" != ") + QString::number(computedSum)});
    case Verdict::NoData:
        return Msg(QStringLiteral("NoDataInFile"));
    }
    return {};
}

FirmwareFileCheck ReadFirmwareFile(QByteArrayView file, FirmwareImage& image) {
    FirmwareFileCheck c;
    if (file.size() > kFirmwareImageSize) return c;
    c.firstAddress = readS32(file, 0, c.firstAddress);
    c.lastAddress = readS32(file, 4, c.lastAddress);
    const int32_t first = c.firstAddress, last = c.lastAddress;
    uint32_t sum = uint32_t(first) + uint32_t(last);
    qsizetype offset = 8;
    if (last >= first) {
        // A range that would be read must lie in the image.
        if (!inImage(first) || !inImage(last)) {
            c.verdict = FirmwareFileCheck::Verdict::OutsideImage;
            return c;
        }
        for (int32_t a = first; a <= last; ++a, ++offset) {
            if (offset < file.size()) image[size_t(a)] = uint8_t(file[offset]);
            sum += image[size_t(a)];
        }
    }
    c.storedChecksum = readS32(file, offset, 0);
    c.computedSum = int32_t(sum);
    if (c.storedChecksum != c.computedSum)
        c.verdict = FirmwareFileCheck::Verdict::ChecksumMismatch;
    else if (first >= last)
        c.verdict = FirmwareFileCheck::Verdict::NoData;
    else
        c.verdict = FirmwareFileCheck::Verdict::Accepted;
    return c;
}

FlashPlan PlanFlash(int32_t firstAddress, int32_t lastAddress, uint16_t pageSize, uint32_t flashSize) {
    FlashPlan p;
    // Whole pages of at least 128 bytes; a page size that is no power of two is taken
    // as the largest power of two below it, so the rounding stays a rounding.
    const uint32_t mask = pageSize >= 128 ? std::bit_floor(uint32_t(pageSize)) - 1 : 127;
    const uint32_t first = uint32_t(std::clamp<int32_t>(firstAddress, 0, kFirmwareImageSize - 1));
    const uint32_t last = uint32_t(std::clamp<int32_t>(lastAddress, 0, kFirmwareImageSize - 1));
    p.start = first & ~mask;
    // One past the last byte, rounded up: a last byte at the start of a page still goes out.
    p.end = std::min<uint32_t>((last + 1 + mask) & ~mask, kFirmwareImageSize);
    p.total = p.end - p.start;
    p.available = int64_t(flashSize) - kBootloaderBytes;
    p.excess = std::max<int64_t>(0, int64_t(last) + 1 - p.available);
    return p;
}

QString FlashPlan::progressText(uint32_t address) const {
    const double share = total ? 1.0 - double(end - address) / double(total) : 0.0;
    return QStringLiteral("0x") + QString::number(address & 0xFFFF, 16).toUpper().rightJustified(4, QLatin1Char('0')) +
           QStringLiteral(" (") + QString::number(std::lround(share * 100.0)) + QStringLiteral(" %)");
}

} // namespace quenda
