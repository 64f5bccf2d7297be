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

namespace {

struct OptionText {
    const char* name;
    const char* help;
    const char* value; // empty: a switch
};

constexpr OptionText kOptions[] = {
    {"link", "Also make a symbolic link to the terminal at PATH.", "PATH"},
    {"state", "Settings file: SaveEEPROM writes it, start-up loads it.", "FILE"},
    {"hardware", "Hardware type reported by the application (5).", "N"},
    {"firmware-version", "Firmware version reported (5).", "N"},
    {"bootloader", "Start in the bootloader.", ""},
    {"rows", "Schedule rows, 0..127 (24).", "N"},
    {"no-water", "No water-temperature sensor (0x7FFF).", ""},
    {"no-slave", "No slave board (0x7FFF).", ""},
    {"time-lapse", "Initial time-lapse factor (1).", "N"},
    {"chart-mode", "Recorded quantity: 0 water, 1 board, 2 voltage, 3 slave (0).", "N"},
    {"page-size", "Bootloader flash page size (128).", "N"},
    {"flash-size", "Bootloader flash size (65536).", "N"},
    {"lower-case", "Reply digits in lower case.", ""},
    {"cr", "End replies with a carriage return instead of a line feed.", ""},
    {"line-speed", "Pace the line at 115200 baud 8N1 (11520 bytes/s).", ""},
    {"latency", "Extra delay before each reply.", "MS"},
    {"silent", "Fault: never answer.", ""},
    {"answer-after", "Fault: ignore the first N commands.", "N"},
    {"garbage", "Fault: non-hexadecimal bytes in replies.", ""},
    {"wrong-echo", "Fault: replies echo another code.", ""},
    {"truncate", "Fault: replies cut to half.", ""},
    {"no-ack", "Fault: writes are not acknowledged.", ""},
    {"close-after", "Fault: close the terminal while answering command N+1.", "N"},
    {"fault-rate", "Share of replies the reply faults hit, 0..1 (1).", "P"},
    {"fault-skip", "The first N commands are never faulted.", "N"},
    {"seed", "Seed of the fault decisions (1).", "N"},
    {"log", "Log every line received and sent (RX/TX/EV) to stderr.", ""},
    {"log-file", "Log to FILE instead of stderr (implies --log).", "FILE"},
};

void addOptions(QCommandLineParser& p) {
    p.setApplicationDescription(QStringLiteral(
        "Plays the LED controller on a pseudo-terminal. Prints the terminal's path on the first line."));
    p.addHelpOption();
    p.addVersionOption();
    for (const OptionText& o : kOptions)
        p.addOption(QCommandLineOption(QString::fromLatin1(o.name), QString::fromLatin1(o.help),
                                       QString::fromLatin1(o.value)));
}

// The parsed options read by name; the first bad value is the one reported.
class Arguments {
public:
    explicit Arguments(const QCommandLineParser& p) : p_(p) {}

    bool isSet(const char* name) const { return p_.isSet(QString::fromLatin1(name)); }
    QString value(const char* name) const { return p_.value(QString::fromLatin1(name)); }

    long long number(const char* name, long long lo, long long hi, long long fallback) {
        if (!isSet(name)) return fallback;
        bool good = false;
        const long long v = value(name).toLongLong(&good, 0);
        if (good && v >= lo && v <= hi) return v;
        if (ok_) error_ = QStringLiteral("Bad value for --%1: %2").arg(QLatin1String(name), value(name));
        ok_ = false;
        return fallback;
    }
    // A failure that ends reading at once, with its own message.
    bool fail(const QString& text) {
        error_ = text;
        ok_ = false;
        return false;
    }
    bool ok() const { return ok_; }
    const QString& error() const { return error_; }

private:
    const QCommandLineParser& p_;
    bool ok_ = true;
    QString error_;
};

bool readDevice(Arguments& a, DeviceOptions& d) {
    d.hardwareType = uint8_t(a.number("hardware", 0, 255, d.hardwareType));
    d.version = uint8_t(a.number("firmware-version", 0, 255, d.version));
    d.startInBootloader = a.isSet("bootloader");
    // The row index travels as a signed byte: rows from 128 on would arrive negative.
    if (a.isSet("rows") && a.value("rows").toLongLong(nullptr, 0) > kMaxRows)
        return a.fail(QStringLiteral("Bad value for --rows: %1 (at most %2: the row index on the line is a "
                                     "signed byte)")
                          .arg(a.value("rows"))
                          .arg(kMaxRows));
    d.rows = int(a.number("rows", 0, kMaxRows, d.rows));
    d.waterSensor = !a.isSet("no-water");
    d.slave = !a.isSet("no-slave");
    d.timeLapse = int(a.number("time-lapse", 1, 255, d.timeLapse));
    d.chartMode = int(a.number("chart-mode", 0, 3, d.chartMode));
    d.pageSize = uint16_t(a.number("page-size", 1, 65535, d.pageSize));
    d.flashSize = uint32_t(a.number("flash-size", 2048, 1 << 24, d.flashSize));
    d.lowerCaseHex = a.isSet("lower-case");
    d.lineEnd = a.isSet("cr") ? '\r' : '\n';
    if (a.isSet("state")) d.statePath = a.value("state");
    return true;
}

bool readFaults(Arguments& a, FaultOptions& f) {
    f.silent = a.isSet("silent");
    f.answerAfter = int(a.number("answer-after", 0, 1 << 30, f.answerAfter));
    f.garbage = a.isSet("garbage");
    f.wrongEcho = a.isSet("wrong-echo");
    f.truncate = a.isSet("truncate");
    f.noAck = a.isSet("no-ack");
    f.closeAfter = int(a.number("close-after", 0, 1 << 30, f.closeAfter));
    f.skip = int(a.number("fault-skip", 0, 1 << 30, f.skip));
    f.seed = uint32_t(a.number("seed", 0, 0xFFFFFFFFLL, f.seed));
    if (a.isSet("fault-rate")) {
        bool good = false;
        const double v = a.value("fault-rate").toDouble(&good);
        if (!good || v < 0 || v > 1)
            return a.fail(QStringLiteral("Bad value for --fault-rate: %1").arg(a.value("fault-rate")));
        f.rate = v;
    }
    return true;
}

bool readServer(Arguments& a, ServerOptions& s) {
    s.lineSpeed = a.isSet("line-speed");
    s.latencyMs = int(a.number("latency", 0, 60000, s.latencyMs));
    if (a.isSet("link")) s.linkPath = a.value("link");
    return readFaults(a, s.faults);
}

} // namespace

bool parseArguments(const QStringList& args, SimConfig& config, QString* message) {
    QCommandLineParser p;
    addOptions(p);
    auto answer = [&](const QString& text) {
        if (message) *message = text;
        return false;
    };
    if (!p.parse(args)) return answer(p.errorText());
    if (p.isSet(QStringLiteral("help"))) return answer(p.helpText());
    if (p.isSet(QStringLiteral("version"))) return answer(QStringLiteral("quenda-sim " QUENDA_VERSION));
    if (!p.positionalArguments().isEmpty())
        return answer(QStringLiteral("Unexpected argument: %1").arg(p.positionalArguments().first()));

    Arguments a(p);
    if (readDevice(a, config.device) && readServer(a, config.server)) {
        config.log = a.isSet("log") || a.isSet("log-file");
        if (a.isSet("log-file")) config.logFile = a.value("log-file");
    }
    return a.ok() || answer(a.error());
}

} // namespace quenda::sim
