#include "jobs/job_record.h"

#include <cstring>

JobRecord::JobRecord() { std::memset(static_cast<void*>(this), 0, sizeof(JobRecord)); }

void JobRecord::ClearRuntimeSlots() {
  TxChannelSlot = 0;
  RxChannelSlot = 0;
  EnginePidSlot = 0;
  for (uint32_t& w : RuntimeWords) w = 0;
  EngineRunningSlot = 0;
}

void JobRecord::TerminateTexts() {
  JobName[kJobTextSize - 1] = '\0';
  SourcePath[kJobTextSize - 1] = '\0';
  Connection[kJobTextSize - 1] = '\0';
  DeviceName[kJobTextSize - 1] = '\0';
  UsedTools[kJobTextSize - 1] = '\0';
  FormatName[sizeof FormatName - 1] = '\0';
  for (ToolSpeedEntry& t : ToolSpeeds) t.Key[kToolKeySize - 1] = '\0';
}

void JobRecord::NormalizeCopies() {
  CopiesX = EffectiveCopiesX();
  CopiesY = EffectiveCopiesY();
  CopiesZ = EffectiveCopiesZ();
}

BOOL SetRecordText(char* field, size_t fieldSize, const char* text) {
  if (!field || fieldSize == 0) return FALSE;
  if (!text) text = "";
  size_t n = std::strlen(text);
  if (n >= fieldSize) return FALSE;
  std::memcpy(field, text, n + 1);
  return TRUE;
}

BOOL SetExportConnection(JobRecord& job, const char* target) {
  CString connection;
  connection.Format("FILE:%s", target ? target : "");
  return SetRecordText(job.Connection, connection);
}
