// Lifecycle of the path processor: construction, the preparation of a job (with the checks
// of every setting the planner divides by), the start of a job and the clearing of a run.
#include "engine/planner/path_processor.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/planner/command_codes.h"
#include "foundation/log.h"
#include "foundation/texts.h"
#include "resources/planner_ids.h"

namespace {

const double kPi = 3.14159265358979323846;
const double kSetFraction = 1e-12;  // a job value above this switches its feature on

enum : int { kClassPlasma = 1, kClassLogEngraver = 4 };

// The first setting, in a fixed order, that cannot serve as a divisor; null when all can.
const char* FindUnusableSetting(const JobRecord& job, const DeviceParams& d, const PlannerSettings& s) {
  struct Check {
    bool applies;
    double value;
    const char* name;
  };
  bool roll = d.m_nMachineClass == kClassLogEngraver && job.RollEngrave;
  const Check checks[] = {
      {true, d.m_dResX, "[Resolution(StepsPerInch)] X"},
      {true, d.m_dResY, "[Resolution(StepsPerInch)] Y"},
      {true, d.m_dResZ, "[Resolution(StepsPerInch)] Z"},
      {true, d.m_dMaxSpeedX, "[RatedSpeed(mm/s)] MaxX"},
      {true, d.m_dMaxSpeedY, "[RatedSpeed(mm/s)] MaxY"},
      {true, d.m_dMaxSpeedZ, "[RatedSpeed(mm/s)] MaxZ"},
      {true, d.m_dParamN, "[Acceleration] ParamN"},
      {true, job.Acceleration, "Acceleration"},
      {true, job.StartSpeed, "StartSpeed"},
      {job.RelativeCoords != 0, s.m_dMaxSeg_mm, "[Optimization] MaxSeg(mm)"},
      {roll, job.RollDiameter, "RollDiameter"},
      {roll, d.m_dPcr, "[LogEngraving] PCR"},
  };
  for (const Check& c : checks)
    if (c.applies && !(c.value > 0.0)) return c.name;  // also refuses a NaN
  return nullptr;
}

}  // namespace

CPathProcessor::CPathProcessor(ITickSource* ticks) : m_pTicks(ticks ? ticks : &CSystemTicks::Instance()) {}

CPathProcessor::~CPathProcessor() = default;

void CPathProcessor::SetOutput(IFrameQueue* queue) { m_out.Attach(queue); }

void CPathProcessor::ReserveRunBuffer() {
  if (m_aSegments.capacity() >= (size_t)kHardSegmentLimit + 1) return;
  m_aSegments.resize((size_t)kHardSegmentLimit + 1);  // written, so its pages are there
  m_aSegments.clear();
}

void CPathProcessor::Reset() {
  m_out.Reset();
  m_vPosition = Vec3();
  Clear(TRUE);
  m_nCurrentTag = 0;
  m_nPrevMoveCode = -1;
}

void CPathProcessor::Clear(BOOL flush) {
  if (flush) m_out.Flush();
  m_nRunAxes = 0;
  m_aSegments.clear();
  m_aHeld.clear();
  m_nHeldSent = 0;
  if (m_out.Queue()) m_out.Queue()->MarkFifoEnd();
}

BOOL CPathProcessor::PrepareJob(const JobRecord& job, const DeviceParams& device, const PlannerSettings& settings,
                                CString& error) {
  error.Empty();
  if (const char* bad = FindUnusableSetting(job, device, settings)) {
    error.Format(LoadLangString(IDS_PLANNER_BAD_SETTING_CN, IDS_PLANNER_BAD_SETTING_EN), bad);
    return FALSE;
  }
  m_device = device;
  m_job = job;
  m_job.TerminateTexts();
  // The table holds 16 entries whatever the count says.
  if (m_job.ToolCount > kMaxToolSpeeds) m_job.ToolCount = kMaxToolSpeeds;
  m_settings = settings;
  m_dEps = settings.m_dDoubleZero > 0 ? settings.m_dDoubleZero : 0.0;
  m_dParkingLift_mm = settings.m_dParkingLift_mm;

  m_dTraverse_mm_s = job.TraverseSpeed;
  m_dFeed_mm_s = job.FeedSpeed;
  m_dPlunge_mm_s = job.PlungeSpeed;
  m_dStart_mm_s = job.StartSpeed;
  m_dAccel_mm_s2 = job.Acceleration;
  m_dSpindle_rpm = job.SpindleSpeed;
  m_vPosition.z = std::min(device.m_dWorkZ, m_dParkingLift_mm);

  // The job's own optimisation values replace the settings'. (The record is packed: its
  // fields are read into locals before they meet a reference.)
  double jitter = job.ArcFitRadiusJitter, deviation = job.ArcFitDeviation, least = job.ArcFitLeastLength;
  double slowDown = job.SlowDownFraction;
  if (jitter > kSetFraction && deviation > kSetFraction && least > kSetFraction) {
    m_settings.m_bArcFitting = TRUE;
    m_settings.m_dArcFittingError_mm = jitter;
    m_settings.m_dArcPolygonDiff_mm = std::min(deviation, 1.0);
    m_settings.m_dLeastArcLen_mm = std::max(least, 0.5);
  } else {
    m_settings.m_bArcFitting = FALSE;
  }
  m_settings.m_bCornerSlowDown = slowDown > kSetFraction;
  m_settings.m_dCornerFactor = m_settings.m_bCornerSlowDown ? std::max(slowDown, 0.1) : 1.0;
  SelectSnowBallGrade(m_settings, (int)job.SmoothLevel);

  m_adStepsPerMm[0] = device.m_dResX / 25.4;
  m_adStepsPerMm[1] = device.m_dResY / 25.4;
  m_adStepsPerMm[2] = device.m_dResZ / 25.4;
  // Roll engraving: the axis that turns the work (Y when the device rotates about X) is
  // scaled so that one step is 1/PCR of a turn of the work's surface. A circle on that
  // surface is no circle in steps, so arcs go out as lines.
  bool roll = device.m_nMachineClass == kClassLogEngraver && job.RollEngrave;
  m_nRotaryAxis = roll ? (device.m_nRotaryAxis == 0 ? 1 : 0) : -1;
  m_dRotaryScale = 1.0;
  if (roll) {
    double m = device.m_dPcr * 25.4 / (job.RollDiameter * kPi);
    m_dRotaryScale = m / (m_nRotaryAxis == 0 ? device.m_dResX : device.m_dResY);
  }
  m_bArcSupport = device.m_nArcSupport != 0 && !roll;

  int totalTags = job.TotalTags;
  size_t tags = (size_t)std::max(totalTags, 0) * 2 + 2;
  CSingleLock lock(&m_timingLock, TRUE);
  m_adPlannedTag_s.assign(tags, 0.0);
  m_anActualTag_ms.assign(tags, 0);
  m_dActualTotal_s = m_dPlannedTotal_s = 0.0;
  m_dRunningTagTime_s = 0.0;
  return TRUE;
}

void CPathProcessor::BeginJob(int firstTag, int lastTag) {
  BuildRampTable();
  m_out.Reset();
  m_nRangeStart = firstTag;
  m_nRangeEnd = lastTag;
  // Records before the first tag mark belong to tag 0: with a later start they are
  // before the range as much as the tags that follow them.
  m_bBeforeRange = firstTag > 0;
  m_nCurrentTag = 0;
  m_nPrevMoveCode = -1;
  m_bLiftPending = true;
  m_bFirstMove = true;
  m_nTraceLine = 0;
  m_dCumTime_s = 0.0;
  m_dCumDistance_mm = 0.0;
  m_nCurrentTool = 1;
  m_nZWValue = -1;
  m_dFeedOverride = kUnset;
  m_nPlane = kPlaneXY;
  m_nRunGType = kGRapid;
  std::memset(m_anToolSlots, 0, sizeof m_anToolSlots);
  m_nLastLoggedGType = 0xFFFF;
  m_nLastTagMark = 0;
  m_bLogOutput = IsLogOn("output") != 0;
  m_bLogFitting = IsLogOn("fitting") != 0;
  m_bLogReview = IsLogOn("review") != 0;
  m_dwTagTimer = 0;
  m_dwTagElapsed_ms = 0;
}

int CPathProcessor::GetControllerVersionNumber() const {
  CString model(m_device.m_szControllerModel);
  model.MakeUpper();
  model.Trim();
  model.Remove(' ');
  model.Remove('\t');
  return model.GetLength() > 1 ? (int)std::atol(model.Mid(1)) : 0;
}

void CPathProcessor::SetAllTagsDone() { m_nCurrentTag = m_job.TotalTags; }

BOOL CPathProcessor::SupportsGCommands() const {
  IFrameQueue* queue = m_out.Queue();
  if (!m_settings.m_bDirecArc || !m_bArcSupport || !queue) return FALSE;
  return VersionTakesGCommands(queue->GetControllerVersion(), m_settings.m_strG02VerFrom) ? TRUE : FALSE;
}

void CPathProcessor::AddCommand(WORD code, WORD value) {
  if (code == DT_SA) AddSpeedCommands();
  m_out.Command(code, value);
}

void CPathProcessor::AddCommand2(WORD code, DWORD value) { m_out.Command2(code, value); }

double CPathProcessor::GetCornerSpeed(double radius_mm) const {
  return m_device.GetSpeedCurveK(radius_mm) * m_settings.m_dCornerFactor * std::sqrt(radius_mm);
}
