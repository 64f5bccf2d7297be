// The ASCII-hex request/response protocol: one command line out, one reply back.
// Runs on the link thread only; reports failure by result and log lines, never throws.
#pragma once

#include "link/device_state.h"
#include "link/serial_port.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace quenda {

class Protocol {
public:
    using LogFn = std::function<void(const QString&)>;

    Protocol(IPort& port, LogFn log);

    void setDebug(bool on) { debug_ = on; }
    bool debug() const { return debug_; }

    // In debug mode, logs a command's name before it is sent ("GetInfo", "SetInfo", ...).
    void announce(const char* name);

    // Reads a record of n payload bytes into the transfer buffer.
    bool Query(uint8_t code, int n);
    // Sends the first n payload bytes of a buffer laid out like the transfer buffer.
    bool Send(const TransferBuffer& buffer, uint8_t code, int n);
    // Purge, then the text and a line feed; nothing is read.
    void SendRaw(const QByteArray& text);

    TransferBuffer& buffer() { return buffer_; }
    IPort& port() { return port_; }

private:
    IPort& port_;
    LogFn log_;
    bool debug_ = false;
    TransferBuffer buffer_;
};

} // namespace quenda
