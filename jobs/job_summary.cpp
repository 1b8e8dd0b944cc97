#include "jobs/job_summary.h"

#include "jobs/job_files.h"

namespace {

const char* EnableText(int on) { return on ? "Enable" : "Disable"; }
const char* OnText(int on) { return on ? "On" : "Off"; }

CString TimeText(int32_t t) { return CTime((time_t)t).Format("%Y-%m-%d %H:%M"); }

// One line per tool when the job has several, else the job's single velocities.
void AddVelocities(CString& text, const JobRecord& job) {
  int tools = job.ValidToolCount();
  if (tools > 1) {
    for (int i = 0; i < tools; ++i) {
      const ToolSpeedEntry& t = job.ToolSpeeds[i];
      text.AppendFormat("Tool=#%d,Traverse=%.3f,Feed=%.3f,Plunge=%.3f,Start=%.3f,Acc.=%.3f,Spindle=%.0f\r\n", i + 1,
                        double(t.Traverse), double(t.Feed), double(t.Plunge), double(t.Start), double(t.Acceleration),
                        double(t.SpindleSpeed));
    }
    return;
  }
  text.AppendFormat("Traverse Velocity: %.3f mm/s\r\n", double(job.TraverseSpeed));
  text.AppendFormat("Feed Velocity: %.3f mm/s\r\n", double(job.FeedSpeed));
  text.AppendFormat("Plunge Velocity: %.3f mm/s\r\n", double(job.PlungeSpeed));
  text.AppendFormat("Start Velocity: %.3f mm/s\r\n", double(job.StartSpeed));
  text.AppendFormat("Accelerator: %.3f mm/s/s\r\n", double(job.Acceleration));
  text.AppendFormat("Spindle Speed: %.0f rpm\r\n", double(job.SpindleSpeed));
}

}  // namespace

CString FormatJobSummary(const JobRecord& record) {
  JobRecord job = record;
  job.TerminateTexts();
  CString s;
  s.AppendFormat("Job Summary: (System of measurement: mm, mm/s, mm/s/s, degree)\r\n\r\n");
  s.AppendFormat("Job Name: %s, Created: %s\r\n", job.JobName, (const char*)TimeText(job.Created));
  s.AppendFormat("Job Format Version: %08X\r\n", (unsigned)job.FormatStamp);
  s += "\r\n";
  s.AppendFormat("Toolpath: %s, Format: %s\r\n", job.SourcePath, job.FormatName);
  s.AppendFormat("File Modified: %s, File Size: %d bytes\r\n", (const char*)TimeText(job.SourceTime),
                 (int)job.SourceSize);
  s.AppendFormat("Total Tags: %d, Toolpath Length: %.0f mm\r\n", (int)job.TotalTags, double(job.ToolpathLength));
  s.AppendFormat("Toolpath for Door: %s, width=%.3f mm\r\n", job.DoorToolpath ? "Yes" : "No", double(job.DoorWidth));
  s.AppendFormat("Minimum Feed Axises: (%.3f, %.3f, %.3f)mm\r\n", job.FeedMin.x, job.FeedMin.y, job.FeedMin.z);
  s.AppendFormat("Maximum Feed Axises: (%.3f, %.3f, %.3f)mm\r\n", job.FeedMax.x, job.FeedMax.y, job.FeedMax.z);
  s.AppendFormat("Z Traverse Range: %.3f mm --> %.3f mm\r\n", double(job.TraverseZMin), double(job.TraverseZMax));
  s.AppendFormat("Scale: (%.3f x %.3f x %.3f)mm\r\n", job.Scale.x, job.Scale.y, job.Scale.z);
  s += "\r\n";
  s.AppendFormat("Device: %s\r\n", job.DeviceName);
  s.AppendFormat("Coordinate System: %s\r\n", job.RelativeCoords ? "Relative" : "Absolute");
  s.AppendFormat("Connection: %s\r\n", job.Connection);
  s.AppendFormat("Auto Dissconnect: %s\r\n", EnableText(job.AutoDisconnect));
  // The counts the engine runs: below 1 is one copy.
  s.AppendFormat("Copies: %d x %d x %d, Offset:(%.3f, %.3f, %.3f)mm\r\n", job.EffectiveCopiesX(),
                 job.EffectiveCopiesY(), job.EffectiveCopiesZ(), double(job.CopyOffsetX), double(job.CopyOffsetY),
                 double(job.CopyOffsetZ));
  s.AppendFormat("Tag Range: %d --> %d\r\n", (int)job.TagRangeStart, (int)job.TagRangeEnd);
  s.AppendFormat("Height of Material: %.3f mm\r\n", double(job.MaterialHeight));
  s += "\r\n";
  s.AppendFormat("Used Tools: %s\r\n", job.UsedTools);
  AddVelocities(s, job);
  s += "\r\n";
  s.AppendFormat("2D Mode: %s\r\n", EnableText(job.Mode2D));
  s.AppendFormat("2D Testing: %s\r\n", EnableText(job.Test2D));
  s.AppendFormat("T Word: %s, F Word: %s, S Word: %s\r\n", EnableText(job.TWordEnabled), EnableText(job.FWordEnabled),
                 EnableText(job.SWordEnabled));
  s += "\r\n";
  s.AppendFormat("Switch #1: %s, Switch #2: %s\r\n", OnText(job.Switch1), OnText(job.Switch2));
  s += "\r\n";
  s.AppendFormat("Coolant: %s, Spindle: %s\r\n", OnText(job.CoolantOn), OnText(job.SpindleOn));
  s += "\r\n";
  s.AppendFormat("Surface Auto-detect: %s\r\n", EnableText(job.SurfaceAutoDetect));
  s.AppendFormat("Roll Engrave: %s\r\n", EnableText(job.RollEngrave));
  s.AppendFormat("Roll Diameter: %.3f mm\r\n", double(job.RollDiameter));
  s += "\r\n";
  s.AppendFormat("Corner to Arc Deviation: %.3f mm\r\n", double(job.CornerArcDeviation));
  s.AppendFormat("Corner to Arc Least Radius: %.3f mm\r\n", double(job.CornerArcLeastRadius));
  s.AppendFormat("Collinear Angle: %.0f degree\r\n", double(job.CollinearAngle));
  s.AppendFormat("Collinear Tolerance: %.3f mm\r\n", double(job.CollinearTolerance));
  s.AppendFormat("Collinear Side Least Length: %.3f mm\r\n", double(job.CollinearSideLeastLength));
  s.AppendFormat("Arc Fitting Radius Jitter: %.3f mm\r\n", double(job.ArcFitRadiusJitter));
  s.AppendFormat("Arc Fitting Deviation: %.3f mm\r\n", double(job.ArcFitDeviation));
  s.AppendFormat("Arc Fitting Least Length: %.3f mm\r\n", double(job.ArcFitLeastLength));
  s.AppendFormat("Slow down in percent: %.0f%%\r\n", double(job.SlowDownFraction) * 100.0);
  s.AppendFormat("Smooth Level: %.0f\r\n", double(job.SmoothLevel));
  return s;
}

CString ReadJobSummary(const char* infoPath) {
  JobRecord job;
  if (ReadJobInfoFile(infoPath, job) == kJobInfoMissing) return CString();
  return FormatJobSummary(job);
}
