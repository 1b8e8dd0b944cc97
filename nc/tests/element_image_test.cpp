#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "foundation/settings.h"
#include "nc/element_image.h"
#include "platform/testing/test_support.h"

#ifdef _WIN32
#include "foundation/workspace.h"
#endif

namespace {

TEST(ElementImage, SizesByCodeAndRoundTrip) {
  auto tag = std::make_unique<CPathTagElement>();
  tag->SetName("ZW");
  tag->m_dValue = 250.0;
  tag->m_nLine = 7;
  auto feed = std::make_unique<CPathLineElement>(kCodeFeed);
  feed->m_byAxes = kAxesXYZ;
  feed->m_nTagStart = 2;
  feed->m_dRadius = 3.5;
  feed->m_dMark = 12.25;
  feed->m_vEnd = Vec3(1, -2, 3);
  feed->m_nDiscard = 1;
  feed->SetSource(true);
  auto arc = std::make_unique<CPathArcElement>(kCodeArcCCW);
  arc->m_vEnd = Vec3(10, 0, 0);
  arc->m_vCenter = Vec3(5, 0, -1);
  arc->SetHelical(true);
  auto mode = std::make_unique<CPathElement>(17);
  mode->m_nLine = 99;

  struct {
    const CPathElement* e;
    UINT size;
  } cases[] = {{tag.get(), 37}, {feed.get(), 83}, {arc.get(), 107}, {mode.get(), 22}};
  for (auto& c : cases) {
    BYTE image[kElementImageMax];
    memset(image, 0xAB, sizeof image);
    ASSERT_EQ(c.size, PackElementImage(*c.e, image));
    EXPECT_EQ(c.e->m_nCode, WORD(image[4] | image[5] << 8));
    for (UINT i = c.size; i < kElementImageMax; ++i) ASSERT_EQ(0, image[i]) << "byte " << i;
    for (UINT i = 0; i < 4; ++i) ASSERT_EQ(0, image[i]);
    std::unique_ptr<CPathElement> back(UnpackElementImage(image));
    ASSERT_TRUE(back);
    BYTE again[kElementImageMax];
    EXPECT_EQ(c.size, PackElementImage(*back, again));
    EXPECT_EQ(0, memcmp(image, again, kElementImageMax)) << "code " << c.e->m_nCode;
  }
  std::unique_ptr<CPathElement> back;
  BYTE image[kElementImageMax];
  PackElementImage(*arc, image);
  back.reset(UnpackElementImage(image));
  auto* a = dynamic_cast<CPathArcElement*>(back.get());
  ASSERT_TRUE(a);
  EXPECT_EQ(Vec3(5, 0, -1).z, a->m_vCenter.z);
  EXPECT_TRUE(a->IsHelical());
}

#ifdef _WIN32

// Counts deletions, to see that the workspace takes elements over.
int g_deleted = 0;
struct CountedTag : CPathTagElement {
  ~CountedTag() override { ++g_deleted; }
};

class WorkspaceElements : public ::testing::Test {
 protected:
  void SetUp() override {
    m_saved = g_strAppFolder;
    g_strAppFolder = m_dir.Path();
    g_deleted = 0;
  }
  void TearDown() override { g_strAppFolder = m_saved; }
  testing_support::TempDir m_dir;
  CString m_saved;
};

TEST_F(WorkspaceElements, StoresImagesAndTakesElementsOver) {
  CWorkspace ws;
  ASSERT_EQ(8u + 107u * 10u, ws.Open(8 + 107 * 10));
  auto* tag = new CountedTag;
  tag->SetName("T");
  tag->m_dValue = 3;
  ws.Append(tag);
  EXPECT_EQ(1, g_deleted);
  ASSERT_EQ(1u, ws.GetCount());
  const BYTE* slot = ws.GetAt(0);
  EXPECT_EQ(0xFFFF, WORD(slot[4] | slot[5] << 8));
  for (int i = 37; i < 107; ++i) ASSERT_EQ(0, slot[i]);

  auto* feed = new CPathLineElement(kCodeFeed);
  feed->m_vEnd = Vec3(4, 5, 6);
  EXPECT_EQ(1, ws.InsertAt(0, feed));
  std::unique_ptr<CPathElement> first(UnpackElementImage(ws.GetAt(0)));
  EXPECT_EQ(kCodeFeed, first->m_nCode);
  EXPECT_EQ(5.0, static_cast<CPathLineElement*>(first.get())->m_vEnd.y);

  // Refused stores still delete the element.
  EXPECT_EQ(0, ws.SetAt(5, new CountedTag));
  EXPECT_EQ(2, g_deleted);
  ws.Reset();
  ws.Append(new CountedTag);
  EXPECT_EQ(3, g_deleted);
  EXPECT_EQ(0u, ws.GetCount());
}

#endif

}  // namespace
