#include "app/quit_signals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace quenda {

#ifdef Q_OS_UNIX
namespace {
int g_pipe[2] = {-1, -1};
struct sigaction g_previous[2];
constexpr int kSignals[2] = {SIGTERM, SIGINT};

void onSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    // A full pipe already holds a pending request; nothing more to do.
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[0], &byte, 1);
    errno = saved;
}
} // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
    if (g_pipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0) return;
    for (int fd : g_pipe) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    notifier_ = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &QuitSignals::readPipe);
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int i = 0; i < 2; ++i) ::sigaction(kSignals[i], &sa, &g_previous[i]);
}

QuitSignals::~QuitSignals() {
    if (!notifier_) return;
    for (int i = 0; i < 2; ++i) ::sigaction(kSignals[i], &g_previous[i], nullptr);
    delete notifier_;
    notifier_ = nullptr;
    for (int& fd : g_pipe) {
        ::close(fd);
        fd = -1;
    }
}

void QuitSignals::readPipe() {
    unsigned char byte = 0;
    int last = 0;
    while (::read(g_pipe[1], &byte, 1) == 1) last = byte;
    if (last) emit quitRequested(last);
}
#else
QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {}
QuitSignals::~QuitSignals() = default;
void QuitSignals::readPipe() {}
#endif

} // namespace quenda
