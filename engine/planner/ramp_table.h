// The acceleration ramp of the machine as a table: T[i] is the number of X steps the
// controller needs to accelerate from standstill to i mm/s (i = 0..1024). Speed planning
// reads it both ways: how far does it take to change speed, and how fast can the machine
// get within a distance. Distances come out in millimetres, measured in X steps.
#pragma once

#include "platform/types.h"

class CRampTable {
 public:
  static const int kTop = 1024;  // the table's last speed (mm/s); faster reads its last interval

  // T[0] = 0; T[i] = T[i-1] + n(i): the steps of the i-th mm/s at the acceleration a(i),
  // which rises linearly from accel/ParamN to accel at CornerUP mm/s. Doubled when asked
  // (a job's start switch 1). Callers check that accel, ParamN and the resolution are
  // above 0.
  void Build(double accel_mm_s2, double paramN, double cornerUp_mm_s, double resX_steps_in, bool doubled);

  // Distance from standstill to speed v (mm), interpolated within the 1 mm/s step.
  double DistanceOfSpeed(double v_mm_s) const;
  // |DistanceOfSpeed(a) - DistanceOfSpeed(b)| in whole millimetres (truncated).
  double DistanceBetween(double a_mm_s, double b_mm_s) const;
  // The speed reached from standstill within s mm (at most the table's top).
  double SpeedAtDistance(double s_mm) const;
  // The speed reached from v within s mm: accelerating when direction >= 0, braking
  // (towards standstill) otherwise.
  double ReachableSpeed(double v_mm_s, double s_mm, double direction) const;

  DWORD Entry(int i) const { return m_T[i]; }
  WORD Size() const { return kTop; }

 private:
  DWORD m_T[kTop + 1] = {};     // cumulative X steps per mm/s
  double m_dStepsPerMm = 40.0;  // X resolution / 25.4
};
