// The program's command line: a port name and the switches -expert, -rc433,
// -debug, -english, -german, -demo (with "-" or "/"). An argument starting with
// "/" that is no switch is a path (/tmp, /dev/ttyUSB0), hence a port.
#pragma once

#include <QString>
#include <QStringList>

namespace quenda {

struct CommandLine {
    QString port;         // empty: none given
    bool expert = false;  // show the expert tabs
    bool rc433 = false;   // show the 433 MHz tab
    bool debug = false;
    int language = -1;    // -1 system, 0 English, 1 German
    bool demo = false;    // connect to the built-in demo device
    QStringList logLines; // "Parameter: ..." per argument, in order; a line for each unknown switch
};

// A port name as the user gives it: Windows names (com3) are upper-cased, paths and
// device names on other systems are kept as they are, since they are case-sensitive.
QString normalisePortName(const QString& arg);

CommandLine parseCommandLine(const QStringList& args); // args without the program name

} // namespace quenda
