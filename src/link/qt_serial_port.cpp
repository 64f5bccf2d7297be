#include "link/qt_serial_port.h"

#include "lang/texts.h"
#include "link/port_read.h"

#include <QDeadlineTimer>
#include <QSerialPort>
#include <QThread>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quenda {

bool isSerialDevice(const QString& name) {
#ifdef Q_OS_UNIX
    // Only paths can be checked; a missing one is the open's own error to report.
    if (!name.contains(QLatin1Char('/'))) return true;
    const QByteArray path = name.toLocal8Bit();
    struct stat st = {};
    if (::stat(path.constData(), &st) != 0) return true;
    if (!S_ISCHR(st.st_mode)) return false;
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return true; // busy or not permitted: a terminal as far as we know
    const bool tty = ::isatty(fd) == 1;
    ::close(fd);
    return tty;
#else
    Q_UNUSED(name);
    return true;
#endif
}

QtSerialPort::QtSerialPort(int timeoutMs) : timeoutMs_(timeoutMs > 0 ? timeoutMs : kDefaultTimeoutMs) {}

QtSerialPort::~QtSerialPort() {
    close();
}

void QtSerialPort::fail(const QString& text) {
    error_ = text.isEmpty() ? QStringLiteral("Serial port error") : text;
}

// Starts a call: clears the last error, and fails when the port is not open.
bool QtSerialPort::ready() {
    error_.clear();
    if (isOpen()) return true;
    fail(QStringLiteral("Port not open"));
    return false;
}

bool QtSerialPort::open(const QString& name) {
    error_.clear();
    close();
    name_ = name;
    // A port object left from another thread would have its notifiers on that thread.
    if (!port_ || port_->thread() != QThread::currentThread()) port_ = std::make_unique<QSerialPort>();
    port_->setPortName(name);
    // The port's own text first: closing would replace it.
    const auto failOpen = [this] {
        fail(port_->errorString());
        if (port_->isOpen()) port_->close();
        port_->clearError();
        return false;
    };
    if (!port_->open(QIODevice::ReadWrite)) {
        // "Inappropriate ioctl for device" alone does not tell the user what is wrong.
        if (!isSerialDevice(name)) {
            failOpen();
            fail(MsgFmt(QStringLiteral("NotASerialPort"), {name}) + QStringLiteral(" (") + error_ + QLatin1Char(')'));
            return false;
        }
        return failOpen();
    }
    const bool ok = port_->setBaudRate(QSerialPort::Baud115200) && port_->setDataBits(QSerialPort::Data8) &&
                    port_->setParity(QSerialPort::NoParity) && port_->setStopBits(QSerialPort::OneStop) &&
                    port_->setFlowControl(QSerialPort::NoFlowControl);
    if (!ok) return failOpen();
    // Pseudo-terminals and some adapters have no modem lines; that is harmless here.
    port_->setDataTerminalReady(false);
    if (port_->error() == QSerialPort::UnsupportedOperationError) port_->clearError();
    port_->setRequestToSend(false);
    if (port_->error() == QSerialPort::UnsupportedOperationError) port_->clearError();
    if (port_->error() != QSerialPort::NoError) return failOpen();
    return true;
}

bool QtSerialPort::isOpen() const {
    return port_ && port_->isOpen();
}

void QtSerialPort::close() {
    if (port_ && port_->isOpen()) port_->close();
    if (port_) port_->clearError();
}

bool QtSerialPort::purge() {
    if (!ready()) return false;
    // Also takes what QSerialPort already buffered internally.
    if (!port_->clear(QSerialPort::AllDirections)) {
        fail(port_->errorString());
        port_->clearError();
        return false;
    }
    return true;
}

bool QtSerialPort::write(const QByteArray& data) {
    if (!ready()) return false;
    QDeadlineTimer deadline(timeoutMs_);
    if (port_->write(data) != data.size()) {
        fail(port_->errorString());
        port_->clearError();
        return false;
    }
    while (port_->bytesToWrite() > 0) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0) {
            fail(QStringLiteral("Write time-out"));
            return false;
        }
        if (!port_->waitForBytesWritten(int(left)) && port_->error() != QSerialPort::NoError &&
            port_->error() != QSerialPort::TimeoutError) {
            fail(port_->errorString());
            port_->clearError();
            return false;
        }
        port_->clearError();
    }
    return true;
}

QByteArray QtSerialPort::read(int n) {
    if (n <= 0) {
        error_.clear();
        return {};
    }
    if (!ready()) return {};
    const PortReadSteps steps{
        [this](qint64 max) { return port_->read(max); },
        [this](int ms) {
            errno = 0;
            if (port_->waitForReadyRead(ms)) return QString();
            const int systemError = errno;
            const auto e = port_->error();
            QString text;
            // A read of zero bytes (the other side hung up) sets no errno, and the
            // port's text would then name whatever failed last.
            if (e != QSerialPort::NoError && e != QSerialPort::TimeoutError)
                text = systemError == 0 ? QStringLiteral("Connection closed by the other side") : port_->errorString();
            port_->clearError();
            return text;
        }};
    QString error;
    QByteArray out = ReadWithin(n, timeoutMs_, steps, error);
    if (!error.isEmpty()) fail(error);
    return out;
}

} // namespace quenda
