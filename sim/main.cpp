// quenda-sim: the simulated controller on a pseudo-terminal (see simulator.h).
#include "sim/simulator.h"

#include <QCoreApplication>
#include <QFile>
#include <atomic>
#include <csignal>
#include <cstdio>

namespace {
std::atomic<bool> g_stop{false};
void onSignal(int) {
    g_stop = true;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    quenda::sim::SimConfig config;
    QString message;
    if (!quenda::sim::parseArguments(app.arguments(), config, &message)) {
        const QStringList& a = app.arguments();
        const bool help = a.contains(QStringLiteral("--help")) || a.contains(QStringLiteral("-h")) ||
                          a.contains(QStringLiteral("--version")) || a.contains(QStringLiteral("-v"));
        std::fprintf(help ? stdout : stderr, "%s\n", qPrintable(message));
        return help ? 0 : 2;
    }

    FILE* logOut = stderr;
    if (!config.logFile.isEmpty()) {
        logOut = std::fopen(QFile::encodeName(config.logFile).constData(), "w");
        if (!logOut) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(config.logFile));
            return 2;
        }
    }

    quenda::sim::SimDevice device(config.device);
    quenda::sim::PtyServer server(device, config.server);
    if (config.log)
        server.setLogSink([logOut](const QString& line) {
            std::fprintf(logOut, "%s\n", line.toLocal8Bit().constData());
            std::fflush(logOut);
        });
    QString error;
    if (!server.open(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s\n", qPrintable(server.slavePath()));
    std::fflush(stdout);

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);

    server.run(&g_stop);
    server.close();
    if (logOut != stderr) std::fclose(logOut);
    return 0;
}
