// Why a serial device that exists cannot be opened for lack of permission, and how the
// user fixes it: usually membership of the device's group (dialout on Debian).
#pragma once

#include <QString>

namespace quenda {

// One log line for a port name that is an existing device file the process may not
// read and write; empty otherwise (no such file, a Windows name, or access allowed).
QString PortAccessAdvice(const QString& portName);

} // namespace quenda
