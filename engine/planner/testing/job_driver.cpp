#include "engine/planner/testing/job_driver.h"

#include <cstring>

#include "engine/planner/command_codes.h"

namespace planner_testing {

DeviceParams PlainDevice() {
  DeviceParams d;
  std::strcpy(d.m_szName, "Router");
  std::strcpy(d.m_szControllerModel, "V5");
  d.m_dWorkX = 1200;
  d.m_dWorkY = 1200;
  d.m_dWorkZ = 100;
  d.m_dResX = d.m_dResY = d.m_dResZ = 1016.0;
  d.m_dMinSpeedX = d.m_dMinSpeedY = d.m_dMinSpeedZ = 0.5;
  d.m_dMaxSpeedX = 160;
  d.m_dMaxSpeedY = 160;
  d.m_dMaxSpeedZ = 50;
  d.m_dMinXYStart = 0.5;
  d.m_dMaxXYStart = 8;
  d.m_dLoForContinue = 8;
  d.m_dParamN = 2;
  d.m_dCornerSpeed = 50;
  d.m_dCornerUp = 10;
  d.m_dCoeff = 17;
  d.m_dMinK = 2;
  d.m_dKRThreshold = 20;
  d.m_dMinAccel = 0.5;
  d.m_dMaxAccel = 640;
  d.m_nArcSupport = 1;
  d.m_nSpindles = 1;
  d.m_dPcr = 20000;
  return d;
}

JobRecord PlainJob(int totalTags) {
  JobRecord j;
  std::strcpy(j.JobName, "job");
  j.TraverseSpeed = 100;
  j.FeedSpeed = 40;
  j.PlungeSpeed = 10;
  j.StartSpeed = 8;
  j.Acceleration = 500;
  j.SpindleSpeed = 18000;
  j.SpindleOn = TRUE;
  j.TotalTags = totalTags;
  j.SmoothLevel = 2;
  return j;
}

void EnableArcFitting(JobRecord& job) {
  job.ArcFitRadiusJitter = 0.1;
  job.ArcFitDeviation = 0.4;
  job.ArcFitLeastLength = 0.5;
}

PlannerSettings PlainSettings() { return PlannerSettings(); }

bool StartJob(CPathProcessor& p, IFrameQueue* queue, const JobRecord& job, const DeviceParams& device,
              const PlannerSettings& settings, int firstTag, int lastTag, CString* error) {
  p.SetOutput(queue);
  p.Reset();
  CString text;
  if (!p.PrepareJob(job, device, settings, text)) {
    if (error) *error = text;
    return false;
  }
  p.BeginJob(firstTag, lastTag);
  p.SendJobHeader("", FALSE);
  return true;
}

int RunRecords(CPathProcessor& p, const DeviceParams& device, const JobRecord& job,
               const std::vector<PathRecord>& records, bool autoToolChange) {
  p.AddCommand(DT_IN, kInValue);
  p.ParseInstructionString(device.m_szInitialString);
  if (job.StartSwitch == 1) p.ParseInstructionString("SW0;");
  if (job.StartSwitch == 2) p.ParseInstructionString("SW1;");
  p.AddStartCommands();
  for (const PathRecord& r : records) {
    if (r.m_nDiscard) continue;
    if (r.m_nCode == 0xFFFF && r.m_szName[0] == 'T' && r.m_szName[1] == 0 && !autoToolChange) continue;
    int result = p.ProcessRecord(&r);
    if (result == kOutputFailed) return result;
    if (result < 0) {
      // The tag range ended before the records did.
      p.FlushSegments();
      p.SetAllTagsDone();
      return p.ProcessRecord(nullptr);
    }
  }
  p.FlushSegments();
  return p.ProcessRecord(nullptr);
}

PathRecord MoveRecord(WORD code, double x, double y, double z, BYTE axes, bool tagStart, double radius, double angle) {
  PathRecord r;
  r.m_nCode = code;
  r.m_nFlags = 1;
  r.m_byAxes = axes;
  r.m_nTagStart = tagStart ? 1 : 0;
  r.m_dRadius = radius;
  r.m_dAngle = angle;
  r.m_vEnd = Vec3(x, y, z);
  return r;
}

PathRecord ArcRecord(WORD code, const Vec3& end, const Vec3& center, bool org) {
  PathRecord r;
  r.m_nCode = code;
  r.m_nFlags = org ? 1 : 0;
  r.m_byAxes = kAxisBitX | kAxisBitY;
  r.m_vEnd = end;
  r.m_vCenter = center;
  return r;
}

PathRecord TagRecord(const char* name, double value) {
  PathRecord r;
  r.m_nCode = 0xFFFF;
  std::strncpy(r.m_szName, name, 2);
  r.m_szName[2] = 0;
  r.m_dValue = value;
  return r;
}

PathRecord CodeRecord(WORD code) {
  PathRecord r;
  r.m_nCode = code;
  return r;
}

}  // namespace planner_testing
