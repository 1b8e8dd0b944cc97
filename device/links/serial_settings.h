// What a serial connection string may name, and the port settings derived from it.
//
// "COM%d:%s": a port COM1..COM20 and a baud rate written as a plain decimal number.
// Anything else is refused before a device is touched, so that "COM21" or "COM3:fast"
// never opens some other port or rate.
#pragma once

#include "platform/core.h"

constexpr int kSerialPortFirst = 1;
constexpr int kSerialPortLast = 20;

// The port number of "COMn" (any case, n in 1..20, nothing after it); 0 otherwise.
int ParseSerialPortName(const char* name);
// The baud rate of a connection string's argument: the number for a text of decimal
// digits only (blanks around it allowed); 0 for anything else (an empty text too) or a
// rate above 4,000,000.
int ParseSerialBaudRate(const char* text);
// The write time-out multiplier the port gets: 19200 / baud ms per byte (2 at 9600,
// 1 at 19200, 0 from 38400 up); 0 for a rate that is not positive.
DWORD SerialWriteMultiplier(int baud);
// Wire time of a number of bytes at a baud rate, at 10 bits a byte (start, 8 data,
// stop), in microseconds.
double SerialWireTime_us(int bytes, int baud);
