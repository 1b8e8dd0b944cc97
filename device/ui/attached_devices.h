// The attached devices: the machines the operator can send jobs to, each a device of
// the device table with the connection that reaches it, "name@connection". They are kept
// in "Parameters.ini" [AttachedDevice] as "Device1", "Device2"... in list order; the
// list ends at the first key that is missing or empty.
#pragma once

#include "platform/core.h"

// The whole [AttachedDevice] section must fit this many bytes.
constexpr int kAttachedSectionSize = 16384;

// Empties list, then adds the trimmed values of "Device1", "Device2"... up to the first
// missing or empty one.
void ReadAttachedDevices(CStringArray& list);
// Replaces the section with the entries, numbered from 1, so that keys beyond the new
// count disappear. FALSE, nothing written, when the section would not fit its size or
// the file could not be written.
BOOL WriteAttachedDevices(const CStringArray& list);

// The connection of a serial port: "COM%d:%s", the rate "38400" when none is chosen.
// The rates in the order of the baud-rate buttons.
constexpr int kBaudRates = 9;
extern const char* const kBaudRateTexts[kBaudRates];
