// One planned piece of motion: a move of the job as the planner collects, smooths, fits,
// plans and packs it. A run is a list of them whose first one is only the point the run
// starts from (the machine's position when the run begins).
#pragma once

#include <cfloat>

#include "foundation/geometry.h"
#include "platform/types.h"

// Segment flag bits: the record's flags word, with these meanings in the planner.
enum : DWORD {
  kSegOrg = 0x001,          // a point of the source, not an inserted piece
  kSegNoSmoothing = 0x002,  // inner piece of a fitted arc: not smoothed, not reviewed
  kSegHelical = 0x004,      // helical arc: sent as lines in the G form
  kSegFitted = 0x100,       // arc made by the optimiser (carried along)
  kSegPlunge = 0x400,       // the optimiser marked a plunge
  kSegNoPlunge = 0x800,     // the optimiser forbids plunge marking
};

// Cut types: what the controller does with the item.
enum : WORD { kCutRapid = 0, kCutCutting = 1, kCutPlunge = 2 };

// G types.
enum : WORD { kGRapid = 0, kGLine = 1, kGArcCW = 2, kGArcCCW = 3 };

const double kUnset = DBL_MAX;  // a radius, angle or height that the record does not give

struct PlanSegment {
  WORD m_nGType = kGRapid;         // 0 rapid, 1 line, 2 clockwise arc, 3 counter-clockwise arc
  WORD m_nCutType = kCutRapid;     // 0 rapid run, 1 cutting, 2 plunge
  WORD m_nAxes = 0;                // axis bits of the record (X 0x80, Y 0x40, Z 0x20)
  WORD m_nPlane = 0;               // 0 XY, 4 XZ, 8 YZ
  DWORD m_nFlags = 0;              // kSeg* bits
  double m_dVn = 0.0;              // nominal speed: the highest within the segment (mm/s)
  double m_dVc = 0.0;              // corner speed at its end, where the next one joins (mm/s)
  double m_dVmax = 0.0;            // rated-axis and feed limit from intake; no pass goes above it (mm/s)
  Vec3 m_vEnd;                     // end point (mm; a rotary axis in its scaled units)
  Vec3 m_vCenter;                  // arc centre (mm)
  double m_dLength = 0.0;          // mm, set when the run is planned
  double m_dRadius = kUnset;       // corner radius at the end (mm)
  double m_dOldRadius = kUnset;    // radius before smoothing (mm)
  double m_dAngle = kUnset;        // vertex angle at the end (degrees)
  double m_dChordHeight = kUnset;  // distance of the end from the chord of its neighbours (mm)
  double m_dRadiusDiff = kUnset;   // |radius - chain radius| when smoothed (mm)
  float m_fTime = 0.0f;            // duration, then the cumulative planned time at its end (s)
};
