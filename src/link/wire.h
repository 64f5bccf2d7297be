// The line format of the device protocol, free of Qt so that the reply check can be
// exercised on its own: command code and payload as hexadecimal digit pairs, then
// a line end.
#pragma once

#include "link/device_state.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace quenda::wire {

inline constexpr int kMaxPayload = int(sizeof(TransferBuffer::Payload));
inline constexpr char kLineFeed = '\n';
inline constexpr char kCarriageReturn = '\r';

// Characters of a read reply carrying n payload bytes: echo, 2 digits per byte, line end.
constexpr int replyLength(int n) {
    return 2 * (n + 1) + 1;
}

// Value of one hexadecimal digit (either case), or -1.
int hexDigit(unsigned char c);

// n bytes as digit pairs, upper case unless `lower`.
std::string encodeHex(const uint8_t* data, int n, bool lower = false);
// Decodes n digit pairs of text into out and stops at the first pair that is not
// hexadecimal: returns its index (the pairs before it are stored), or -1.
int decodeHex(const unsigned char* text, int n, uint8_t* out);

// Code and the first n payload bytes as upper-case digit pairs, then a line feed.
// n outside 0..kMaxPayload gives an empty text.
std::string encodeLine(uint8_t code, const uint8_t* payload, int n);

enum class ReplyStatus { Ok, BadCount, WrongLength, WrongEcho, NoLineEnd, NotHex };

struct ReplyResult {
    ReplyStatus status = ReplyStatus::Ok;
    int badPair = -1; // NotHex: index of the first pair that is not hexadecimal (0 = echo)
};

// Checks a read reply for code and n payload bytes and decodes it into out: the echo
// pair into out.Echo, pair i > 0 into out.Payload[i - 1]. Pairs before a bad one stay
// stored. Reads at most len bytes of data and never writes beyond out.
ReplyResult decodeReply(const unsigned char* data, std::size_t len, uint8_t code, int n, TransferBuffer& out);

} // namespace quenda::wire
