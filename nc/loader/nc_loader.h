// Loading an NC file into a CNCProgram: which kind the file is, and the loop that reads
// it line by line (G-code), statement by statement (HPGL) or record by record (CAM)
// through the reader of its format, with progress, cancel and the one report at the end.
//
// This library (nc_loader) sits above the readers (nc_formats, nc_interp) and defines the
// program's loading operations (CNCProgram::LoadFromNCFile, InterpretLine,
// InterpretHpglLine, AddCamRecord), so that the program object and the readers do not
// depend on each other in a circle.
#pragma once

#include "nc/nc_program.h"

// "GCODE", "HPGL", "BNC" (a CAM file) or "" for a file of no kind (missing, 9 bytes or
// fewer, binary, or not recognised; the operator is told).
CString DetectNCFileKind(const char* path);
// Votes over at most lineLimit non-empty lines: "GCODE", "HPGL", "UNKNOWN", or "ERROR"
// when the file cannot be opened.
CString SniffNCText(const char* path, int lineLimit);

// Longest G-code line read, its line end not counted: a longer line ends the load.
constexpr int kMaxNCLineLength = 509;
