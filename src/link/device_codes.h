// The controller's codes, named once: modes, option and state bits, and the command
// codes of the serial protocol (shared by the link and the device simulator).
#pragma once

#include <cstdint>

namespace quenda {

// TConfig::Mode.
enum class Mode : uint8_t { Manual = 0, Auto = 1, Geo = 2, RGBDemo = 3, Flash = 4 };
inline constexpr int kModeCount = 5;
constexpr bool isMode(uint8_t stored, Mode m) { return stored == static_cast<uint8_t>(m); }
// Clouds and thunderstorms run in these modes only.
constexpr bool weatherMode(uint8_t stored) { return isMode(stored, Mode::Auto) || isMode(stored, Mode::Geo); }

// TConfig::Flag; other bits are carried as read.
namespace Flag {
inline constexpr uint8_t StepBig = 0x01;
inline constexpr uint8_t Display20x4 = 0x02;
inline constexpr uint8_t Fahrenheit = 0x04;
inline constexpr uint8_t Clock12h = 0x08;
} // namespace Flag

// TInfo::ActiveFlags.
namespace ActiveFlags {
inline constexpr uint8_t Cloud = 0x01;
inline constexpr uint8_t Storm = 0x02;
inline constexpr uint8_t Cooler = 0x04;
inline constexpr uint8_t Heater = 0x08;
inline constexpr uint8_t Timer = 0x20;
} // namespace ActiveFlags

// TInfo::StatusFlags.
namespace StatusFlags {
inline constexpr uint8_t Saving = 0x10; // the device writes its EEPROM
} // namespace StatusFlags

// TInfo::ErrorFlags.
namespace ErrorBit {
inline constexpr uint8_t Overtemperature = 0x01;
inline constexpr uint8_t Undervoltage = 0x02;
inline constexpr uint8_t Quartz = 0x04;
inline constexpr uint8_t Crc = 0x08;
inline constexpr uint8_t RamFull = 0x10;
inline constexpr uint8_t TempBoard = 0x20;
inline constexpr uint8_t Rtc = 0x40;
inline constexpr uint8_t Pwm = 0x80;
} // namespace ErrorBit

// Command codes: reads have bit 7 set, writes are the same record's code without it.
namespace Cmd {
inline constexpr uint8_t SetInfo = 0x01;
inline constexpr uint8_t SetConfig = 0x02;
inline constexpr uint8_t SetSchedule = 0x03;
inline constexpr uint8_t SetExpert = 0x05;
inline constexpr uint8_t SetExpertWeather = 0x06;
inline constexpr uint8_t Special = 0x7F;
inline constexpr uint8_t GetDevice = 0x80;
inline constexpr uint8_t GetInfo = 0x81;
inline constexpr uint8_t GetConfig = 0x82;
inline constexpr uint8_t GetSchedule = 0x83;
inline constexpr uint8_t GetExpert = 0x85;
inline constexpr uint8_t GetExpertWeather = 0x86;
inline constexpr uint8_t GetChart = 0x87;
inline constexpr uint8_t GetHealth = 0x88;
// The bootloader's own codes.
inline constexpr uint8_t BootGetDevice = 0x80;
inline constexpr uint8_t BootGetInfo = 0x81;
inline constexpr uint8_t BootWriteBlock = 0x02;
inline constexpr uint8_t BootReset = 0x01;
} // namespace Cmd

// The payload of Cmd::BootReset.
inline constexpr int kBootResetBytes = 6;

// The one-byte argument of Cmd::Special.
namespace Special {
inline constexpr uint8_t EnterBootloader = 0x00;
inline constexpr uint8_t SaveEEPROM = 0x01;
inline constexpr uint8_t ToggleCloud = 0x02;
inline constexpr uint8_t ToggleStorm = 0x03;
inline constexpr uint8_t LoadReef = 0x04;
} // namespace Special

} // namespace quenda
