#include "nc/interp/tests/gcode_generator.h"

namespace interp_testing {

namespace {

const char* const kCorpus[] = {
    "%",
    "(relief raster)",
    "G21 G90 G17",
    "G0 Z5.000",
    "T1 M6",
    "S18000 M3",
    "F1200",
    "G1 X12.200 Y3.400 Z-1.2345",
    "G0 X0.000 Y0.200",
    "G3 X10.4 Y5.2 I-3.5 J1.25",
    "G2 X10 Y0 R5",
    "G2 X10 Y0 R-5 F600",
    "G18 G2 X5 Z0 I2.5 K0",
    "G19 G3 Y5 Z5 R5",
    "G0 Z10 (lift)",
    "G81 X5 Y5 Z-2 R1 F150",
    "X7.5 Y2.5",
    "G83 X1 Y1 Z-12 R1 Q2 F120",
    "G82 X1 Z-1 R1 P0.5",
    "G84 X1 Z-1 R1",
    "G87 X1 Z-1 R1 I1 J0 K0.5",
    "G91 G81 X10 Z-3 R-1 L3",
    "G98 G99 G80",
    "G4 P1.5",
    "G100 P2 D3 Y5",
    "G38.2 X1 Y2",
    "G20 G0 X1",
    "#1=2 #2=[#1*3] #<_depth>=-5.0",
    "#<i> = [#<i> + 1]",
    "G1 X[#1 + #<_depth> * cos[30]] Y[atan[1]/[2]]",
    "G1 X[sqrt[2] ** 2 mod 3] Y[round[2.5] + fix[-1.5] + fup[0.1]]",
    "G1 Z[1 lt 2 and 3 ge 2 or 0 xor 1]",
    "G1 X[rand[0] / 32767] Y[srand[5]]",
    "o100 sub",
    "  G1 X[#1] Y[#2]",
    "o100 endsub",
    "o100 call [1] [2] [3]",
    "o101 while [#<i> lt 3]",
    "o101 endwhile",
    "o102 do",
    "o102 while [#1 gt 0]",
    "o103 if [#1 eq 2]",
    "o103 elseif [#1 ne 2]",
    "o103 else",
    "o103 endif",
    "o104 repeat [2.5]",
    "o104 endrepeat",
    "o101 break",
    "o101 continue",
    "o100 return",
    "o<named> sub",
    "o<named> call",
    "(@T@T3:1,2,5)",
    "G1 (a (b) c) X1",
    "/G1 X5",
    "M101 M215 M48 M49 M7 M8 M9",
    "M0",
    "E5 G1 X1",
    "G1 G0 X1",
    "G10 L2 P1",
    "G53 G0 X1",
    "N10 G1 X1 D1 H1",
};

const char* const kGCodes[] = {"0",  "1",    "2",  "3",  "4",  "10", "17",  "18", "19",   "20", "21",   "28",
                               "30", "38.2", "40", "41", "43", "49", "53",  "54", "59.3", "61", "61.1", "64",
                               "80", "81",   "82", "83", "84", "85", "86",  "87", "88",   "89", "90",   "91",
                               "92", "92.1", "93", "94", "98", "99", "100", "5",  "102",  "-1"};
const char* const kMCodes[] = {"0",  "1",  "3",  "4",   "5",   "6",   "7",   "8",   "9",
                               "48", "49", "60", "101", "115", "215", "116", "299", "300"};
const char* const kUnary[] = {"abs", "acos",  "asin", "atan", "cos",   "exp", "fix",  "fup",
                              "ln",  "round", "sin",  "sqrt", "srand", "tan", "rand", "xyz"};
const char* const kBinary[] = {"+",     "-",    "*",    "/",    "**",   " mod ", " and ", " or ",
                               " xor ", " eq ", " ne ", " lt ", " le ", " gt ",  " ge ",  " &"};
const char* const kOwords[] = {"sub",  "endsub", "call",  "do",       "while",    "repeat",    "if",     "elseif",
                               "else", "endif",  "break", "continue", "endwhile", "endrepeat", "return", "oops"};

}  // namespace

std::string RandomGCodeGenerator::Number() {
  std::string s;
  if (Chance(20)) s += '-';
  s += std::to_string(Below(Chance(90) ? 50 : 100000));
  if (Chance(50)) s += "." + std::to_string(Below(1000));
  return s;
}

std::string RandomGCodeGenerator::Value(int depth) {
  int kind = Below(depth > 3 ? 3 : 7);
  switch (kind) {
    case 0:
    case 1:
    case 2: return Number();
    case 3: return "#" + std::to_string(Chance(80) ? 1 + Below(40) : Below(6000));
    case 4: return std::string("#<") + (Chance(50) ? "_" : "") + (char)('a' + Below(4)) + ">";
    case 5:
      return std::string(Pick(kUnary)) + "[" + Value(depth + 1) + "]" +
             (Chance(30) ? "/[" + Value(depth + 1) + "]" : "");
    default: {
      std::string e = "[" + Value(depth + 1);
      int n = 1 + Below(4);
      for (int i = 0; i < n; ++i) e += std::string(Pick(kBinary)) + Value(depth + 1);
      return Chance(95) ? e + "]" : e;
    }
  }
}

std::string RandomGCodeGenerator::Line() {
  int kind = Below(10);
  if (kind == 0) {
    std::string s = "o" + std::to_string(100 + Below(6)) + " " + Pick(kOwords);
    if (Chance(70)) s += " [" + Value(1) + "]";
    if (Chance(20)) s += " [" + Value(1) + "]";
    return s;
  }
  if (kind == 1) {
    std::string s =
        "#" + (Chance(50) ? std::to_string(1 + Below(40)) : std::string("<") + (char)('a' + Below(4)) + ">");
    return s + "=" + Value(0);
  }
  std::string s;
  int words = 1 + Below(6);
  for (int i = 0; i < words; ++i) {
    if (i) s += ' ';
    int w = Below(12);
    if (w < 3) {
      s += std::string("G") + Pick(kGCodes);
    } else if (w == 3) {
      s += std::string("M") + Pick(kMCodes);
    } else if (w == 4 && Chance(20)) {
      s += "(" + std::string(1 + Below(8), 'c') + ")";
    } else {
      const char letters[] = "XYZXYZIJKRFPQLSTDHABC";
      s += letters[Below((int)sizeof letters - 1)];
      s += Value(0);
    }
  }
  return s;
}

std::string RandomGCodeGenerator::Mutate(std::string s) {
  int n = 1 + Below(4);
  for (int i = 0; i < n; ++i) {
    int at = s.empty() ? 0 : Below((int)s.size() + 1);
    switch (Below(6)) {
      case 0: s.insert((size_t)at, 1, (char)(32 + Below(95))); break;
      case 1:
        if (at < (int)s.size()) s.erase((size_t)at, 1);
        break;
      case 2:
        if (at < (int)s.size()) s[(size_t)at] = (char)(32 + Below(95));
        break;
      case 3:
        if (at < (int)s.size()) s.insert((size_t)at, s.substr((size_t)at, 1 + Below(6)));
        break;
      case 4:
        // Any byte, control and GB bytes included (the file is then no G-code file
        // to the loader; the reader still gets it where a caller hands lines in).
        s.insert((size_t)at, 1, (char)(m_binary ? Below(256) : 32 + Below(95)));
        break;
      default: s.insert((size_t)at, 1, "[]()<>#%/=o"[Below(11)]);
    }
  }
  return s;
}

std::string RandomGCodeGenerator::Program() {
  m_binary = Chance(10);
  std::string text;
  int lines = 1 + Below(60);
  for (int i = 0; i < lines; ++i) {
    std::string line = Chance(50) ? Pick(kCorpus) : Line();
    if (Chance(30)) line = Mutate(line);
    // Program ends stop a load early; keep them rare.
    if (line.find("M2") != std::string::npos || line.find("M30") != std::string::npos) line = "G1 X1";
    text += line + (Chance(10) ? "\r\n" : "\n");
  }
  return text;
}

}  // namespace interp_testing
