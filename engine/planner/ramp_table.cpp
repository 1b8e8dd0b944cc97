#include "engine/planner/ramp_table.h"

#include <algorithm>
#include <cmath>

namespace {
// One entry's steps are capped so that 1024 doubled ones still fit 32 bits: a tiny
// acceleration then reads as the slowest ramp the table can hold, never as a wrap.
const double kMaxEntrySteps = 2000000.0;
}  // namespace

void CRampTable::Build(double accel, double paramN, double cornerUp, double resX, bool doubled) {
  m_dStepsPerMm = resX / 25.4;
  m_T[0] = 0;
  for (int i = 1; i <= kTop; i++) {
    double a = accel;
    if (i < cornerUp) a = accel / paramN + i * accel * (paramN - 1.0) / (cornerUp * paramN);
    double n = std::trunc((2.0 * i - 1.0) * m_dStepsPerMm / (2.0 * a));
    if (!(n >= 1.0)) n = 1.0;  // also catches a NaN from a curve that went negative
    n = std::min(n, kMaxEntrySteps);
    DWORD steps = (DWORD)n;
    if (doubled) steps *= 2;
    m_T[i] = m_T[i - 1] + steps;
  }
}

double CRampTable::DistanceOfSpeed(double v) const {
  double x = std::min(std::fabs(v), (double)(kTop - 1));
  int k = (int)x;
  double steps = m_T[k] + (double)(m_T[k + 1] - m_T[k]) * (x - k);
  return steps / m_dStepsPerMm;
}

double CRampTable::DistanceBetween(double a, double b) const {
  return std::trunc(std::fabs(DistanceOfSpeed(a) - DistanceOfSpeed(b)));
}

double CRampTable::SpeedAtDistance(double s) const {
  double c = std::min(std::fabs(s) * m_dStepsPerMm, (double)m_T[kTop]);
  // First entry below the top that exceeds c; the entries rise strictly (n >= 1).
  const DWORD* first = m_T + 1;
  const DWORD* last = m_T + kTop;
  const DWORD* hit = std::upper_bound(first, last, c, [](double value, DWORD entry) { return value < entry; });
  int i = (int)(hit - m_T);  // kTop when no entry below the top exceeds c
  double width = (double)(m_T[i] - m_T[i - 1]);
  return (i - 1) + (c - m_T[i - 1]) / width;
}

double CRampTable::ReachableSpeed(double v, double s, double direction) const {
  double d = direction >= 0 ? DistanceOfSpeed(v) + s : DistanceOfSpeed(v) - s;
  return SpeedAtDistance(std::fabs(d));
}
