#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/path_record.h"
#include "platform/testing/test_support.h"

// Packed fields are compared through a copy (DWORD(...)): gtest binds references.

namespace {

std::string Bytes(const PathRecord& r) {
  return std::string(reinterpret_cast<const char*>(&r.Data()), kPathRecordSize);
}

ToolRecord MakeTool(const char* name, double diameter) {
  ToolRecord t;
  std::memset(&t, 0, sizeof t);
  t.m_nKind = 2;
  t.m_dDiameter = diameter;
  std::strcpy(t.m_szName, name);
  return t;
}

void ExpectResetBytes(const std::string& b) {
  ASSERT_EQ(118u, b.size());
  EXPECT_EQ('\xFF', b[0]);
  EXPECT_EQ('\xFF', b[1]);
  const char unset[8] = {'\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xFF', '\xEF', '\x7F'};
  for (int k = 0; k < 3; k++) EXPECT_EQ(0, std::memcmp(unset, b.data() + 34 + 8 * k, 8)) << k;
  for (int i = 2; i <= 9; i++) EXPECT_EQ(0, b[i]) << i;
  for (int i = 14; i <= 33; i++) EXPECT_EQ(0, b[i]) << i;
  for (int i = 58; i <= 117; i++) EXPECT_EQ(0, b[i]) << i;
}

TEST(PathRecord, ResetStateAsStored) {
  PathRecord r;
  EXPECT_EQ(0u, DWORD(r.m_nLine));
  ExpectResetBytes(Bytes(r));

  // Through a file, as the job writer stores it.
  testing_support::TempDir dir;
  CString path = dir / "one.structs";
  {
    CFile f(path, CFile::modeCreate | CFile::modeWrite | CFile::typeBinary);
    f.Write(&r.Data(), kPathRecordSize);
  }
  ExpectResetBytes(testing_support::ReadFileBytes(path));
}

TEST(PathRecord, ResetKeepsTheLineAndReleasesTheTool) {
  PathRecord r;
  r.m_nCode = 1;
  r.m_nLine = 42;
  r.m_nFlags = 0x105;
  std::strcpy(r.m_szName, "T");
  r.m_vEnd = Vec3(1, 2, 3);
  ToolRecord t = MakeTool("ball 3", 3.0);
  r.SetTool(&t);
  ASSERT_NE(nullptr, r.GetTool());
  EXPECT_NE(&t, r.GetTool());
  // The tool copy never reaches the stored bytes.
  EXPECT_EQ(0u, DWORD(r.Data().m_nToolRef));
  r.Reset();
  EXPECT_EQ(nullptr, r.GetTool());
  EXPECT_EQ(42u, DWORD(r.m_nLine));
  PathRecord fresh;
  fresh.m_nLine = 42;
  EXPECT_EQ(Bytes(fresh), Bytes(r));
}

TEST(PathRecord, CopiesOwnTheirTool) {
  PathRecord a;
  ToolRecord t = MakeTool("flat 6", 6.0);
  a.SetTool(&t);
  PathRecord b(a);
  PathRecord c;
  c = a;
  a.SetTool(nullptr);
  ASSERT_NE(nullptr, b.GetTool());
  ASSERT_NE(nullptr, c.GetTool());
  EXPECT_NE(b.GetTool(), c.GetTool());
  EXPECT_EQ(6.0, double(c.GetTool()->m_dDiameter));
  EXPECT_STREQ("flat 6", b.GetTool()->m_szName);
  PathRecord& self = c;
  c = self;
  EXPECT_NE(nullptr, c.GetTool());
}

TEST(PathRecord, FlagHelpersAndStoredBytes) {
  PathRecord r;
  r.SetSource(true);
  r.SetHelical(true);
  r.SetFitted(true);
  EXPECT_EQ(0x105u, DWORD(r.m_nFlags));
  EXPECT_EQ(1, r.IsCoordChanged());
  EXPECT_EQ(1, r.IsHelical());
  EXPECT_EQ(1, r.IsFitted());
  r.SetHelical(false);
  EXPECT_EQ(0x101u, DWORD(r.m_nFlags));

  r.m_nCode = 2;
  r.m_vEnd = Vec3(1.5, -2, 3);
  r.m_vCenter = Vec3(0, 0, 3);
  std::string b = Bytes(r);
  double x;
  std::memcpy(&x, b.data() + 66, 8);
  EXPECT_EQ(1.5, x);
  std::memcpy(&x, b.data() + 90 + 16, 8);
  EXPECT_EQ(3.0, x);
  EXPECT_EQ(2, b[0]);
  EXPECT_EQ(0x01, (unsigned char)b[6]);
  EXPECT_EQ(0x01, (unsigned char)b[7]);

  // A record read back from bytes whose reference field is garbage carries no tool.
  PathRecordData raw = r.Data();
  raw.m_nToolRef = 0xDEADBEEF;
  PathRecord back;
  back.SetData(raw);
  EXPECT_EQ(nullptr, back.GetTool());
  EXPECT_EQ(0u, DWORD(back.Data().m_nToolRef));
  Vec3 e = back.GetEnd();
  EXPECT_EQ(-2.0, e.y);
}

}  // namespace
