#include "foundation/path_record.h"

#include <cstring>

PathRecord::PathRecord() {
  m_nLine = 0;
  Reset();
}

PathRecord::PathRecord(const PathRecord& other) : PathRecordData(other.Data()) {
  m_nToolRef = 0;
  SetTool(other.m_pTool);
}

PathRecord& PathRecord::operator=(const PathRecord& other) {
  if (this != &other) {
    static_cast<PathRecordData&>(*this) = other.Data();
    m_nToolRef = 0;
    SetTool(other.m_pTool);
  }
  return *this;
}

PathRecord::~PathRecord() { delete m_pTool; }

void PathRecord::Reset() {
  DWORD line = m_nLine;
  std::memset(static_cast<PathRecordData*>(this), 0, sizeof(PathRecordData));
  m_nLine = line;
  m_nCode = 0xFFFF;
  m_dRadius = DBL_MAX;
  m_dAngle = DBL_MAX;
  m_dDeviation = DBL_MAX;
  SetTool(nullptr);
}

void PathRecord::SetData(const PathRecordData& data) {
  static_cast<PathRecordData&>(*this) = data;
  m_nToolRef = 0;
  SetTool(nullptr);
}

void PathRecord::SetTool(const ToolRecord* tool) {
  if (tool == m_pTool) return;
  delete m_pTool;
  m_pTool = tool ? new ToolRecord(*tool) : nullptr;
}
