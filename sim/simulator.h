// The simulated controller on a pseudo-terminal: device, server, options.
//
// In a test, in-process (the server runs on a thread of its own):
//
//   quenda::sim::SimConfig cfg;             // application, 24 rows, no faults
//   cfg.device.rows = 12;
//   cfg.server.faults.noAck = true;         // optional fault injection
//   quenda::sim::Simulator sim(cfg);
//   QVERIFY(sim.start());                   // creates the pty, serves it
//   QtSerialPort port(400);
//   port.open(sim.portPath());
//   ...
//   auto rec = sim.device().records();      // thread-safe snapshot
//   QCOMPARE(rec.info.Channel[0], 2048);
//   sim.device().update([](quenda::sim::Records& r) { r.config.Mode = 0; });
//   QVERIFY(sim.server().received().contains("81"));   // lines that reached the device
//   sim.server().setFaults({.silent = true});            // change faults while running
//   sim.stop();                             // also done by the destructor
//
// As a process: QProcess on $QUENDA_BIN/quenda-sim with the options of
// parseArguments(); its first output line is the pty path. --log writes the
// server's RX/TX/EV lines to stderr (or --log-file). SIGTERM or SIGINT end it.
#pragma once

#include "sim/pty_server.h"
#include "sim/sim_device.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace quenda::sim {

struct SimConfig {
    DeviceOptions device;
    ServerOptions server;
    bool log = false; // RX/TX/EV lines to stderr or logFile
    QString logFile;
};

// Command line of quenda-sim (args[0] is the program). False with a message on error
// or for --help and --version (message = the text to print).
bool parseArguments(const QStringList& args, SimConfig& config, QString* message);

class Simulator {
public:
    explicit Simulator(SimConfig config = {});
    ~Simulator();

    bool start(QString* error = nullptr);
    void stop();
    QString portPath() const { return server_.portPath(); }

    SimDevice& device() { return device_; }
    PtyServer& server() { return server_; }
    const SimConfig& config() const { return config_; }

private:
    SimConfig config_;
    SimDevice device_;
    PtyServer server_;
};

} // namespace quenda::sim
