// The controller's reply lines and the small parsers of their texts.
//
// On the wire a reply line is its text, one blank, two hexadecimal digits (either case)
// of the 8-bit sum of every character up to and including that blank, and ";". The
// text starts with a letter that says what it answers ("S" online state, "W" work
// position ...). Characters come one at a time among the controller's answer bytes.
#pragma once

#include "device/link_helpers.h"  // ReplyLineSum, MakeReplyLine
#include "foundation/geometry.h"
#include "platform/core.h"

constexpr int kReplyLineMax = 512;  // characters collected before a line is given up

enum ReplyLineResult {
  kReplyCollecting = 0,  // the line goes on
  kReplyGood,            // a line ended and its check digits match
  kReplyBadSum,          // a well-formed line whose digits do not match its sum
  kReplyMalformed        // ended by ";" without text, blank and two hex digits before it
};

class CReplyLineReader {
 public:
  // Takes one character. A line longer than kReplyLineMax characters is dropped when
  // the next character arrives, and collection restarts with that character.
  ReplyLineResult Feed(char c);
  // After a result other than kReplyCollecting: the line as received, ";" included.
  const char* GetReceived() const { return m_szLine; }
  // After kReplyGood: the line cut before its check digits (it keeps its blank).
  const char* GetText() const { return m_szText; }
  void Reset() {
    m_nLength = 0;
    m_szLine[0] = 0;
  }
  DWORD GetOverflows() const { return m_nOverflows; }

 private:
  ReplyLineResult Finish();

  char m_szLine[kReplyLineMax + 1] = {};  // the line being collected, NUL-terminated
  char m_szText[kReplyLineMax + 1] = {};  // the last good line's text
  int m_nLength = 0;                      // characters in m_szLine, <= kReplyLineMax
  DWORD m_nOverflows = 0;                 // lines dropped for length
};

// In the upper-cased line, the numbers after the first "X", "Y" and "Z" (a decimal
// number right after the letter, blanks allowed before it; none gives 0). out is
// zeroed first and filled in the order x, y, z up to the first missing letter; true
// only when all three were found.
bool ParsePosition(const char* line, Vec3& out);

// The controller generation of a device's controller model text ("V5" gives 5): the
// text trimmed, upper-cased, blanks removed, its first character (a letter) skipped and
// the rest read as a decimal number. 0 for a text with nothing after the letter.
int GetVersionNumber(const char* modelText);
