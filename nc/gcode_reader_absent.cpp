// Stand-in for builds without the G-code interpreter: G-code files are refused.
#include "nc/gcode_reader.h"

std::unique_ptr<CGCodeReader> CreateGCodeReader(CNCProgram&) { return nullptr; }
