#include "link/wire.h"

namespace quenda::wire {

namespace {
constexpr char kUpper[] = "0123456789ABCDEF";
}

int hexDigit(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string encodeLine(uint8_t code, const uint8_t* payload, int n) {
    std::string line;
    if (n < 0 || n > kMaxPayload || (n > 0 && !payload)) return line;
    line.reserve(std::size_t(2 * (n + 1) + 1));
    auto put = [&line](uint8_t b) {
        line.push_back(kUpper[b >> 4]);
        line.push_back(kUpper[b & 0x0F]);
    };
    put(code);
    for (int i = 0; i < n; ++i)
        put(payload[i]);
    line.push_back(kLineFeed);
    return line;
}

ReplyResult decodeReply(const unsigned char* data, std::size_t len, uint8_t code, int n,
                        TransferBuffer& out) {
    if (n < 0 || n > kMaxPayload) return {ReplyStatus::BadCount};
    if (!data || len != std::size_t(replyLength(n))) return {ReplyStatus::WrongLength};
    if (data[0] != kUpper[code >> 4] || data[1] != kUpper[code & 0x0F]) return {ReplyStatus::WrongEcho};
    const unsigned char end = data[len - 1];
    if (end != kLineFeed && end != kCarriageReturn) return {ReplyStatus::NoLineEnd};
    for (int i = 0; i <= n; ++i) {
        const int hi = hexDigit(data[2 * i]);
        const int lo = hexDigit(data[2 * i + 1]);
        if (hi < 0 || lo < 0) return {ReplyStatus::NotHex, i};
        const auto value = uint8_t(hi << 4 | lo);
        if (i == 0)
            out.Echo = value;
        else
            out.Payload[i - 1] = value;
    }
    return {};
}

} // namespace quenda::wire
