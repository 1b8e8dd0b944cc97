// Small helpers of the interpreter tests.
#pragma once

#include <string>

#include "nc/interp/interp.h"

namespace interp_testing {

// The line as the line reader hands it to the word loop: blanks gone, letters lowered.
inline std::string Prepare(const char* line) {
  std::string text;
  for (const char* p = line; *p; ++p) {
    if (*p == ' ' || *p == '\t' || *p == ',' || *p == '\r' || *p == '\n') continue;
    text += (*p >= 'A' && *p <= 'Z') ? (char)(*p - 'A' + 'a') : *p;
  }
  return text;
}

}  // namespace interp_testing
