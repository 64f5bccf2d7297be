#include "sim/faults.h"

namespace quenda::sim {

void FaultInjector::reset(const FaultOptions& o) {
    o_ = o;
    rng_.seed(o.seed);
    count_ = 0;
}

bool FaultInjector::hears() {
    ++count_;
    return !o_.silent && count_ > o_.answerAfter;
}

bool FaultInjector::closesNow() const {
    return o_.closeAfter >= 0 && count_ > o_.closeAfter;
}

QByteArray FaultInjector::shape(const Response& r, QString* note) {
    QByteArray out = r.bytes;
    // One draw per command whether or not it is used, so the sequence does not depend
    // on which commands happen to carry replies.
    const bool hit = std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < o_.rate;
    const uint32_t noise = uint32_t(rng_());
    if (!hit || count_ <= o_.skip || !o_.replyFaults() || out.isEmpty()) return out;

    QStringList what;
    std::mt19937 bytes(noise);
    const bool record = r.kind == Response::Kind::Record && out.size() >= 5;
    if (o_.garbage) {
        if (record) {
            static const char notHex[] = "GHIJKLMNOPQRSTUVWXYZghijklmnopqrstuvwxyz!#%&*+-/:;<=>?@_~";
            out[2] = notHex[bytes() % (sizeof notHex - 1)];
            for (int i = 3; i < out.size() - 1; ++i)
                out[i] = char(1 + bytes() % 255);
        } else {
            out = QByteArray(1, char(bytes() % 256));
        }
        what << QStringLiteral("garbage");
    }
    if (o_.wrongEcho && record) {
        bool ok = false;
        const int code = out.left(2).toInt(&ok, 16);
        const int other = ok ? (code + 1) & 0xFF : 0x00;
        out.replace(0, 2, QByteArray::number(other, 16).rightJustified(2, '0').toUpper());
        what << QStringLiteral("wrong echo");
    }
    if (o_.truncate && record) {
        out.truncate(out.size() / 2);
        what << QStringLiteral("truncated");
    }
    if (o_.noAck && !record) {
        out.clear();
        what << QStringLiteral("no ack");
    }
    if (note) *note = what.join(QStringLiteral(", "));
    return out;
}

} // namespace quenda::sim
