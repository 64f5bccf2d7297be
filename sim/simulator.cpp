#include "sim/simulator.h"

#include <QCommandLineParser>
#include <quenda_version.h>

namespace quenda::sim {

Simulator::Simulator(SimConfig config)
    : config_(std::move(config)), device_(config_.device), server_(device_, config_.server) {}

Simulator::~Simulator() {
    stop();
}

bool Simulator::start(QString* error) {
    if (!server_.open(error)) return false;
    server_.start();
    return true;
}

void Simulator::stop() {
    server_.stop();
    server_.close();
}

bool parseArguments(const QStringList& args, SimConfig& config, QString* message) {
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Plays the LED controller on a pseudo-terminal. Prints the terminal's path on the first line."));
    p.addHelpOption();
    p.addVersionOption();
    const QCommandLineOption link("link", "Also make a symbolic link to the terminal at PATH.", "PATH");
    const QCommandLineOption state("state", "Settings file: SaveEEPROM writes it, start-up loads it.",
                                   "FILE");
    const QCommandLineOption hardware("hardware", "Hardware type reported by the application (5).", "N");
    const QCommandLineOption version("firmware-version", "Firmware version reported (5).", "N");
    const QCommandLineOption bootloader("bootloader", "Start in the bootloader.");
    const QCommandLineOption rows("rows", "Schedule rows, 0..127 (24).", "N");
    const QCommandLineOption noWater("no-water", "No water-temperature sensor (0x7FFF).");
    const QCommandLineOption noSlave("no-slave", "No slave board (0x7FFF).");
    const QCommandLineOption timeLapse("time-lapse", "Initial time-lapse factor (1).", "N");
    const QCommandLineOption chartMode("chart-mode",
                                       "Recorded quantity: 0 water, 1 board, 2 voltage, 3 slave (0).", "N");
    const QCommandLineOption pageSize("page-size", "Bootloader flash page size (128).", "N");
    const QCommandLineOption flashSize("flash-size", "Bootloader flash size (65536).", "N");
    const QCommandLineOption lower("lower-case", "Reply digits in lower case.");
    const QCommandLineOption cr("cr", "End replies with a carriage return instead of a line feed.");
    const QCommandLineOption lineSpeed("line-speed", "Pace the line at 115200 baud 8N1 (11520 bytes/s).");
    const QCommandLineOption latency("latency", "Extra delay before each reply.", "MS");
    const QCommandLineOption silent("silent", "Fault: never answer.");
    const QCommandLineOption answerAfter("answer-after", "Fault: ignore the first N commands.", "N");
    const QCommandLineOption garbage("garbage", "Fault: non-hexadecimal bytes in replies.");
    const QCommandLineOption wrongEcho("wrong-echo", "Fault: replies echo another code.");
    const QCommandLineOption truncate("truncate", "Fault: replies cut to half.");
    const QCommandLineOption noAck("no-ack", "Fault: writes are not acknowledged.");
    const QCommandLineOption closeAfter("close-after",
                                        "Fault: close the terminal while answering command N+1.", "N");
    const QCommandLineOption rate("fault-rate", "Share of replies the reply faults hit, 0..1 (1).", "P");
    const QCommandLineOption skip("fault-skip", "The first N commands are never faulted.", "N");
    const QCommandLineOption seed("seed", "Seed of the fault decisions (1).", "N");
    const QCommandLineOption log("log", "Log every line received and sent (RX/TX/EV) to stderr.");
    const QCommandLineOption logFile("log-file", "Log to FILE instead of stderr (implies --log).", "FILE");
    p.addOptions({link,       state,     hardware,    version,   bootloader, rows,     noWater,
                  noSlave,    timeLapse, chartMode, pageSize,    flashSize, lower,      cr,       lineSpeed,
                  latency,    silent,    answerAfter, garbage,   wrongEcho,  truncate, noAck,
                  closeAfter, rate,      skip,        seed,      log,        logFile});
    auto fail = [&](const QString& text) {
        if (message) *message = text;
        return false;
    };
    if (!p.parse(args)) return fail(p.errorText());
    if (p.isSet(QStringLiteral("help"))) {
        if (message) *message = p.helpText();
        return false;
    }
    if (p.isSet(QStringLiteral("version"))) {
        if (message) *message = QStringLiteral("quenda-sim " QUENDA_VERSION);
        return false;
    }
    if (!p.positionalArguments().isEmpty())
        return fail(QStringLiteral("Unexpected argument: %1").arg(p.positionalArguments().first()));

    bool ok = true;
    auto number = [&](const QCommandLineOption& o, long long lo, long long hi,
                      long long fallback) -> long long {
        if (!p.isSet(o)) return fallback;
        bool good = false;
        const long long v = p.value(o).toLongLong(&good, 0);
        if (!good || v < lo || v > hi) {
            if (ok && message)
                *message = QStringLiteral("Bad value for --%1: %2").arg(o.names().first(), p.value(o));
            ok = false;
            return fallback;
        }
        return v;
    };
    DeviceOptions& d = config.device;
    d.hardwareType = uint8_t(number(hardware, 0, 255, d.hardwareType));
    d.version = uint8_t(number(version, 0, 255, d.version));
    d.startInBootloader = p.isSet(bootloader);
    // The row index travels as a signed byte: rows from 128 on would arrive negative.
    if (p.isSet(rows) && p.value(rows).toLongLong(nullptr, 0) > kMaxRows)
        return fail(QStringLiteral("Bad value for --rows: %1 (at most %2: the row index on the line is a "
                                   "signed byte)")
                        .arg(p.value(rows))
                        .arg(kMaxRows));
    d.rows = int(number(rows, 0, kMaxRows, d.rows));
    d.waterSensor = !p.isSet(noWater);
    d.slave = !p.isSet(noSlave);
    d.timeLapse = int(number(timeLapse, 1, 255, d.timeLapse));
    d.chartMode = int(number(chartMode, 0, 3, d.chartMode));
    d.pageSize = uint16_t(number(pageSize, 1, 65535, d.pageSize));
    d.flashSize = uint32_t(number(flashSize, 2048, 1 << 24, d.flashSize));
    d.lowerCaseHex = p.isSet(lower);
    d.lineEnd = p.isSet(cr) ? '\r' : '\n';
    if (p.isSet(state)) d.statePath = p.value(state);

    ServerOptions& s = config.server;
    s.lineSpeed = p.isSet(lineSpeed);
    s.latencyMs = int(number(latency, 0, 60000, s.latencyMs));
    if (p.isSet(link)) s.linkPath = p.value(link);
    FaultOptions& f = s.faults;
    f.silent = p.isSet(silent);
    f.answerAfter = int(number(answerAfter, 0, 1 << 30, f.answerAfter));
    f.garbage = p.isSet(garbage);
    f.wrongEcho = p.isSet(wrongEcho);
    f.truncate = p.isSet(truncate);
    f.noAck = p.isSet(noAck);
    f.closeAfter = int(number(closeAfter, 0, 1 << 30, f.closeAfter));
    f.skip = int(number(skip, 0, 1 << 30, f.skip));
    f.seed = uint32_t(number(seed, 0, 0xFFFFFFFFLL, f.seed));
    if (p.isSet(rate)) {
        bool good = false;
        const double v = p.value(rate).toDouble(&good);
        if (!good || v < 0 || v > 1)
            return fail(QStringLiteral("Bad value for --fault-rate: %1").arg(p.value(rate)));
        f.rate = v;
    }
    config.log = p.isSet(log) || p.isSet(logFile);
    if (p.isSet(logFile)) config.logFile = p.value(logFile);
    return ok;
}

} // namespace quenda::sim
