// Path elements: rapid splitting, elements <-> records, the optimiser's setters.
#include <cstring>
#include <functional>
#include <thread>

#include "nc/tests/nc_test_support.h"

using nc_testing::Describe;
using nc_testing::Join;
using Lines = std::vector<std::string>;

namespace {

using nc_testing::Hpgl;
using nc_testing::ReadState;

class PathElementTest : public AppFolderTest {};

TEST_F(PathElementTest, RapidsTravelXYFirstAtTheOldHeight) {
  struct {
    Vec3 start, end;
    BYTE axes;
    Lines expected;
  } cases[] = {
      {{0, 0, 5}, {10, 4, 0}, kAxesXYZ, {"R(4,4,5) ~", "R(10,4,5) ~", "R(10,4,0)"}},
      {{0, 0, 0}, {10, 4, 0}, kAxesXYZ, {"R(4,4,0) ~", "R(10,4,0)"}},
      {{0, 0, 5}, {0, 0, 0}, kAxesXYZ, {"R(0,0,0)"}},
      {{0, 0, 0}, {4, 4, 0}, kAxesXYZ, {"R(4,4,0)"}},
      // Diagonal with a Z change: no 45-degree piece, XY first all the same.
      {{0, 0, 0}, {4, -4, 2}, kAxesXYZ, {"R(4,-4,0) ~", "R(4,-4,2)"}},
      {{10, 10, 0}, {0, 6, -1}, kAxesXYZ, {"R(6,6,0) ~", "R(0,6,0) ~", "R(0,6,-1)"}},
      // Axes the source did not name do not count as travel.
      {{0, 0, 5}, {10, 4, 0}, kAxisX, {"R(10,4,0)"}},
      {{0, 0, 5}, {10, 4, 0}, kAxisZ, {"R(10,4,0)"}},
      {{0, 0, 5}, {10, 4, 0}, kAxisX | kAxisZ, {"R(10,4,5) ~", "R(10,4,0)"}},
  };
  for (const auto& k : cases) {
    CNCProgram p;
    ReadState(p).m_vLastPoint = k.start;
    ASSERT_TRUE(p.AddLine(kCodeRapid, k.axes, k.end));
    EXPECT_EQ(Join(k.expected), Join(Describe(p)));
    // Pieces keep the source line and carry the XY mask.
    for (int i = 0; i + 1 < p.GetElementCount(); i++)
      EXPECT_EQ(kAxesXY, static_cast<const CPathLineElement*>(p.GetElement(i))->m_byAxes);
  }
  // Feeds are never split.
  CNCProgram p;
  ReadState(p).m_vLastPoint = Vec3(0, 0, 5);
  ASSERT_TRUE(p.AddLine(kCodeFeed, kAxesXYZ, Vec3(10, 4, 0)));
  EXPECT_EQ("F(10,4,0)\n", Join(Describe(p)));
}

ToolRecord MakeTool(double diameter) {
  ToolRecord t;
  std::memset(&t, 0, sizeof t);
  t.m_dDiameter = diameter;
  std::strcpy(t.m_szName, "flat");
  return t;
}

TEST_F(PathElementTest, RecordsRebuildElementsByCode) {
  CNCProgram p;
  ToolRecord tool = MakeTool(3.175);
  struct {
    WORD code;
    const char* name;
    bool withTool;
    const char* expected;
  } cases[] = {
      {0x8001, "Q", false, "Q=7"},  // bit 15 set, not 0xFFFF: still a tag
      {0xFFFF, "T", true, "T=7 tool=3.175"},
      {0xFFFF, "M", true, "M=7"},  // only "T" tags take a tool along
      {17, "", false, "G17"},
      {0x7FFF, "", false, "G32767"},
  };
  for (const auto& k : cases) {
    PathRecord rec;
    rec.m_nCode = k.code;
    rec.SetSource(true);
    std::strcpy(rec.m_szName, k.name);
    rec.m_dValue = 7;
    if (k.withTool) rec.SetTool(&tool);
    ASSERT_TRUE(p.AddPathRecord(&rec));
    EXPECT_EQ(k.expected, Describe(p.GetElement(p.GetElementCount() - 1)));
  }
  EXPECT_FALSE(p.AddPathRecord(nullptr));
}

TEST_F(PathElementTest, ArcsKeepOnlyTheirFlagBitsAndNoMark) {
  CNCProgram p;
  for (WORD code : {kCodeFeed, kCodeArcCCW}) {
    PathRecord rec;
    rec.m_nCode = code;
    rec.m_nFlags = 0xC05;  // source, helical, plus door marks
    rec.m_dMark = 12.5;
    rec.m_dRadius = 3;
    rec.m_nTagStart = 2;
    rec.m_byAxes = kAxesXY;
    rec.m_vEnd = Vec3(1, 2, 3);
    rec.m_vCenter = Vec3(0, 2, 3);
    ASSERT_TRUE(p.AddPathRecord(&rec));
  }
  auto line = static_cast<const CPathLineElement*>(p.GetElement(0));
  auto arc = static_cast<const CPathArcElement*>(p.GetElement(1));
  EXPECT_EQ(0xC05u, line->m_nFlags);
  EXPECT_EQ(12.5, p.GetMoveExtras(0).m_dMark);
  EXPECT_EQ(0x005u, arc->m_nFlags);
  EXPECT_EQ(0.0, p.GetMoveExtras(1).m_dMark);
  EXPECT_EQ(3.0, arc->m_dRadius);
  EXPECT_EQ(2u, arc->m_nTagStart);
  EXPECT_EQ("CCW(1,2,3)@(0,2,3)", Describe(arc));
}

TEST_F(PathElementTest, RecordsRoundTripAndTransform) {
  CNCProgram p;
  ReadState(p).m_nLine = 4;
  ASSERT_TRUE(p.AddCode(91));
  ASSERT_TRUE(p.AddTag("T", 2, new ToolRecord(MakeTool(6))));
  ASSERT_TRUE(p.AddTag("S", 18000));
  ReadState(p).m_vLastPoint = Vec3(10, 0, 0);
  ASSERT_TRUE(p.AddArc(kCodeArcCCW, 0, kAxesXY, Vec3(0, 10, 0), Vec3(0, 0, 0)));
  ASSERT_TRUE(p.SetTagStart(p.GetElementCount() - 1, 1));

  CNCProgram copy;
  PathRecord rec;
  for (int i = 0; i < p.GetElementCount(); i++) {
    ASSERT_TRUE(p.GetPathRecord(i, rec, FALSE));
    ASSERT_TRUE(copy.AddPathRecord(&rec));
  }
  EXPECT_FALSE(p.GetPathRecord(p.GetElementCount(), rec, FALSE));
  EXPECT_FALSE(p.GetPathRecord(-1, rec, FALSE));
  EXPECT_EQ(Join(Describe(p)), Join(Describe(copy)));
  EXPECT_STREQ("T2", copy.GetUsedTools());
  EXPECT_EQ(1, copy.GetTagCount());  // the arc starts a tag
  EXPECT_EQ(0.0, ReadState(copy).m_vLastPoint.x);
  EXPECT_EQ(10.0, ReadState(copy).m_vLastPoint.y);

  // The tag record carries its own tool copy; the mode record line and code.
  ASSERT_TRUE(p.GetPathRecord(1, rec, FALSE));
  ASSERT_NE(nullptr, rec.GetTool());
  EXPECT_EQ(6.0, double(rec.GetTool()->m_dDiameter));
  EXPECT_STREQ("T", rec.m_szName);
  ASSERT_TRUE(p.GetPathRecord(0, rec, FALSE));
  EXPECT_EQ(nullptr, rec.GetTool());  // reset releases it
  EXPECT_EQ(91, int(rec.m_nCode));
  EXPECT_EQ(4u, DWORD(rec.m_nLine));
  EXPECT_EQ(1, rec.IsCoordChanged());

  // Orientation 8 swaps X and Y of end and centre; the arc keeps its code.
  p.SetOrientation(0, 0, 0, 8);
  ASSERT_TRUE(p.GetPathRecord(p.GetElementCount() - 1, rec, TRUE));
  EXPECT_EQ(3, int(rec.m_nCode));
  EXPECT_EQ(10.0, double(rec.m_vEnd.x));
  EXPECT_EQ(0.0, double(rec.m_vEnd.y));
  ASSERT_TRUE(p.GetPathRecord(p.GetElementCount() - 1, rec, FALSE));
  EXPECT_EQ(0.0, double(rec.m_vEnd.x));
}

TEST_F(PathElementTest, NextMoveRecordSkipsInsertedPieces) {
  CNCProgram p;
  ReadState(p).m_vLastPoint = Vec3(0, 0, 5);
  p.AddLine(kCodeRapid, kAxesXYZ, Vec3(10, 4, 0));  // two pieces and the element
  p.AddTag("F", 10);
  PathRecord rec;
  int index = 0;
  ASSERT_TRUE(p.GetNextMoveRecord(index, rec));
  EXPECT_EQ(3, index);
  EXPECT_EQ(0.0, double(rec.m_vEnd.z));
  ASSERT_TRUE(p.GetNextMoveRecord(index, rec));
  EXPECT_EQ(4, index);
  EXPECT_EQ(0xFFFF, int(rec.m_nCode));
  EXPECT_FALSE(p.GetNextMoveRecord(index, rec));
}

// A program of every kind of element: 0 rapid, 1 feed, 2 arc, 3 tag, 4 mode code.
void MakeMixed(CNCProgram& p) {
  p.AddLine(kCodeRapid, kAxisX, Vec3(1, 0, 0));
  ReadState(p).m_vLastPoint = Vec3(1, 0, 0);
  p.AddLine(kCodeFeed, kAxisY, Vec3(1, 1, 0));
  ReadState(p).m_vLastPoint = Vec3(1, 1, 0);
  p.SetArcTolerance(100);  // keep the arc whole
  p.AddArc(kCodeArcCW, 0, kAxesXY, Vec3(2, 2, 0), Vec3(2, 1, 0));
  p.AddTag("S", 1000);
  p.AddCode(90);
}

TEST_F(PathElementTest, SettersActOnTheirCodesOnly) {
  struct {
    const char* name;
    std::function<BOOL(CNCProgram&, int)> call;
    bool acts[5];  // rapid, feed, arc, tag, mode
  } cases[] = {
      {"SetTagStart", [](CNCProgram& p, int i) { return p.SetTagStart(i, 1); }, {1, 1, 1, 0, 0}},
      {"LimitRadius", [](CNCProgram& p, int i) { return p.LimitRadius(i, 5); }, {1, 1, 1, 0, 0}},
      {"SetMark", [](CNCProgram& p, int i) { return p.SetMark(i, 5); }, {1, 1, 1, 0, 0}},
      {"SetCenter", [](CNCProgram& p, int i) { return p.SetCenter(i, Vec3()); }, {0, 0, 1, 0, 0}},
      {"ReverseArc", [](CNCProgram& p, int i) { return p.ReverseArc(i); }, {0, 0, 1, 0, 0}},
      {"SetFeedEnd", [](CNCProgram& p, int i) { return p.SetFeedEnd(i, Vec3(), 1); }, {0, 1, 0, 0, 0}},
      {"SetMarkA", [](CNCProgram& p, int i) { return p.SetMarkA(i); }, {1, 1, 1, 0, 0}},
      {"SetDiscard", [](CNCProgram& p, int i) { return p.SetDiscard(i, 1); }, {1, 1, 1, 1, 1}},
  };
  for (const auto& k : cases) {
    CNCProgram p;
    MakeMixed(p);
    ASSERT_EQ(5, p.GetElementCount());
    for (int i = 0; i < 5; i++) EXPECT_EQ(k.acts[i], !!k.call(p, i)) << k.name << " on " << i;
    EXPECT_FALSE(k.call(p, 5)) << k.name;
    EXPECT_FALSE(k.call(p, -1)) << k.name;
    CNCProgram empty;
    EXPECT_FALSE(k.call(empty, 0)) << k.name;
  }
}

TEST_F(PathElementTest, SetterEffects) {
  CNCProgram p;
  MakeMixed(p);
  auto move = [&](int i) { return static_cast<const CPathLineElement*>(p.GetElement(i)); };
  p.SetAngle(1, 30);
  p.SetRadius(1, 8);
  p.SetTagStart(1, 0);
  EXPECT_EQ(30.0, p.GetMoveExtras(1).m_dAngle);
  EXPECT_EQ(8.0, p.GetMoveExtras(1).m_dRadius);
  p.LimitRadius(1, 9);
  EXPECT_EQ(8.0, p.GetMoveExtras(1).m_dRadius);
  p.LimitRadius(1, 2);
  EXPECT_EQ(2.0, p.GetMoveExtras(1).m_dRadius);
  p.SetTagStart(1, 2);  // a tag start forgets the corner values
  EXPECT_EQ(DBL_MAX, p.GetMoveExtras(1).m_dRadius);
  EXPECT_EQ(DBL_MAX, p.GetMoveExtras(1).m_dAngle);
  p.ReverseArc(2);
  EXPECT_EQ(kCodeArcCCW, move(2)->m_nCode);
  p.SetMarkA(0);
  p.SetMarkB(0);
  EXPECT_EQ(kFlagSource | kFlagMarkA | kFlagMarkB, move(0)->m_nFlags);
  p.SetFeedEnd(1, Vec3(3, 3, 3), 4);
  EXPECT_EQ("F(3,3,3)", Describe(move(1)));
  EXPECT_EQ(4.0, p.GetMoveExtras(1).m_dRadius);
  p.SetDeviation(2, 0.01);
  EXPECT_EQ(0.01, p.GetMoveExtras(2).m_dDeviation);
  p.SetAxes(2, kAxisZ);
  EXPECT_EQ(kAxisZ, move(2)->m_byAxes);
}

TEST_F(PathElementTest, DiscardHandsAxesToTheNextKeptMove) {
  CNCProgram p;
  p.AddLine(kCodeFeed, kAxisX, Vec3(1, 0, 0));
  p.AddTag("F", 5);
  p.AddLine(kCodeFeed, kAxisY, Vec3(1, 1, 0));
  p.AddLine(kCodeFeed, kAxisZ, Vec3(1, 1, 1));
  p.AddLine(kCodeFeed, kAxisX, Vec3(2, 1, 1));
  auto axes = [&](int i) { return static_cast<const CPathLineElement*>(p.GetElement(i))->m_byAxes; };
  p.SetDiscard(2, 1);  // Y merged away: Z move must now name Y too
  EXPECT_EQ(kAxisY | kAxisZ, axes(3));
  p.SetDiscard(0, 1);  // X: passes the discarded Y move on to the Z move
  EXPECT_EQ(kAxesXYZ, axes(3));
  EXPECT_EQ(kAxisX, axes(4));
  p.SetDiscard(4, 1);  // the last move: nothing else changes
  EXPECT_EQ(kAxesXYZ, axes(3));
  EXPECT_EQ(1u, p.GetElement(4)->m_nDiscard);
}

}  // namespace

namespace {

// Programs built on two threads at once: each appends into its own arena, intact, and the
// shared pool (the elements made outside a program's adders) is not touched.
TEST_F(PathElementTest, ProgramsOnSeveralThreadsAppendIntoTheirOwnArenas) {
  size_t before = element_pool::LiveBlocks();
  auto build = [](CNCProgram* p, double y) {
    for (int i = 0; i < 20000; i++) {
      ReadState(*p).m_vLastPoint = Vec3(i, y, 0);
      p->AddLine(kCodeFeed, kAxesXY, Vec3(i + 1, y, 0));
      p->AddTag("S", i);
    }
  };
  {
    CNCProgram a, b;
    std::thread other(build, &b, 2.0);
    build(&a, 1.0);
    other.join();
    EXPECT_EQ(before, element_pool::LiveBlocks());
    ASSERT_EQ(40000, a.GetElementCount());
    ASSERT_EQ(40000, b.GetElementCount());
    for (int i = 0; i < 40000; i += 2) {
      ASSERT_EQ(Vec3(i / 2 + 1, 1, 0), static_cast<const CPathLineElement*>(a.GetElement(i))->m_vEnd);
      ASSERT_EQ(Vec3(i / 2 + 1, 2, 0), static_cast<const CPathLineElement*>(b.GetElement(i))->m_vEnd);
    }
  }
  EXPECT_EQ(before, element_pool::LiveBlocks());
}

}  // namespace
