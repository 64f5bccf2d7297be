// A small blocking serial port, so the protocol can run on a real port or a script.
#pragma once

#include <QByteArray>
#include <QString>

namespace quenda {

class IPort {
public:
    virtual ~IPort() = default;
    // Opens by name as the user gives it (/dev/ttyUSB0, /dev/rfcomm0, a pty path, COM5).
    virtual bool open(const QString& name) = 0;
    virtual bool isOpen() const = 0;
    virtual QString name() const = 0;
    virtual void close() = 0;
    // Discards pending receive and transmit data.
    virtual bool purge() = 0;
    // Blocks until all is written or the write time-out passes; false on error or time-out.
    virtual bool write(const QByteArray& data) = 0;
    // Blocks until n characters arrived or the read time-out passed; returns what arrived.
    // Sets the error text on a port error (not on a plain time-out).
    virtual QByteArray read(int n) = 0;
    // The port error of the last call; empty when that call met no port error (a plain
    // read time-out is no error).
    virtual QString errorString() const = 0;
};

} // namespace quenda
