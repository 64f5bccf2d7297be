#include "app/demo_device.h"

#include "lang/texts.h"
#include "link/link_thread.h"
#include "sim/simulator.h"

namespace quenda {

DemoDevice::DemoDevice() = default;

DemoDevice::~DemoDevice() {
    if (sim_) sim_->stop();
}

bool DemoDevice::start(QString* error) {
    if (running()) return true;
    sim::SimConfig cfg;
    cfg.server.lineSpeed = true; // as slow as a real device's line
    auto s = std::make_unique<sim::Simulator>(cfg);
    if (!s->start(error)) return false;
    sim_ = std::move(s);
    return true;
}

bool DemoDevice::running() const { return sim_ && !sim_->portPath().isEmpty(); }

QString DemoDevice::entry() const {
    if (!running()) return QString();
    return sim_->portPath() + QStringLiteral(" (") + Msg(QStringLiteral("DemoDevice")) + QLatin1Char(')');
}

bool DemoDevice::isEntry(const QString& portText) const {
    return running() && TthdCom::PortNameOf(portText) == sim_->portPath();
}

} // namespace quenda
