// The HPGL reader: plotter commands into path elements and tags of an NC program.
//
// Pen-up moves become rapids, pen-down moves feeds, AA/AR arcs arcs in the XY plane;
// a few parameter commands become tags that the job engine passes on to the controller.
// Coordinates are plotter units (the program's HPGL scale, mm each); whether a
// coordinate list holds 2D or 3D points is settled once per file, from ZZ, from the
// first list, or by asking (format_question.h). The reader keeps its state in the
// program (HpglState), so a reader object may be made per line.
#pragma once

#include <string>

#include "nc/read_context.h"
#include "nc/text_line_file.h"

// Longest HPGL statement read (characters); plotter drivers put whole polylines into
// one PD statement.
constexpr int kMaxHpglStatement = 1 << 20;

class CHpglReader {
 public:
  explicit CHpglReader(CNCProgram& program) : m_ctx(program) {}

  // The commands of `text` (statements ending with ";"; text after the last ";" is
  // ignored). FALSE when the program had already ended (the text is ignored) or a fatal
  // error stopped reading.
  BOOL InterpretHpglLine(int line, const char* text);
  // The coordinate list of a PA/PR/PU/PD command (its text up to the first ";") into
  // points; TRUE when at least one was read. Settles the 2D/3D form of the file while it
  // is unknown.
  BOOL SplitHpglItems(CArray<Vec3, const Vec3&>& points, BYTE& axes, const char* command);
  // AA/AR parameters (the command up to its ";"); FALSE without a centre x and y.
  BOOL ParseHpglNumberList(double& cx, double& cy, double& sweep_deg, const char* command);

 private:
  // Each returns false when the command is refused (a value that is not a finite number).
  bool ExecutePoints(const CArray<Vec3, const Vec3&>& points, BYTE axes, bool relative);
  bool ExecuteArc(const char* command, bool relative);

  CNCReadContext m_ctx;
  CArray<Vec3, const Vec3&> m_aPoints;  // the coordinate list of the pen command being read
};

// Reads an HPGL file statement by statement. A statement runs to its ";", whatever the
// file's line ends (plotters often write a whole plot on one line); line ends inside a
// statement are dropped. Text after the last ";" is no statement.
class CHpglStatementReader {
 public:
  enum Result { kStatement, kEnd, kTooLong, kNul, kUnterminated };

  explicit CHpglStatementReader(CTextLineFile& file) : m_file(file) {}

  // The next statement, its ";" included, and the line it starts on. kTooLong: longer
  // than kMaxHpglStatement (skipped up to its ";"); kNul: it held a NUL byte (skipped);
  // kUnterminated: the file ends in text with a letter and no ";" after it (in
  // `statement`, cut at kMaxHpglStatement), which is no statement either.
  Result Next(std::string& statement, int* line);

 private:
  CTextLineFile& m_file;
  int m_nLine = 1;  // line of the next byte
};
