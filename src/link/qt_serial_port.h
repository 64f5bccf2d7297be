// IPort on QSerialPort, for the link thread (a thread without an event loop): every
// call blocks on waitForReadyRead/waitForBytesWritten against one total deadline.
// Open, use, close and destroy it on one thread: the QSerialPort inside is created by
// open() on the calling thread.
#pragma once

#include "link/serial_port.h"

#include <memory>

class QSerialPort;

namespace quenda {

// False for a path that exists and is no terminal (a file, folder, FIFO, /dev/null);
// true where that cannot be told (names that are not paths, missing paths).
bool isSerialDevice(const QString& name);

class QtSerialPort : public IPort {
public:
    static constexpr int kDefaultTimeoutMs = 5000;

    // The time-out bounds a whole read or a whole write; the tool always uses 5000 ms.
    explicit QtSerialPort(int timeoutMs = kDefaultTimeoutMs);
    ~QtSerialPort() override;
    QtSerialPort(const QtSerialPort&) = delete;
    QtSerialPort& operator=(const QtSerialPort&) = delete;

    // 115200 baud, 8N1, no flow control, DTR and RTS off.
    bool open(const QString& name) override;
    bool isOpen() const override;
    QString name() const override { return name_; }
    void close() override;
    bool purge() override;
    bool write(const QByteArray& data) override;
    QByteArray read(int n) override;
    QString errorString() const override { return error_; }

    int timeoutMs() const { return timeoutMs_; }

private:
    void fail(const QString& text);
    bool ready();

    int timeoutMs_;
    QString name_;
    QString error_;
    // Created by open() on the calling thread, so it belongs to the thread that uses it.
    std::unique_ptr<QSerialPort> port_;
};

} // namespace quenda
