// Firmware files for tests and benches: a header, the data and a checksum.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QtEndian>
#include <cstdint>

namespace quenda::testing {

inline QByteArray leS32(int32_t v) {
    QByteArray b(4, 0);
    qToLittleEndian(v, b.data());
    return b;
}

// Patterned data for first..last (each byte differs from its neighbours).
inline QByteArray firmwareData(int32_t first, int32_t last) {
    QByteArray data;
    for (int64_t a = first; a <= last; ++a)
        data += char((a * 37 + a / 251 + 11) & 0xFF);
    return data;
}

// checksumDelta spoils the checksum.
inline QByteArray firmwareFile(int32_t first, int32_t last, int32_t checksumDelta = 0) {
    const QByteArray data = firmwareData(first, last);
    uint32_t sum = uint32_t(first) + uint32_t(last);
    for (const char c : data)
        sum += uint8_t(c);
    return leS32(first) + leS32(last) + data + leS32(int32_t(sum) + checksumDelta);
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace quenda::testing
