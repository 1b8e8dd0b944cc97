#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "foundation/settings.h"
#include "nc/element_image.h"
#include "nc/element_pool.h"
#include "nc/tests/nc_test_support.h"
#include "platform/testing/test_support.h"

#ifdef _WIN32
#include "foundation/workspace.h"
#endif

namespace {

// Every field of an element, by name, as text: two elements that agree here agree in
// every field the element model has.
// The fields of an element and, for a move, the optimiser's values `x` beside it.
std::string Fields(const CPathElement& e, const MoveExtras& x = MoveExtras()) {
  char buf[512];
  std::snprintf(buf, sizeof buf, "code=%u discard=%08X flags=%08X line=%08X", (unsigned)e.m_nCode,
                (unsigned)e.m_nDiscard, (unsigned)e.m_nFlags, (unsigned)e.m_nLine);
  std::string s = buf;
  if (e.m_nCode == kCodeTag) {
    const CPathTagElement& t = static_cast<const CPathTagElement&>(e);
    std::snprintf(buf, sizeof buf, " name=%s value=%.17g tool=%s", t.m_szName, t.m_dValue,
                  t.m_pTool ? t.m_pTool->m_szName : "-");
    s += buf;
  } else if (IsMoveCode(e.m_nCode)) {
    const CPathLineElement& m = static_cast<const CPathLineElement&>(e);
    std::snprintf(buf, sizeof buf,
                  " axes=%02X tagstart=%08X radius=%.17g angle=%.17g deviation=%.17g mark=%.17g end=%.17g,%.17g,%.17g",
                  (unsigned)m.m_byAxes, (unsigned)m.m_nTagStart, AsArc(&e) ? AsArc(&e)->m_dRadius : x.m_dRadius,
                  x.m_dAngle, x.m_dDeviation, x.m_dMark, m.m_vEnd.x, m.m_vEnd.y, m.m_vEnd.z);
    s += buf;
    if (IsArcCode(e.m_nCode)) {
      const Vec3& c = static_cast<const CPathArcElement&>(e).m_vCenter;
      std::snprintf(buf, sizeof buf, " center=%.17g,%.17g,%.17g", c.x, c.y, c.z);
      s += buf;
    }
  }
  return s;
}

// A record with a distinct value in every field an element of `code` has.
PathRecord DistinctRecord(WORD code, const char* name) {
  PathRecord r;
  r.m_nCode = code;
  r.m_nDiscard = 0x01020304;
  r.m_nFlags = kFlagSource | kFlagHelical | kFlagFitted | kFlagMarkA | kFlagMarkB | 0x00010000;
  r.m_nLine = 0x0A0B0C0D;
  if (code == kCodeTag) {
    std::strcpy(r.m_szName, name);
    r.m_dValue = 12.5;
    ToolRecord tool = {};
    std::strcpy(tool.m_szName, "ball 3");
    r.SetTool(&tool);
  } else if (IsMoveCode(code)) {
    r.m_byAxes = 0xA0;
    r.m_nTagStart = 0x11223344;
    r.m_dRadius = 1.25;
    r.m_dAngle = 2.5;
    r.m_dDeviation = 3.75;
    r.m_dMark = 5.125;
    r.m_vEnd = Vec3(6.5, -7.25, 8.0625);
    if (IsArcCode(code)) r.m_vCenter = Vec3(-9.5, 10.75, -11.875);
  }
  return r;
}

// Element -> record -> element -> image -> element keeps every field of every kind. The
// one documented exception: an arc rebuilt from a record keeps only the source, fitted
// and helical bits of its flags and starts without a path mark.
class ElementRoundTrip : public AppFolderTest {};

TEST_F(ElementRoundTrip, EveryFieldSurvivesRecordAndImage) {
  struct {
    WORD code;
    const char* name;
  } kinds[] = {{17, ""},        {kCodeTag, "ZW"}, {kCodeTag, "T"},  {kCodeRapid, ""},
               {kCodeFeed, ""}, {kCodeArcCW, ""}, {kCodeArcCCW, ""}};
  for (const auto& k : kinds) {
    SCOPED_TRACE(k.code);
    CNCProgram p;
    const PathRecord r0 = DistinctRecord(k.code, k.name);
    ASSERT_TRUE(p.AddPathRecord(&r0));
    CNCProgram q;  // the element that comes back from the record, in a program of its own
    PathRecord r1;
    ASSERT_TRUE(p.GetPathRecord(0, r1, FALSE));
    ASSERT_TRUE(q.AddPathRecord(&r1));
    const CPathElement& e = *q.GetElement(0);
    const MoveExtras x = q.GetMoveExtras(0);

    std::string expected = Fields(*p.GetElement(0), p.GetMoveExtras(0));
    if (IsMoveCode(k.code)) {
      EXPECT_EQ(2.5, x.m_dAngle);
      EXPECT_EQ(3.75, x.m_dDeviation);
    }
    if (IsArcCode(k.code)) {
      EXPECT_EQ(kFlagSource | kFlagHelical | kFlagFitted, e.m_nFlags);
      EXPECT_EQ(0.0, x.m_dMark);
    } else {
      EXPECT_EQ(expected, Fields(e, x));
    }
    PathRecord r2;
    ASSERT_TRUE(q.GetPathRecord(0, r2, FALSE));
    if (!IsArcCode(k.code)) {
      EXPECT_EQ(0, std::memcmp(&r0.Data(), &r2.Data(), kPathRecordSize));
    }
    if (k.code == kCodeTag && !std::strcmp(k.name, "T")) {
      ASSERT_NE(nullptr, r2.GetTool());
      EXPECT_STREQ("ball 3", r2.GetTool()->m_szName);
    }

    // The image keeps every field, the optimiser's values with them, but the tool, which
    // stays with the element.
    BYTE image[kElementImageMax];
    EXPECT_EQ(WorkspaceImageSize(k.code), PackElementImage(e, image, x));
    MoveExtras backX;
    ElementPtr<> back(UnpackElementImage(image, &backX));
    std::string viaImage = Fields(*back, backX);
    std::string original = Fields(e, x);
    if (k.code == kCodeTag && !std::strcmp(k.name, "T")) original.replace(original.find("tool=ball 3"), 11, "tool=-");
    EXPECT_EQ(original, viaImage);
  }
}

TEST(ElementImage, SizesByCodeAndRoundTrip) {
  auto tag = std::make_unique<CPathTagElement>();
  tag->SetName("ZW");
  tag->m_dValue = 250.0;
  tag->m_nLine = 7;
  auto feed = std::make_unique<CPathLineElement>(kCodeFeed);
  feed->m_byAxes = kAxesXYZ;
  feed->m_nTagStart = 2;
  MoveExtras feedX;
  feedX.m_dRadius = 3.5;
  feedX.m_dMark = 12.25;
  feed->m_vEnd = Vec3(1, -2, 3);
  feed->m_nDiscard = 1;
  feed->SetSource(true);
  auto arc = std::make_unique<CPathArcElement>(kCodeArcCCW);
  arc->m_vEnd = Vec3(10, 0, 0);
  arc->m_vCenter = Vec3(5, 0, -1);
  arc->SetHelical(true);
  ElementPtr<> mode(new CPathElement(17));
  mode->m_nLine = 99;

  struct {
    const CPathElement* e;
    UINT size;
    MoveExtras x;
  } cases[] = {{tag.get(), 37, {}}, {feed.get(), 83, feedX}, {arc.get(), 107, {}}, {mode.get(), 22, {}}};
  for (auto& c : cases) {
    BYTE image[kElementImageMax];
    memset(image, 0xAB, sizeof image);
    ASSERT_EQ(c.size, PackElementImage(*c.e, image, c.x));
    EXPECT_EQ(c.e->m_nCode, WORD(image[4] | image[5] << 8));
    for (UINT i = c.size; i < kElementImageMax; ++i) ASSERT_EQ(0, image[i]) << "byte " << i;
    for (UINT i = 0; i < 4; ++i) ASSERT_EQ(0, image[i]);
    MoveExtras backX;
    ElementPtr<> back(UnpackElementImage(image, &backX));
    ASSERT_TRUE(back);
    EXPECT_EQ(c.x.m_dMark, backX.m_dMark);
    BYTE again[kElementImageMax];
    EXPECT_EQ(c.size, PackElementImage(*back, again, backX));
    EXPECT_EQ(0, memcmp(image, again, kElementImageMax)) << "code " << c.e->m_nCode;
  }
  ElementPtr<> back;
  BYTE image[kElementImageMax];
  PackElementImage(*arc, image);
  back.reset(UnpackElementImage(image));
  const CPathArcElement* a = AsArc(back.get());
  ASSERT_TRUE(a);
  EXPECT_EQ(Vec3(5, 0, -1).z, a->m_vCenter.z);
  EXPECT_TRUE(a->IsHelical());
}

#ifdef _WIN32

class WorkspaceElements : public ::testing::Test {
 protected:
  void SetUp() override {
    m_saved = g_strAppFolder;
    g_strAppFolder = m_dir.Path();
    m_nLive = element_pool::LiveBlocks();
  }
  // Elements made and not yet deleted since SetUp (the workspace takes them over).
  long Live() const { return (long)element_pool::LiveBlocks() - (long)m_nLive; }
  void TearDown() override { g_strAppFolder = m_saved; }
  testing_support::TempDir m_dir;
  CString m_saved;
  size_t m_nLive = 0;
};

TEST_F(WorkspaceElements, StoresImagesAndTakesElementsOver) {
  CWorkspace ws;
  ASSERT_EQ(8u + 107u * 10u, ws.Open(8 + 107 * 10));
  auto* tag = new CPathTagElement;
  tag->SetName("T");
  tag->m_dValue = 3;
  EXPECT_EQ(1, Live());
  ws.Append(tag);
  EXPECT_EQ(0, Live());
  ASSERT_EQ(1u, ws.GetCount());
  const BYTE* slot = ws.GetAt(0);
  EXPECT_EQ(0xFFFF, WORD(slot[4] | slot[5] << 8));
  for (int i = 37; i < 107; ++i) ASSERT_EQ(0, slot[i]);

  auto* feed = new CPathLineElement(kCodeFeed);
  feed->m_vEnd = Vec3(4, 5, 6);
  EXPECT_EQ(1, ws.InsertAt(0, feed));
  EXPECT_EQ(0, Live());
  {
    ElementPtr<> first(UnpackElementImage(ws.GetAt(0)));
    EXPECT_EQ(kCodeFeed, first->m_nCode);
    EXPECT_EQ(5.0, AsMove(first.get())->m_vEnd.y);
  }

  // Refused stores still delete the element.
  EXPECT_EQ(0, ws.SetAt(5, new CPathArcElement));
  EXPECT_EQ(0, Live());
  ws.Reset();
  ws.Append(new CPathTagElement);
  EXPECT_EQ(0, Live());
  EXPECT_EQ(0u, ws.GetCount());
}

#endif

}  // namespace
