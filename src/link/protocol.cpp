#include "link/protocol.h"

#include "lang/texts.h"
#include "link/wire.h"

#include <QElapsedTimer>
#include <cstring>

namespace quenda {

namespace {
// Zeroed before every read; larger than the longest reply (2 * 133 + 1 characters).
constexpr int kReceiveArea = 512;
static_assert(wire::replyLength(wire::kMaxPayload) < kReceiveArea);

qint64 monotonicMs() {
    static const QElapsedTimer origin = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return origin.elapsed();
}

// The offending pair as text, control and 8-bit characters escaped.
QString pairText(const char* reply, int pair) {
    QString s;
    for (int k = 0; k < 2; ++k) {
        const auto c = uchar(reply[2 * pair + k]);
        if (c >= 0x20 && c < 0x7F)
            s += QLatin1Char(char(c));
        else
            s += QStringLiteral("\\x") + QString::number(c, 16).toUpper().rightJustified(2, QLatin1Char('0'));
    }
    return s;
}
} // namespace

Protocol::Protocol(IPort& port, LogFn log) : port_(port), log_(std::move(log)), clock_(monotonicMs) {}

void Protocol::setClock(ClockFn clock) {
    clock_ = clock ? std::move(clock) : ClockFn(monotonicMs);
}

void Protocol::log(const QString& text) {
    if (log_) log_(text);
}

void Protocol::announce(const char* name) {
    if (debug_ && name) log(QString::fromLatin1(name));
}

QString Protocol::directionLine(const char* word, const QByteArray& text, qint64 ms) {
    // One arg() call: a "%3" in the device's text must stay text.
    return QStringLiteral("%1: \"%2\" %3 ms").arg(QLatin1String(word), QString::fromLatin1(text), QString::number(ms));
}

// A port error reported by the last port call: logged, and the command fails.
bool Protocol::portFailed() {
    const QString e = port_.errorString();
    if (e.isEmpty()) return false;
    log(e);
    return true;
}

// Purge, then the whole line; in debug mode an OUT line showing `shown`.
bool Protocol::writeLine(const QByteArray& line, const QByteArray& shown) {
    port_.purge();
    const qint64 t = clock_();
    if (!port_.write(line)) {
        if (!portFailed()) log(QStringLiteral("Write failed"));
        return false;
    }
    if (debug_) log(directionLine("OUT", shown, clock_() - t));
    return true;
}

namespace {
constexpr int kSlowEchoFailures = 5;
} // namespace

bool Protocol::Query(uint8_t code, int n, const OnWire& onWire) {
    if (n < 0 || n > wire::kMaxPayload) return false;
    const QByteArray line = QByteArray::fromStdString(wire::encodeLine(code, nullptr, 0));
    if (!writeLine(line, line.chopped(1))) return false;
    if (onWire) onWire();

    char area[kReceiveArea];
    std::memset(area, 0, sizeof area);
    const int want = wire::replyLength(n);
    const qint64 t = clock_();
    const QByteArray got = port_.read(want);
    const qint64 took = clock_() - t;
    const int count = int(std::min<qsizetype>(got.size(), want));
    std::memcpy(area, got.constData(), size_t(count));
    if (debug_) log(directionLine("IN", QByteArray(area, int(qstrnlen(area, sizeof area))), took));
    if (portFailed()) return false;

    if (got.isEmpty()) {
        log(Msg(QStringLiteral("NoData")));
        port_.close();
        return false;
    }
    const auto r =
        wire::decodeReply(reinterpret_cast<const unsigned char*>(area), size_t(count), code, n, buffer_);
    if (r.status == wire::ReplyStatus::NotHex) {
        log(QStringLiteral("'%1' is not a valid hexadecimal number").arg(pairText(area, r.badPair)));
        return false;
    }
    // A reply that keeps arriving after the time-out is read as the head of the next
    // one, so every echo fails; say so once per such run.
    if (r.status != wire::ReplyStatus::WrongEcho)
        echoFailures_ = 0;
    else if (++echoFailures_ == kSlowEchoFailures)
        log(QStringLiteral("The device answers too slowly: %1 replies in a row came too late for their "
                           "command.")
                .arg(kSlowEchoFailures));
    return r.status == wire::ReplyStatus::Ok;
}

bool Protocol::Send(const TransferBuffer& buffer, uint8_t code, int n, const OnWire& onWire) {
    if (n < 0 || n > wire::kMaxPayload) return false;
    const QByteArray line = QByteArray::fromStdString(wire::encodeLine(code, buffer.Payload, n));
    if (!writeLine(line, line)) return false;
    if (onWire) onWire();

    const qint64 t = clock_();
    const QByteArray ack = port_.read(1);
    const qint64 took = clock_() - t;
    if (debug_) {
        const QByteArray shown = ack.left(1);
        log(directionLine("IN", shown.left(int(qstrnlen(shown.constData(), size_t(shown.size())))), took));
    }
    if (portFailed()) return false;
    return !ack.isEmpty();
}

void Protocol::SendRaw(const QByteArray& text) {
    const QByteArray line = text + '\n';
    writeLine(line, line);
}

} // namespace quenda
