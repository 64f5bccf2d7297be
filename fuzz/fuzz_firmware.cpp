// Arbitrary bytes as a firmware file: the reader must never write outside the image,
// must touch no address outside the header's range, and must accept exactly the files
// whose checksum holds and whose range lies in the image.
#include "link/firmware.h"

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <memory>

using namespace quenda;

namespace {

uint32_t le32(const uint8_t* d) { return uint32_t(d[0]) | uint32_t(d[1]) << 8 | uint32_t(d[2]) << 16 | uint32_t(d[3]) << 24; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The image on the heap at its exact size, with a marker in every byte, so a write
    // outside it is caught by the address sanitizer and a stray write inside it by the
    // comparisons below.
    static auto* const image = new FirmwareImage;
    static auto* const marker = [] {
        auto* m = new FirmwareImage;
        m->fill(0xA5);
        return m;
    }();
    *image = *marker;
    const FirmwareFileCheck c =
        ReadFirmwareFile(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)), *image);

    if (size > size_t(kFirmwareImageSize)) {
        if (c.verdict != FirmwareFileCheck::Verdict::TooLong || std::memcmp(image, marker, sizeof *image))
            __builtin_trap();
        return 0;
    }
    const bool wellFormed = [&] {
        if (size < 8) return false;
        const int32_t first = int32_t(le32(data)), last = int32_t(le32(data + 4));
        if (first < 0 || last >= kFirmwareImageSize || first >= last) return false;
        const size_t end = 8 + size_t(last - first + 1); // where the checksum starts
        if (size < end) return false;
        uint32_t sum = uint32_t(first) + uint32_t(last);
        for (size_t i = 8; i < end; ++i)
            sum += data[i];
        uint8_t stored[4] = {}; // bytes missing at the end count as zero
        std::memcpy(stored, data + end, std::min<size_t>(4, size - end));
        return le32(stored) == sum;
    }();
    if (wellFormed != c.accepted()) __builtin_trap();

    // Only the header's range may have changed, and only to the bytes the file holds.
    const bool wrote = c.lastAddress >= c.firstAddress && c.verdict != FirmwareFileCheck::Verdict::OutsideImage;
    const size_t from = wrote ? size_t(c.firstAddress) : kFirmwareImageSize;
    const size_t to = wrote ? size_t(c.lastAddress) + 1 : kFirmwareImageSize;
    const size_t present = wrote ? std::min(to - from, size > 8 ? size - 8 : 0) : 0;
    if (std::memcmp(image->data(), marker->data(), from) ||
        std::memcmp(image->data() + to, marker->data() + to, kFirmwareImageSize - to) ||
        std::memcmp(image->data() + from, data + 8, present) ||
        std::memcmp(image->data() + from + present, marker->data(), to - from - present))
        __builtin_trap();
    return 0;
}
