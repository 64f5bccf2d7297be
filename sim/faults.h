// Line faults between the simulated device and the tool: silence, late answers and
// mangled replies. Every decision comes from a seeded generator, so a run with the
// same seed and the same commands fails the same way.
#pragma once

#include "sim/sim_device.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <random>

namespace quenda::sim {

struct FaultOptions {
    bool silent = false; // never answer anything
    int answerAfter = 0; // the first N commands go unheard
    bool garbage =
        false; // read replies carry non-hexadecimal bytes (echo and line end kept); acks a random byte
    bool wrongEcho = false; // read replies echo the next code ("81" answered as "82...")
    bool truncate = false;  // read replies cut to half their length
    bool noAck = false;     // writes get no acknowledgement
    int closeAfter = -1;    // after N answered commands, the next reply is cut and the pty closed
    double rate = 1.0;      // share of replies the reply faults hit (garbage, echo, truncate, ack)
    int skip = 0;           // the first N commands are never faulted (identification can succeed)
    uint32_t seed = 1;

    bool replyFaults() const { return garbage || wrongEcho || truncate || noAck; }
};

class FaultInjector {
public:
    explicit FaultInjector(FaultOptions o = {}) { reset(o); }
    void reset(const FaultOptions& o);
    const FaultOptions& options() const { return o_; }

    // Counts a command; false when the device does not hear it at all.
    bool hears();
    // True when this command's reply is cut short and the pty closed behind it.
    bool closesNow() const;
    // The bytes that really go out for a response; note names the fault, empty if none.
    QByteArray shape(const Response& r, QString* note);

private:
    FaultOptions o_;
    std::mt19937 rng_;
    int count_ = 0; // commands since the options were set
};

} // namespace quenda::sim
