// The device's read commands with their payload sizes, written out by hand rather
// than taken from the record types, so that a changed record shows up as a failure.
#pragma once

#include <QTest>
#include <cstdint>

namespace quenda::testing {

struct ReadCommand {
    const char* name;
    uint8_t code;
    int n; // payload bytes of the reply
};

inline constexpr ReadCommand kReadCommands[] = {
    {"GetDevice", 0x80, 2},    {"GetInfo", 0x81, 52},   {"GetConfig", 0x82, 31},
    {"GetSchedule", 0x83, 32}, {"GetExpert", 0x85, 56}, {"GetExpertWeather", 0x86, 69},
    {"GetChart", 0x87, 80},    {"GetHealth", 0x88, 29},
};

// Data columns "code" and "n" (both int), one row per read command.
inline void addReadCommandRows() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("n");
    for (const ReadCommand& c : kReadCommands)
        QTest::newRow(c.name) << int(c.code) << c.n;
}

} // namespace quenda::testing
