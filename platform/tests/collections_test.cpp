#include <gtest/gtest.h>

#include "platform/collections.h"
#include "platform/rect.h"

namespace {

TEST(CArrayTest, InsertRemoveGrow) {
  CArray<int, int> a;
  EXPECT_EQ(0, a.Add(1));
  a.Add(3);
  a.InsertAt(1, 2);
  a.InsertAt(0, 0, 2);
  ASSERT_EQ(5, a.GetSize());
  EXPECT_EQ(0, a[0]);
  EXPECT_EQ(0, a[1]);
  EXPECT_EQ(3, a[4]);
  a.RemoveAt(0, 2);
  EXPECT_EQ(1, a[0]);
  a.SetAtGrow(6, 9);
  EXPECT_EQ(7, a.GetSize());
  EXPECT_EQ(0, a[5]);
  EXPECT_EQ(6, a.GetUpperBound());
  a.RemoveAll();
  EXPECT_TRUE(a.IsEmpty());
}

TEST(CArrayTest, StringArray) {
  CStringArray s;
  s.Add("one");
  s.Add(CString("two"));
  CStringArray t;
  t.Copy(s);
  t.Append(s);
  ASSERT_EQ(4, t.GetSize());
  EXPECT_STREQ("two", t[3]);
}

TEST(CRectTest, Geometry) {
  CRect r(10, 20, 30, 60);
  EXPECT_EQ(20, r.Width());
  EXPECT_EQ(40, r.Height());
  EXPECT_TRUE(r.PtInRect(CPoint(10, 20)));
  EXPECT_FALSE(r.PtInRect(CPoint(30, 20)));
  CRect i;
  EXPECT_TRUE(i.IntersectRect(&r, CRect(25, 0, 100, 30)));
  EXPECT_EQ(CRect(25, 20, 30, 30), i);
  EXPECT_FALSE(i.IntersectRect(&r, CRect(40, 0, 50, 10)));
  EXPECT_TRUE(i.IsRectNull());
  r.DeflateRect(2, 3);
  EXPECT_EQ(CRect(12, 23, 28, 57), r);
}

}  // namespace
