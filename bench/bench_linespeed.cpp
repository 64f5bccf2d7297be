// How close the simulator's paced line comes to 115200 baud 8N1 (11520 bytes/s),
// measured through the real port path: QtSerialPort on the pty and the protocol.
//   bench_linespeed [commands]
#include "link/protocol.h"
#include "link/qt_serial_port.h"
#include "sim/simulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

using namespace quenda;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int commands = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;

    sim::SimConfig config;
    config.server.lineSpeed = true;
    sim::Simulator simulator(config);
    QString error;
    if (!simulator.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    QtSerialPort port;
    if (!port.open(simulator.portPath())) {
        std::fprintf(stderr, "port: %s\n", qPrintable(port.errorString()));
        return 1;
    }
    Protocol proto(port, [](const QString& s) { std::fprintf(stderr, "%s\n", qPrintable(s)); });

    // Reads: GetChart, 3 characters out and 163 back. Writes: SetExpertWeather, 141 out and 1 back.
    struct Run {
        const char* what;
        qint64 bytes = 0, ns = 0;
        int failed = 0;
    } reads{"GetChart"}, writes{"SetExpertWeather"};
    QElapsedTimer t;
    for (int i = 0; i < commands; ++i) {
        t.start();
        const bool ok = proto.Query(0x87, 80);
        reads.ns += t.nsecsElapsed();
        reads.bytes += 3 + 163;
        reads.failed += !ok;
    }
    if (!proto.Query(0x86, 69)) return 1;
    const TransferBuffer weather = proto.buffer();
    for (int i = 0; i < commands; ++i) {
        t.start();
        const bool ok = proto.Send(weather, 0x06, 69);
        writes.ns += t.nsecsElapsed();
        writes.bytes += 141 + 1;
        writes.failed += !ok;
    }
    simulator.stop();

    std::printf("target: 11520 bytes/s (115200 baud, 8N1)\n");
    for (const Run* r : {&reads, &writes}) {
        const double rate = r->bytes / (r->ns / 1e9);
        std::printf("%-17s %5d commands, %7lld bytes in %8.3f s: %8.0f bytes/s (%.1f %% of target), %.2f ms "
                    "per command, %d failed\n",
                    r->what, commands, static_cast<long long>(r->bytes), r->ns / 1e9, rate,
                    100.0 * rate / 11520, r->ns / 1e6 / commands, r->failed);
    }
    return reads.failed + writes.failed ? 1 : 0;
}
