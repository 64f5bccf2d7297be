// The demo device: the bundled device simulator, run inside the tool on a
// pseudo-terminal at line speed, so the tool can be tried without hardware.
// Window's thread only; the simulator serves the terminal on a thread of its own.
#pragma once

#include <QString>
#include <memory>

namespace quenda {

namespace sim {
class Simulator;
}

class DemoDevice {
public:
    // What the remembered port holds for the demo device (also its command-line switch).
    static constexpr const char* kRememberedName = "-demo";

    DemoDevice();
    ~DemoDevice(); // stops the simulator

    // Starts the simulator unless it runs; false with the reason when it cannot.
    bool start(QString* error = nullptr);
    bool running() const;
    // The port entry to connect to: terminal path and the demo device's name.
    QString entry() const;
    // True for the entry above while the simulator runs.
    bool isEntry(const QString& portText) const;

private:
    std::unique_ptr<sim::Simulator> sim_;
};

} // namespace quenda
