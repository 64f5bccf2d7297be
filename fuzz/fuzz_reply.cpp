// Arbitrary bytes as a device's reply: the reply check and decoding must neither read
// nor write outside their buffers, and must accept exactly the well-formed replies.
//
// Input: byte 0 the payload count n (0..140, beyond the buffer on purpose), byte 1
// the command code, byte 2 flags (bit 0 debug lines, bit 1 a port error after the
// reply), the rest the reply bytes.
#include "common/scripted_port.h"
#include "link/protocol.h"
#include "link/wire.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace quenda;

namespace {

// Independent statement of a well-formed reply, to hold the checker to it.
bool wellFormed(const uint8_t* d, size_t len, uint8_t code, int n) {
    if (n < 0 || n > wire::kMaxPayload || len != size_t(2 * (n + 1) + 1)) return false;
    static const char digits[] = "0123456789ABCDEF";
    if (d[0] != digits[code >> 4] || d[1] != digits[code & 15]) return false;
    if (d[len - 1] != '\n' && d[len - 1] != '\r') return false;
    for (size_t i = 0; i + 1 < len; ++i)
        if (!std::isxdigit(d[i])) return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const int n = data[0] % 141;
    const uint8_t code = data[1];
    const uint8_t flags = data[2];
    const uint8_t* reply = data + 3;
    const size_t len = size - 3;

    // The pure check on an exactly sized heap copy, so any over-read is caught.
    auto* copy = new uint8_t[len ? len : 1];
    if (len) std::memcpy(copy, reply, len);
    TransferBuffer direct;
    const auto r = wire::decodeReply(copy, len, code, n, direct);
    const bool ok = r.status == wire::ReplyStatus::Ok;
    if (ok != wellFormed(copy, len, code, n)) __builtin_trap();
    if (ok) {
        // Decoded bytes re-encode to the reply (digits upper-cased, line end aside).
        const std::string again = wire::encodeLine(direct.Echo, direct.Payload, n);
        for (size_t i = 0; i + 1 < len; ++i)
            if (again[i] != std::toupper(copy[i])) __builtin_trap();
    }
    delete[] copy;

    // The same bytes through Query on a scripted port.
    testing::ScriptedPort port(5000);
    port.open(QStringLiteral("FUZZ"));
    int lines = 0;
    Protocol proto(port, [&lines](const QString&) { ++lines; });
    proto.setDebug(flags & 1);
    const QByteArray bytes(reinterpret_cast<const char*>(reply), qsizetype(len));
    if (flags & 2) port.queueReadError(QStringLiteral("Input/output error"));
    if (!(flags & 2)) port.queueReply(bytes);
    const bool queried = proto.Query(code, n);
    if (queried && (flags & 2)) __builtin_trap();
    if (!(flags & 2) && queried != (n <= wire::kMaxPayload &&
                                    wellFormed(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                               std::min<size_t>(len, size_t(wire::replyLength(n))), code, n)))
        __builtin_trap();
    if (queried && std::memcmp(&proto.buffer(), &direct, sizeof direct) != 0 &&
        len == size_t(wire::replyLength(n)))
        __builtin_trap();

    // And as an acknowledgement after a write.
    port.queueReply(bytes);
    proto.Send(direct, code, n);
    return 0;
}
