// The ASCII-hex request/response protocol: one command line out, one reply back.
// Runs on the link thread only; reports failure by result and log lines, never throws.
//
// Query(code, n): purge, write the code and a line feed, read exactly 2 * (n + 1) + 1
// characters (echo, digit pairs, line end LF or CR) into the transfer buffer.
// Send(buffer, code, n): purge, write the code, n payload bytes as upper-case digit
// pairs and a line feed, then read one acknowledgement character of any value.
// In debug mode both log OUT: "<text>" <ms> ms and IN: "<text>" <ms> ms lines.
#pragma once

#include "link/device_state.h"
#include "link/serial_port.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

namespace quenda {

class Protocol {
public:
    using LogFn = std::function<void(const QString&)>;
    // Milliseconds from any fixed origin; only differences are logged.
    using ClockFn = std::function<qint64()>;

    Protocol(IPort& port, LogFn log);

    void setDebug(bool on) { debug_ = on; }
    bool debug() const { return debug_; }

    // Replaces the clock used for the OUT/IN timings (a monotonic clock by default).
    void setClock(ClockFn clock);

    // In debug mode, logs a command's name before it is sent ("GetInfo", "SetInfo", ...).
    void announce(const char* name);

    // Run once the line is written, while it is still on its way and the reply or
    // acknowledgement is not read yet; it must not throw.
    using OnWire = std::function<void()>;

    // Reads a record of n payload bytes into the transfer buffer; onWire, if given,
    // runs only when the line was written.
    bool Query(uint8_t code, int n, const OnWire& onWire = {});

    // Sends the first n payload bytes of a buffer laid out like the transfer buffer;
    // onWire, if given, runs only when the line was written.
    bool Send(const TransferBuffer& buffer, uint8_t code, int n, const OnWire& onWire = {});
    // Purge, then the text and a line feed; nothing is read.
    void SendRaw(const QByteArray& text);

    TransferBuffer& buffer() { return buffer_; }
    IPort& port() { return port_; }

    // The log text of an OUT or IN line.
    static QString directionLine(const char* word, const QByteArray& text, qint64 ms);

private:
    void log(const QString& text);
    bool portFailed();
    bool writeLine(const QByteArray& line, const QByteArray& shown);

    IPort& port_;
    LogFn log_;
    ClockFn clock_;
    bool debug_ = false;
    int echoFailures_ = 0; // replies in a row whose echo did not match
    TransferBuffer buffer_;
};

} // namespace quenda
