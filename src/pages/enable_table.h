// Which controls are usable in which link state: one table, evaluated by
// EnableControls over the window's controls by name. Names of controls that a
// window lacks are skipped.
#pragma once

#include <QStringList>
#include <cstdint>
#include <vector>

namespace quenda {

enum class EnableWhen {
    Connected,
    ConnectedManual,   // and Mode is Manual
    FanOffAllowed,     // and the fan is not sensor-controlled (FanMode != 1)
    WeatherTrigger,    // and the mode is Auto or Geo
    Sensor,            // connected and the water sensor is present
    SlaveSensor,       // connected and a slave reports a temperature
    WaterHysteresis,   // sensor and the fan is not guided by brightness (rbtFMOLED not selected)
};

struct EnableInputs {
    bool connected = false;
    uint8_t mode = 0;
    int16_t tempWater = 0x7FFF;
    int16_t tempSlave = 0x7FFF;
    uint8_t fanMode = 0;
    bool fanByBrightness = false; // rbtFMOLED checked
};

struct EnableRule {
    QStringList names;
    EnableWhen when;
};

bool enabledFor(EnableWhen when, const EnableInputs& in);
const std::vector<EnableRule>& enableTable();

} // namespace quenda
