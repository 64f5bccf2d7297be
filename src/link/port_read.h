// The read loop of a blocking port, shared by the serial and the Bluetooth port.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace quenda {

struct PortReadSteps {
    // Up to `max` bytes that have arrived already, without waiting.
    std::function<QByteArray(qint64 max)> take;
    // Waits at most `ms` for more bytes. Returns the error text when the port failed
    // (the other side hung up, a device error); empty for data or a plain time-out.
    std::function<QString(int ms)> wait;
};

// Collects n bytes within timeoutMs. A plain time-out returns what arrived and leaves
// `error` empty; a port failure takes what is still there, sets `error` and stops.
QByteArray ReadWithin(int n, int timeoutMs, const PortReadSteps& steps, QString& error);

} // namespace quenda
