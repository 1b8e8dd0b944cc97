// CAM file fixtures: records as plain bytes, written through CCamFile (which scrambles).
#pragma once

#include <cstring>
#include <initializer_list>
#include <string>

#include "nc/formats/cam_file.h"
#include "platform/bytes.h"

namespace cam_fixtures {

// Little-endian doubles.
inline std::string Doubles(std::initializer_list<double> values) {
  std::string s;
  for (double v : values) {
    BYTE b[sizeof v];
    bytes::StoreDouble(b, v);
    s.append(reinterpret_cast<const char*>(b), sizeof b);
  }
  return s;
}

// Head (code, length) and payload; length -1 means the payload's own.
inline std::string Record(WORD code, const std::string& payload = "", int length = -1) {
  int n = length < 0 ? (int)payload.size() : length;
  std::string s;
  s += (char)(code & 0xFF);
  s += (char)(code >> 8);
  s += (char)(n & 0xFF);
  s += (char)((n >> 8) & 0xFF);
  return s + payload;
}

// A tool definition: dimensions diameter - 1, diameter, diameter + 1 and 7.
inline std::string ToolDefinition(const char* name, int number, int kind, double diameter) {
  BYTE d[sizeof(CamToolDefinition)] = {};
  std::strncpy(reinterpret_cast<char*>(d) + offsetof(CamToolDefinition, m_szName), name,
               sizeof(CamToolDefinition::m_szName) - 1);
  bytes::Store32(d + offsetof(CamToolDefinition, m_nNumber), (uint32_t)number);
  bytes::Store32(d + offsetof(CamToolDefinition, m_nKind), (uint32_t)kind);
  bytes::StoreDouble(d + offsetof(CamToolDefinition, m_dSize1), diameter - 1);
  bytes::StoreDouble(d + offsetof(CamToolDefinition, m_dDiameter), diameter);
  bytes::StoreDouble(d + offsetof(CamToolDefinition, m_dSize3), diameter + 1);
  bytes::Store32(d + offsetof(CamToolDefinition, m_nSize4), 7);
  return std::string(reinterpret_cast<const char*>(d), sizeof d);
}

// The header a new CAM file gets.
inline std::string HeaderBytes() {
  CCamFile f;
  return std::string(reinterpret_cast<const char*>(f.GetHeader()), kCamHeaderSize);
}

// A CAM file holding `body` (plain bytes); false when it cannot be written.
inline bool WriteCamFile(const char* path, const std::string& body) {
  try {
    CCamFile f;
    if (!f.Open(path, CFile::modeCreate | CFile::modeReadWrite | CFile::typeBinary)) return false;
    f.RewriteHeader();
    if (!body.empty()) f.Write(body.data(), (UINT)body.size());
    f.Close();
    return true;
  } catch (const CFileException&) {
    return false;
  }
}

}  // namespace cam_fixtures
