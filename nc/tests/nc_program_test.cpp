// The program object: reset and settings, tool groups, comments, used tools, the report.
#include <cstring>
#include <string>

#include "foundation/texts.h"
#include "nc/tests/nc_test_support.h"

using nc_testing::Describe;
using nc_testing::Join;

namespace {

using nc_testing::Hpgl;
using nc_testing::ReadState;

class NCProgramTest : public AppFolderTest {};

TEST_F(NCProgramTest, ResetReadsAndWritesBackItsSettings) {
  PutParamValue("UnitSystem", "XYZAbs", "disable");
  PutParamValue("WizardRoot", "Wizard", "D:/cam/wizard");
  CNCProgram p;
  EXPECT_EQ(0, ReadState(p).m_bAbsolute);
  EXPECT_EQ(0, ReadState(p).m_bIjkAbsolute);
  EXPECT_STREQ("D:\\cam\\wizard\\", p.GetWizardFolder());
  EXPECT_STREQ(m_dir.Path() + "Prefix\\", p.GetPrefixFolder());
  EXPECT_TRUE(platform::IsDirectoryPath(m_dir.Path() + "Prefix"));
  EXPECT_TRUE(platform::IsDirectoryPath(m_dir.Path() + "Wizard"));
  // Every key read stands in the file afterwards.
  EXPECT_STREQ("disable", GetParamValue("UnitSystem", "IJKAbs", "?"));
  EXPECT_STREQ(m_dir.Path() + "Prefix\\", GetParamValue("ProgramPrefix", "Prefix", "?"));

  // A key that stands is never written back: a value longer than a read (259
  // characters) stays whole in the file.
  const std::string longWizard = "D:\\" + std::string(300, 'w') + "\\";
  PutParamValue("WizardRoot", "Wizard", longWizard.c_str());
  p.Reset();
  EXPECT_EQ(longWizard, std::string(ReadIniValue("WizardRoot", "Wizard", "?", GetParamsFilePath())));

  // A reset brings back the start state but keeps the host's speeds and HPGL scale.
  p.SetFeedSpeed(25);
  p.SetTraverseSpeed(100);
  p.SetHpglScale(0.025);
  ReadState(p).m_vLastPoint = Vec3(1, 2, 3);
  ReadState(p).m_nLine = 7;
  p.AddLine(kCodeFeed, kAxisX, Vec3(5, 0, 0));
  p.AddUsedTool(3);
  p.AppendLoadError("x");
  ReadState(p).m_bProgramEnd = 1;
  PutParamValue("UnitSystem", "XYZAbs", "enable");
  p.Reset();
  EXPECT_EQ(0, p.GetElementCount());
  EXPECT_EQ(1, ReadState(p).m_bAbsolute);
  EXPECT_EQ(320.0, p.GetTraverseSpeed());
  EXPECT_EQ(25.0, p.GetFeedSpeed());
  EXPECT_EQ(0.025, Hpgl(p).m_vHpglScale.z);
  EXPECT_EQ(Vec3(), ReadState(p).m_vLastPoint);
  EXPECT_EQ(-1, ReadState(p).m_nLine);
  EXPECT_EQ(-1, p.GetFirstMoveCode());
  EXPECT_STREQ("", p.GetUsedTools());
  EXPECT_STREQ("", p.GetErrors());
  EXPECT_EQ(0, ReadState(p).m_bProgramEnd);
  EXPECT_EQ(DBL_MAX, p.GetExtents().m_vCutMin.x);
}

TEST_F(NCProgramTest, ToolGroupComments) {
  struct {
    const char* comment;
    const char* tags;
  } cases[] = {
      {"(@T@T3:1,2,5)", "@T=19.0301\n"},
      {"@t@t 3 : 1 , 2 , 5", "@T=19.0301\n"},  // blanks removed, upper-cased
      {"(@T@T0:1)", ""},
      {"(@T@T2:0,-1)", ""},           // no head above 0: no mask
      {"(@T@T1:33)", "@T=1.0101\n"},  // head 33 wraps to bit 0
      {"(@T@T4)", ""},
      {"(tool 1)", ""},
      {"(@T@T7:2) (@T@T9:1)", "@T=2.0701\n"},  // cut at the first ")"
  };
  for (const auto& k : cases) {
    CNCProgram p;
    p.ParseToolGroupComment(k.comment);
    EXPECT_EQ(k.tags, Join(Describe(p))) << k.comment;
  }
  // Host groups are parsed, then the file's comments are ignored.
  CNCProgram p;
  CStringArray groups;
  groups.Add("(@T@T1:1)");
  groups.Add("@T@T2:2,3");
  p.SetToolGroups(groups);
  p.ParseToolGroupComment("(@T@T3:1,2,5)");
  EXPECT_EQ("@T=1.0101\n@T=6.0201\n", Join(Describe(p)));
  CStringArray none;
  CNCProgram q;
  q.SetToolGroups(none);
  EXPECT_EQ(0, q.IgnoresToolGroups());
}

TEST_F(NCProgramTest, ExtractComment) {
  struct {
    const char* line;
    const char* comment;
    const char* rest;
  } cases[] = {
      {"G1 (a (b) c) X1", "a (b) c", "G1  X1"},
      {"G1 (open", "open", "G1 "},
      {"G1 X1", "", "G1 X1"},
      {"(all)", "all", ""},
      {"G0 ) X1 (x)", "x", "G0 ) X1 "},
      {"G1 (a)(b)", "a", "G1 (b)"},
  };
  CNCProgram p;
  for (const auto& k : cases) {
    char buf[64];
    std::strcpy(buf, k.line);
    EXPECT_STREQ(k.comment, p.ExtractComment(buf, '(', ')')) << k.line;
    EXPECT_STREQ(k.rest, buf) << k.line;
  }
}

TEST_F(NCProgramTest, UsedToolsMatchWholeNumbers) {
  CNCProgram p;
  for (int tool : {10, 1, 12, 1, 10, 2, 100}) p.AddUsedTool(tool);
  EXPECT_STREQ("T10T1T12T2T100", p.GetUsedTools());
  EXPECT_TRUE(p.HasUsedTool(100));
  EXPECT_FALSE(p.HasUsedTool(0));
  EXPECT_FALSE(p.HasUsedTool(3));
}

TEST_F(NCProgramTest, ReportIsCappedOnce) {
  g_nUiLanguage = 1;
  CNCProgram p;
  CString entry(std::string(99, 'e') + "\n");
  int added = 0;
  while (p.AppendLineReport(entry)) added++;
  const CString tooMany = "Too much error messages . . .";
  // 20 entries make 2000 characters; the 21st brings it near 2048 with the warning.
  EXPECT_EQ(21, added);
  EXPECT_EQ(2100 + 2 + tooMany.GetLength(), p.GetErrors().GetLength());
  EXPECT_STREQ(tooMany, p.GetErrors().Right(tooMany.GetLength()));
  EXPECT_EQ(1, [&] {
    int n = 0;
    for (int at = 0; (at = p.GetErrors().Find(tooMany, at)) >= 0; at++) n++;
    return n;
  }());
  // The loader's own entries are not capped.
  p.AppendLoadError("Command too long");
  EXPECT_STREQ("\r\nCommand too long", p.GetErrors().Right(18));
  CNCProgram q;
  q.AppendLoadError("first");
  EXPECT_STREQ("first", q.GetErrors());
}

TEST_F(NCProgramTest, FreeElementsReportsProgress) {
  struct Sink : CProgressSink {
    int calls = 0, last = -1, range = -1;
    void SetProgress(int position, int r) override {
      calls++;
      last = position;
      range = r;
    }
    BOOL IsCanceled() override { return FALSE; }
  } sink;
  CNCProgram p;
  for (int i = 0; i < 450; i++) p.AddTag("F", i);
  p.FreeElements(&sink);
  EXPECT_EQ(0, p.GetElementCount());
  EXPECT_EQ(450, sink.calls);
  EXPECT_EQ(449, sink.last);
  EXPECT_EQ(450, sink.range);
}

}  // namespace
