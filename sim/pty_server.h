// Serves a SimDevice on a pseudo-terminal, so the tool connects to it like to a
// serial port. Lines end with LF or CR; every line gets the device's response after
// the optional line-speed pacing, latency and faults.
//
// Log lines (kept in memory, and passed to the sink when one is set):
//   RX <line>   a line received, without its line end
//   TX <bytes>  bytes sent (a whole reply, or what a fault left of it), logged just
//               before they go out; "EV reply not delivered" follows if they could not
//   EV <text>   an event: device mode switch, reset, save, fault, close
// Bytes outside printable ASCII appear as \r, \n, \\ or \xNN.
#pragma once

#include "sim/faults.h"
#include "sim/sim_device.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace quenda::sim {

struct ServerOptions {
    bool lineSpeed = false;     // pace both directions at bytesPerSecond
    int bytesPerSecond = 11520; // 115200 baud, 8N1
    int latencyMs = 0;          // added before every reply
    QString linkPath;           // also reachable through this symbolic link
    FaultOptions faults;
};

class PtyServer {
public:
    using LogSink = std::function<void(const QString&)>;

    PtyServer(SimDevice& device, ServerOptions options = {});
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Creates the pty (raw mode) and the link. The slave side stays open here as well,
    // so the master reads no EIO while no client is attached.
    bool open(QString* error = nullptr);
    QString slavePath() const { return slavePath_; }
    // The name a client opens: the link when there is one, else the slave path.
    QString portPath() const { return options_.linkPath.isEmpty() ? slavePath_ : options_.linkPath; }

    // Set before start()/run().
    void setLogSink(LogSink sink) { sink_ = std::move(sink); }

    // Serves until stop() or until a fault closed the pty. externalStop (if given) is
    // polled as well, for signal handlers.
    void run(const std::atomic<bool>* externalStop = nullptr);
    // run() on a thread of its own; stop() ends and joins it.
    void start();
    void stop();

    // Takes effect at the next line; counts of the options start from here.
    void setFaults(const FaultOptions& faults);
    bool closedByFault() const { return closed_.load(); }
    int commands() const { return commands_.load(); }
    // How late the last byte of the paced replies left, against the line's timing.
    struct Pacing {
        int replies = 0;
        int64_t lateUs = 0; // in all
    };
    Pacing pacing() const { return {pacedReplies_.load(), lateUs_.load()}; }

    QStringList log() const;
    QStringList received() const; // the RX texts only
    // Closes the pty and removes the link (also done by the destructor).
    void close();

    static QString escape(const QByteArray& bytes);

private:
    void addLog(const QString& line);
    void serveLine(const QByteArray& line);
    bool sendPaced(const QByteArray& bytes, int64_t startUs);
    bool writeAll(const char* data, size_t n);
    bool stopping() const;

    SimDevice& device_;
    ServerOptions options_;
    LogSink sink_;
    int master_ = -1, slave_ = -1;
    QString slavePath_;
    bool linkMade_ = false;

    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> closed_{false};
    std::atomic<int> commands_{0};
    std::atomic<int> pacedReplies_{0};
    std::atomic<int64_t> lateUs_{0};
    const std::atomic<bool>* externalStop_ = nullptr;

    mutable std::mutex m_; // log, received, faults
    QStringList log_, received_;
    FaultInjector faults_;
};

} // namespace quenda::sim
