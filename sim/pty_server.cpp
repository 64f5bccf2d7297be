#include "sim/pty_server.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <termios.h>
#include <unistd.h>

namespace quenda::sim {

namespace {

constexpr int kMaxLog = 100000;
// Longer lines are cut here; the device rejects them anyway.
constexpr int kLineCap = 1024;

int64_t nowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// A timed sleep ends late by the machine's wake-up (tens of microseconds, far more on a
// virtual machine whose idle core halted). A paced reply's last byte leaves on time at a
// real device, so the last stretch before it is spun instead.
constexpr int64_t kSpinUs = 300;
// Likewise a line is heard as it arrives: after a reply the device listens closely (for
// the tool's next line, which follows within a few hundred microseconds), yielding the
// core meanwhile so that the tool itself is not kept waiting for one.
constexpr int64_t kListenUs = 400;

void sleepUntil(int64_t dueUs, bool spinTail) {
    for (int64_t left = dueUs - nowUs(); left > 0; left = dueUs - nowUs()) {
        if (!spinTail)
            std::this_thread::sleep_for(std::chrono::microseconds(left));
        else if (left > kSpinUs)
            std::this_thread::sleep_for(std::chrono::microseconds(left - kSpinUs));
    }
}

QString systemError(const char* what) {
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(strerror(errno)));
}

} // namespace

PtyServer::PtyServer(SimDevice& device, ServerOptions options)
    : device_(device), options_(std::move(options)), faults_(options_.faults) {}

PtyServer::~PtyServer() {
    stop();
    close();
}

QString PtyServer::escape(const QByteArray& bytes) {
    QString s;
    s.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto c = uchar(ch);
        if (c == '\\')
            s += QStringLiteral("\\\\");
        else if (c == '\n')
            s += QStringLiteral("\\n");
        else if (c == '\r')
            s += QStringLiteral("\\r");
        else if (c >= 0x20 && c < 0x7F)
            s += QLatin1Char(char(c));
        else
            s += QStringLiteral("\\x%1").arg(uint(c), 2, 16, QLatin1Char('0'));
    }
    return s;
}

bool PtyServer::open(QString* error) {
    auto fail = [&](const QString& text) {
        if (error) *error = text;
        close();
        return false;
    };
    if (master_ >= 0) return true;
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) return fail(systemError("posix_openpt"));
    if (grantpt(master_) != 0) return fail(systemError("grantpt"));
    if (unlockpt(master_) != 0) return fail(systemError("unlockpt"));
    char name[256] = {};
    if (ptsname_r(master_, name, sizeof name) != 0) return fail(systemError("ptsname_r"));
    slavePath_ = QString::fromLocal8Bit(name);
    slave_ = ::open(name, O_RDWR | O_NOCTTY);
    if (slave_ < 0) return fail(systemError("open slave"));
    termios t{};
    if (tcgetattr(slave_, &t) != 0) return fail(systemError("tcgetattr"));
    cfmakeraw(&t);
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    if (tcsetattr(slave_, TCSANOW, &t) != 0) return fail(systemError("tcsetattr"));
    const int flags = fcntl(master_, F_GETFL);
    if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) return fail(systemError("fcntl"));

    if (!options_.linkPath.isEmpty()) {
        const QByteArray link = QFile::encodeName(options_.linkPath);
        const QFileInfo existing(options_.linkPath);
        if (existing.isSymLink())
            ::unlink(link.constData()); // left over from an earlier run
        else if (existing.exists())
            return fail(QStringLiteral("%1 exists and is no symbolic link").arg(options_.linkPath));
        if (::symlink(name, link.constData()) != 0) return fail(systemError("symlink"));
        linkMade_ = true;
    }
    closed_ = false;
    return true;
}

void PtyServer::close() {
    if (linkMade_) {
        // Only our own link: another run may have replaced it meanwhile.
        if (QFileInfo(options_.linkPath).symLinkTarget() == QFileInfo(slavePath_).absoluteFilePath())
            ::unlink(QFile::encodeName(options_.linkPath).constData());
        linkMade_ = false;
    }
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
    master_ = slave_ = -1;
}

void PtyServer::addLog(const QString& line) {
    {
        std::lock_guard g(m_);
        if (log_.size() >= kMaxLog) log_.removeFirst();
        log_ << line;
    }
    if (sink_) sink_(line);
}

QStringList PtyServer::log() const {
    std::lock_guard g(m_);
    return log_;
}

QStringList PtyServer::received() const {
    std::lock_guard g(m_);
    return received_;
}

void PtyServer::setFaults(const FaultOptions& faults) {
    std::lock_guard g(m_);
    faults_.reset(faults);
}

bool PtyServer::stopping() const {
    return stop_.load() || (externalStop_ && externalStop_->load());
}

void PtyServer::start() {
    if (thread_.joinable()) return;
    stop_ = false;
    thread_ = std::thread([this] { run(); });
}

void PtyServer::stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

bool PtyServer::writeAll(const char* data, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(master_, data, n);
        if (w > 0) {
            data += w;
            n -= size_t(w);
            continue;
        }
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && errno == EAGAIN) {
            // Nobody reads the slave side and its queue is full: give it a moment.
            pollfd p{master_, POLLOUT, 0};
            if (::poll(&p, 1, 200) > 0 && !stopping()) continue;
        }
        return false;
    }
    return true;
}

// Writes the bytes so that byte i leaves no earlier than startUs + (i + 1) / rate. They
// leave in groups of about a millisecond, each when its last byte is due, as a serial
// adapter hands them on: a wake-up per byte on both sides would cost more than the wire.
bool PtyServer::sendPaced(const QByteArray& bytes, int64_t startUs) {
    if (!options_.lineSpeed || options_.bytesPerSecond <= 0) {
        sleepUntil(startUs, false);
        return writeAll(bytes.constData(), size_t(bytes.size()));
    }
    const double usPerByte = 1e6 / options_.bytesPerSecond;
    const qsizetype group = std::max(1, options_.bytesPerSecond / 1000);
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        if (stopping()) return false;
        const qsizetype next = std::min<qsizetype>(bytes.size(), sent + group);
        const int64_t dueAt = startUs + int64_t(std::ceil(double(next) * usPerByte));
        const int64_t now = nowUs();
        if (now < dueAt) {
            sleepUntil(dueAt, next == bytes.size());
            continue;
        }
        // Late (a busy machine): everything due by now goes at once.
        const auto due = std::clamp<qsizetype>(qsizetype(double(now - startUs) / usPerByte), next, bytes.size());
        if (!writeAll(bytes.constData() + sent, size_t(due - sent))) return false;
        sent = due;
        if (sent == bytes.size()) {
            const int64_t late = nowUs() - (startUs + int64_t(std::ceil(double(sent) * usPerByte)));
            lateUs_ += late;
            ++pacedReplies_;
        }
    }
    return true;
}

void PtyServer::serveLine(const QByteArray& line) {
    ++commands_;
    const int64_t arrival = nowUs();
    {
        std::lock_guard g(m_);
        received_ << escape(line);
    }
    addLog(QStringLiteral("RX ") + escape(line.left(kLineCap)));
    if (line.size() > kLineCap) addLog(QStringLiteral("EV overlong line"));

    bool hears, closing;
    {
        std::lock_guard g(m_);
        hears = faults_.hears();
        closing = faults_.closesNow();
    }
    if (!hears) {
        addLog(QStringLiteral("EV fault: not heard"));
        return;
    }
    const Response r = device_.handle(line);
    for (const auto& e : r.events)
        addLog(QStringLiteral("EV ") + e);
    QString note;
    QByteArray out;
    {
        std::lock_guard g(m_);
        out = faults_.shape(r, &note);
    }
    if (!note.isEmpty()) addLog(QStringLiteral("EV fault: ") + note);
    if (closing) {
        out.truncate(out.size() / 2);
        addLog(QStringLiteral("EV fault: closing"));
    }

    // The line itself took its time on the wire before the device could answer.
    int64_t start = arrival + int64_t(options_.latencyMs) * 1000;
    if (options_.lineSpeed && options_.bytesPerSecond > 0)
        start += int64_t((line.size() + 1) * 1e6 / options_.bytesPerSecond);
    if (!out.isEmpty()) {
        // Logged first, so whoever got the reply also finds it in the log.
        addLog(QStringLiteral("TX ") + escape(out));
        const bool ok = sendPaced(out, start);
        if (!ok && !stopping()) addLog(QStringLiteral("EV reply not delivered"));
    }
    if (closing) {
        closed_ = true;
        close();
        addLog(QStringLiteral("EV closed"));
    }
}

void PtyServer::run(const std::atomic<bool>* externalStop) {
    externalStop_ = externalStop;
#ifdef __linux__
    // Paced replies are due to the microsecond; the default slack of a timed sleep
    // (50 us) would add to every one of them.
    if (options_.lineSpeed) ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    if (master_ < 0 && !open()) return;
    QByteArray line;
    char buf[4096];
    int64_t listenUntil = 0;
    while (!stopping() && !closed_) {
        pollfd p{master_, POLLIN, 0};
        const bool listening = nowUs() < listenUntil;
        const int ready = ::poll(&p, 1, listening ? 0 : 20);
        if (listening && ready == 0) sched_yield();
        if (ready < 0 && errno != EINTR) {
            addLog(QStringLiteral("EV ") + systemError("poll"));
            break;
        }
        if (ready <= 0) continue;
        const ssize_t got = ::read(master_, buf, sizeof buf);
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            addLog(QStringLiteral("EV ") + systemError("read"));
            break;
        }
        for (ssize_t i = 0; i < got && !closed_; ++i) {
            const char c = buf[i];
            if (c == '\n' || c == '\r') {
                if (!line.isEmpty()) {
                    serveLine(line);
                    if (options_.lineSpeed) listenUntil = nowUs() + kListenUs;
                }
                line.clear();
            } else if (line.size() <= kLineCap) {
                line.append(c); // past the cap the rest of the line is dropped unread
            }
        }
    }
    externalStop_ = nullptr;
}

} // namespace quenda::sim
