// A scripted IPort for unit tests: replies are queued ahead and become readable as
// each line is written; every write is recorded; a read that cannot be satisfied
// counts as a time-out and advances a virtual clock instead of waiting.
//
//   ScriptedPort port;                       // time-out 5000 ms (virtual)
//   port.queueReply("800505\r");             // answer to the next write
//   port.queueSilence();                     // the write after that gets nothing
//   port.setResponder([](const QByteArray& line) { return QByteArray("K"); });
//   Protocol p(port, log);
//   p.setClock([&] { return port.nowMs(); }); // OUT/IN timings on the virtual clock
//
// Thread-safe: a link thread may use it while the test inspects writes().
#pragma once

#include "link/serial_port.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <mutex>

namespace quenda::testing {

class ScriptedPort : public IPort {
public:
    using Responder = std::function<QByteArray(const QByteArray& written)>;

    explicit ScriptedPort(int timeoutMs = 5000) : timeoutMs_(timeoutMs) {}

    // ---- Script ----
    // Bytes that become readable after the next write without an earlier queued entry.
    void queueReply(const QByteArray& bytes) { push({Kind::Reply, bytes, {}}); }
    // The next write is answered by nothing.
    void queueSilence() { push({Kind::Reply, {}, {}}); }
    // The next write succeeds, the read after it fails with a port error.
    void queueReadError(const QString& text) { push({Kind::ReadError, {}, text}); }
    // The next write fails with a port error.
    void queueWriteError(const QString& text) { push({Kind::WriteError, {}, text}); }
    // Answers writes once the queue is empty (none: silence).
    void setResponder(Responder r) {
        std::lock_guard g(m_);
        responder_ = std::move(r);
    }
    // Bytes readable at once, as if the device sent them unasked.
    void feed(const QByteArray& bytes) {
        std::lock_guard g(m_);
        rx_ += bytes;
    }
    // The next open() fails with this text.
    void failNextOpen(const QString& text) {
        std::lock_guard g(m_);
        openErrors_.push_back(text);
    }
    // Virtual milliseconds each write and each satisfied read takes.
    void setCosts(int writeMs, int readMs) {
        std::lock_guard g(m_);
        writeCost_ = writeMs;
        readCost_ = readMs;
    }

    // ---- Records ----
    QList<QByteArray> writes() const {
        std::lock_guard g(m_);
        return writes_;
    }
    QByteArray lastWrite() const {
        std::lock_guard g(m_);
        return writes_.isEmpty() ? QByteArray() : writes_.last();
    }
    void clearWrites() {
        std::lock_guard g(m_);
        writes_.clear();
    }
    int purges() const {
        std::lock_guard g(m_);
        return purges_;
    }
    int timeouts() const {
        std::lock_guard g(m_);
        return timeouts_;
    }
    int opens() const {
        std::lock_guard g(m_);
        return opens_;
    }
    int closes() const {
        std::lock_guard g(m_);
        return closes_;
    }
    QStringList openedNames() const {
        std::lock_guard g(m_);
        return openedNames_;
    }
    qint64 nowMs() const {
        std::lock_guard g(m_);
        return now_;
    }
    // Unread bytes (what a purge would discard).
    QByteArray pending() const {
        std::lock_guard g(m_);
        return rx_;
    }
    int timeoutMs() const { return timeoutMs_; }

    // ---- IPort ----
    bool open(const QString& name) override {
        std::lock_guard g(m_);
        error_.clear();
        name_ = name;
        openedNames_ << name;
        if (!openErrors_.empty()) {
            error_ = openErrors_.front();
            openErrors_.pop_front();
            return false;
        }
        open_ = true;
        ++opens_;
        return true;
    }
    bool isOpen() const override {
        std::lock_guard g(m_);
        return open_;
    }
    QString name() const override {
        std::lock_guard g(m_);
        return name_;
    }
    void close() override {
        std::lock_guard g(m_);
        if (open_) ++closes_;
        open_ = false;
        rx_.clear();
    }
    bool purge() override {
        std::lock_guard g(m_);
        error_.clear();
        if (!open_) return notOpen();
        ++purges_;
        rx_.clear();
        return true;
    }
    bool write(const QByteArray& data) override {
        Responder responder;
        {
            std::lock_guard g(m_);
            error_.clear();
            readError_.clear();
            if (!open_) return notOpen();
            now_ += writeCost_;
            if (!script_.empty()) {
                Entry e = script_.front();
                script_.pop_front();
                switch (e.kind) {
                case Kind::WriteError:
                    error_ = e.error;
                    return false;
                case Kind::ReadError:
                    readError_ = e.error;
                    break;
                case Kind::Reply:
                    rx_ += e.bytes;
                    break;
                }
                writes_ << data;
                return true;
            }
            writes_ << data;
            responder = responder_;
        }
        if (responder) {
            const QByteArray reply = responder(data); // outside the lock: it may inspect the port
            std::lock_guard g(m_);
            rx_ += reply;
        }
        return true;
    }
    QByteArray read(int n) override {
        std::lock_guard g(m_);
        error_.clear();
        if (!open_) {
            notOpen();
            return {};
        }
        if (n <= 0) return {};
        const QByteArray out = rx_.left(n);
        rx_.remove(0, out.size());
        if (!readError_.isEmpty()) {
            error_ = readError_;
            readError_.clear();
            return out;
        }
        if (out.size() < n) {
            ++timeouts_;
            now_ += timeoutMs_;
        } else {
            now_ += readCost_;
        }
        return out;
    }
    QString errorString() const override {
        std::lock_guard g(m_);
        return error_;
    }

private:
    enum class Kind { Reply, ReadError, WriteError };
    struct Entry {
        Kind kind;
        QByteArray bytes;
        QString error;
    };
    void push(Entry e) {
        std::lock_guard g(m_);
        script_.push_back(std::move(e));
    }
    bool notOpen() {
        error_ = QStringLiteral("Port not open");
        return false;
    }

    mutable std::mutex m_;
    const int timeoutMs_;
    std::deque<Entry> script_;
    std::deque<QString> openErrors_;
    Responder responder_;
    QByteArray rx_;
    QList<QByteArray> writes_;
    QStringList openedNames_;
    QString name_, error_, readError_;
    bool open_ = false;
    int purges_ = 0, timeouts_ = 0, opens_ = 0, closes_ = 0;
    int writeCost_ = 0, readCost_ = 0;
    qint64 now_ = 0;
};

} // namespace quenda::testing
