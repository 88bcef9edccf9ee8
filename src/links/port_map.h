#pragma once

#include <QString>

// Serial ports are offered as numbers 1 to 16. On Linux each number stands
// for one device, chosen by a fixed table that reaches USB adapters first
// (the usual RS-485 converters), then USB modems, then built-in ports:
//   1-8 -> /dev/ttyUSB0-7, 9-12 -> /dev/ttyACM0-3, 13-16 -> /dev/ttyS0-3.
// When the environment variable AMPWRIGHT_COM_DIR names a folder, number n
// stands for the entry COM<n> of that folder instead (a link to a
// pseudo-terminal, say), whether it exists or not: the folder is then the
// whole table. Tests and the demo use this to reach the simulated meter.
namespace links {

inline constexpr int kFirstPort = 1;
inline constexpr int kLastPort = 16;

// The device of port number n, or an empty text for a number outside 1..16.
QString deviceForPort(int number);

} // namespace links
