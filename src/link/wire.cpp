#include "link/wire.h"

namespace quenda::wire {

namespace {
constexpr char kUpper[] = "0123456789ABCDEF";
constexpr char kLower[] = "0123456789abcdef";
}

int hexDigit(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string encodeHex(const uint8_t* data, int n, bool lower) {
    const char* digits = lower ? kLower : kUpper;
    std::string out;
    if (n <= 0 || !data) return out;
    out.reserve(std::size_t(2 * n));
    for (int i = 0; i < n; ++i) {
        out.push_back(digits[data[i] >> 4]);
        out.push_back(digits[data[i] & 0x0F]);
    }
    return out;
}

int decodeHex(const unsigned char* text, int n, uint8_t* out) {
    for (int i = 0; i < n; ++i) {
        const int hi = hexDigit(text[2 * i]);
        const int lo = hexDigit(text[2 * i + 1]);
        if (hi < 0 || lo < 0) return i;
        out[i] = uint8_t(hi << 4 | lo);
    }
    return -1;
}

std::string encodeLine(uint8_t code, const uint8_t* payload, int n) {
    if (n < 0 || n > kMaxPayload || (n > 0 && !payload)) return {};
    std::string line = encodeHex(&code, 1) + encodeHex(payload, n);
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
    if (decodeHex(data, 1, &out.Echo) >= 0) return {ReplyStatus::NotHex, 0};
    if (const int bad = decodeHex(data + 2, n, out.Payload); bad >= 0) return {ReplyStatus::NotHex, bad + 1};
    return {};
}

} // namespace quenda::wire
