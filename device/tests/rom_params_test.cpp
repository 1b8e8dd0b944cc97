#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/rom_params.h"
#include "foundation/tests/app_folder_test.h"

using testing_support::FileExists;
using testing_support::MessageBoxRecorder;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

namespace {

constexpr char kLine400[] = "0x400\t=none, float, 1016{1016.0|1014.59|2536.49|2540.07|2540.0}, xdpi\t//4b,double,*****";
constexpr char kLine450[] = "0x450\t=none, byte, 0[0|7], uDriver\t\t\t//1b,driver type,,*****";
constexpr char kLine451[] = "0x451\t=none, byte, 255{0|1|2|3|4|5|6|7|255}, iGearMode\t\t//1b\t\t,,*****";

TEST(RomIndex, HexAndDecimalTexts) {
  struct {
    const char* text;
    int index;
  } cases[] = {{"0X1F", 0x1F}, {"x1f", 0x1F}, {"31", 31}, {"0x1g", 1}, {"  0x400", 0x400}, {"x", 0}, {"0xx5", 0}};
  for (auto c : cases) EXPECT_EQ(c.index, RomParamFile::ParseIndex(c.text)) << c.text;
}

TEST(RomLine, FieldsOfATemplateLine) {
  RomParamFile f;
  RomParam p;
  ASSERT_EQ(1, f.ParseRomLine(kLine400, &p));
  EXPECT_EQ(0x400, p.index);
  EXPECT_EQ('F', p.type);
  float v;
  memcpy(&v, p.value, sizeof(v));
  EXPECT_FLOAT_EQ(1016.0f, v);
  EXPECT_STREQ("{1016.0|1014.59|2536.49|2540.07|2540.0}", p.list);
  EXPECT_STREQ("", p.range);
  EXPECT_STREQ("none", p.className);
  EXPECT_STREQ(" xdpi//4b,double,*****", p.description);
  EXPECT_TRUE(f.m_strInvalidIndexes.IsEmpty());
  EXPECT_STREQ("0x400=none,float,1016.00000000{1016.0|1014.59|2536.49|2540.07|2540.0}, xdpi//4b,double,*****",
               f.FormatRomLine(p));
}

TEST(RomLine, MissingFieldsAndNoEquals) {
  RomParamFile f;
  RomParam p;
  memset(static_cast<void*>(&p), 0x55, sizeof(p));
  EXPECT_EQ(0, f.ParseRomLine("no equals here", &p));
  EXPECT_EQ(0, p.index);  // zero-filled anyway
  ASSERT_EQ(1, f.ParseRomLine("0x10 = Motion Class", &p));
  EXPECT_STREQ(" Motion Class", p.className);  // the rest as it stands
  EXPECT_EQ(0, p.type);
  EXPECT_STREQ("", p.description);
  ASSERT_EQ(1, f.ParseRomLine("0x11=c, word, 77", &p));
  EXPECT_EQ('W', p.type);
  EXPECT_EQ(77, p.value[0]);
  EXPECT_STREQ("0x11=c,word,77,", f.FormatRomLine(p));
  ASSERT_EQ(1, f.ParseRomLine("0x12=c,,,desc", &p));
  EXPECT_STREQ("0x12=c,,,desc", f.FormatRomLine(p));
}

TEST(RomLine, ValuesAgainstTheirValidValues) {
  struct {
    std::string line;
    bool valid;
  } cases[] = {
      {kLine450, true},
      {std::string(kLine450).replace(std::string(kLine450).find(" 0["), 3, " 7["), true},
      {std::string(kLine450).replace(std::string(kLine450).find(" 0["), 3, " 8["), false},
      {kLine451, true},
      {std::string(kLine451).replace(std::string(kLine451).find("255{"), 4, "8{"), false},
      {"0x20=n,byte,5[5],x", false},   // "[5]": lower bound 5, upper bound 0
      {"0x21=n,long,{1|2},x", false},  // the value is empty after the cut: 0 is not listed
  };
  for (auto& c : cases) {
    RomParamFile f;
    RomParam p;
    ASSERT_EQ(1, f.ParseRomLine(c.line.c_str(), &p));
    EXPECT_EQ(c.valid, f.m_strInvalidIndexes.IsEmpty()) << c.line;
  }
  RomParamFile f;
  EXPECT_EQ(1, f.IsValueAllowed("1016", "", "{1016.0|1014.59}"));
  EXPECT_EQ(0, f.IsValueAllowed("1016.001", "", "{1016.0|1014.59}"));
  EXPECT_EQ(1, f.IsValueAllowed("3", "[1|5]", ""));
  EXPECT_EQ(1, f.IsValueAllowed("9", "", ""));
}

TEST(RomLine, ValueWidthsByType) {
  RomParamFile f;
  RomParam p;
  ASSERT_EQ(1, f.ParseRomLine("0x30=n,short,-5,d", &p));
  EXPECT_STREQ("0x30=n,short,-5,d", f.FormatRomLine(p));
  ASSERT_EQ(1, f.ParseRomLine("0x30=n,short,4294967291,d", &p));
  EXPECT_STREQ("0x30=n,short,-5,d", f.FormatRomLine(p));
  ASSERT_EQ(1, f.ParseRomLine("0x31=n,char,-1,d", &p));
  CString type, value;
  f.GetTypeAndValueText(p, type, value);
  EXPECT_STREQ("char", type);
  EXPECT_STREQ("-1", value);
  EXPECT_STREQ("0x31=n,char,255,d", f.FormatRomLine(p));  // files carry the byte unsigned
  ASSERT_EQ(1, f.ParseRomLine("0x32=n,string,ABCDEFGHIJKLMNOPQRSTU,d", &p));
  f.GetTypeAndValueText(p, type, value);
  EXPECT_STREQ("ABCDEFGHIJKLMNOP", value);
  ASSERT_EQ(1, f.ParseRomLine("0x33=n,dword,4294967295,d", &p));
  f.GetTypeAndValueText(p, type, value);
  EXPECT_STREQ("4294967295", value);
  ASSERT_EQ(1, f.ParseRomLine("0x34=n,double,2.5,d", &p));
  f.GetTypeAndValueText(p, type, value);
  EXPECT_STREQ("2.50000000", value);
  ASSERT_EQ(1, f.ParseRomLine("0x35=n,float,1e99,d", &p));  // beyond a float: infinity, no UB
  ASSERT_EQ(1, f.ParseRomLine("0x36=n,Quad,1,d", &p));
  f.GetTypeAndValueText(p, type, value);
  EXPECT_STREQ("none", type);
  EXPECT_STREQ("", value);
}

TEST(RomLine, SetValueFromTextTakesTypeNamesInAnyCase) {
  RomParamFile f;
  RomParam p;
  f.ParseRomLine("0x40=n,word,9,d", &p);
  f.SetValueFromText(p, "BYTE", "300");
  EXPECT_EQ('B', p.type);
  EXPECT_EQ(44, p.value[0]);
  f.SetValueFromText(p, "blob", "1");
  EXPECT_EQ('B', p.type);
  EXPECT_EQ(44, p.value[0]);
  f.SetValueFromText(p, "string", "NAME");
  EXPECT_STREQ("NAME", (const char*)p.value);  // a text keeps its case
}

// A string value goes into the file line as it is, where blanks and tabs are dropped
// and "," "{" "[" separate fields: such a value would not come back, so it is refused.
TEST(RomValue, StringValuesTheFileCannotCarryBackAreRefused) {
  RomParamFile f;
  struct Case {
    const char* text;
    bool ok;
  } cases[] = {{"ShopA-2", true}, {"Shop A", false},    {"a,b", false}, {"line{2}", false},
               {"x[1]", false},   {"tab\there", false}, {"", true}};
  for (const Case& c : cases) {
    RomParam p;
    f.ParseRomLine("0x470=none,string,old,name", &p);
    CString error;
    EXPECT_EQ(c.ok, f.SetValueFromText(p, "String", c.text, &error) != 0) << c.text;
    EXPECT_EQ(c.ok, error.IsEmpty()) << c.text;
    EXPECT_STREQ(c.ok ? c.text : "old", (const char*)p.value) << c.text;
    if (!c.ok) continue;
    // What is accepted comes back from the file line unchanged.
    RomParam back;
    ASSERT_EQ(1, f.ParseRomLine(f.FormatRomLine(p), &back));
    EXPECT_STREQ(c.text, (const char*)back.value) << c.text;
  }
}

// The bytes of a request as the controller gets them: a read is the first 38, a write
// the value's length + 38, and whatever lies past the value is zero, for a double or a
// string too, where the count runs past the 42-byte request.
TEST(RomRequest, BytesOfReadsAndWritesByType) {
  RomParamFile f;
  struct Case {
    const char* line;
    int writeCount;
    std::vector<BYTE> value;  // the value field's leading bytes; the rest must be zero
  } cases[] = {
      {"0x450=n,byte,7,d", 40, {7}},
      {"0x20=n,char,-2,d", 40, {0xFE}},
      {"0x21=n,word,513,d", 40, {1, 2}},
      {"0x22=n,dword,67305985,d", 42, {1, 2, 3, 4}},
      {"0x400=n,float,2.5,d", 42, {0, 0, 0x20, 0x40}},
      {"0x23=n,double,2.5,d", 46, {0, 0, 0, 0, 0, 0, 4, 0x40}},
      {"0x470=n,string,ABC,d", 74, {'A', 0, 'B', 0, 'C'}},
      {"0x471=n,string,ABCDEFGHIJKLMNOP,d", 74, {}},
      {"0x24=n,,,d", 40, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    RomParam p;
    ASSERT_EQ(1, f.ParseRomLine(c.line, &p));
    RomParamRequest r = MakeRomRequest(p);
    for (bool reading : {true, false}) {
      BYTE out[kRomWriteBufferSize];
      memset(out, 0xCC, sizeof out);
      int count = EncodeRomRequest(r, reading, out);
      EXPECT_EQ(reading ? 38 : c.writeCount, count);
      EXPECT_EQ(18, out[0] | out[1] << 8);
      EXPECT_EQ(p.index, out[2] | out[3] << 8);
      EXPECT_EQ((BYTE)p.type, out[4]);
      EXPECT_EQ(0, out[5]);
      std::vector<BYTE> want = c.value;
      if (p.type == 'T' && want.empty())  // sixteen characters, each in its 16-bit unit
        for (char ch = 'A'; ch <= 'P'; ++ch) want.insert(want.end(), {(BYTE)ch, 0});
      want.resize(kRomWriteBufferSize - 6, 0);
      EXPECT_EQ(want, std::vector<BYTE>(out + 6, out + kRomWriteBufferSize));
      BYTE again[kRomWriteBufferSize];
      EncodeRomRequest(r, reading, again);  // a resend: the same bytes
      EXPECT_EQ(0, memcmp(out, again, sizeof out));
    }
  }
}

TEST(RomAnswer, SplitAtTheFirstTwoCommas) {
  struct Case {
    const char* line;
    bool ok;
    const char* index;
    const char* flag;
    const char* value;
  } cases[] = {
      {"B0400,1,1016", true, "B0400", "1", "1016"},
      {"B0470,1,a,b", true, "B0470", "1", "a,b"},
      {"B0452,-,", true, "B0452", "-", ""},
      {"B0400,1", false, "", "", ""},
      {"", false, "", "", ""},
  };
  for (const Case& c : cases) {
    CString index, flag, value;
    EXPECT_EQ(c.ok, RomParamFile::SplitRomAnswer(c.line, index, flag, value) != 0) << c.line;
    EXPECT_STREQ(c.index, index) << c.line;
    EXPECT_STREQ(c.flag, flag) << c.line;
    EXPECT_STREQ(c.value, value) << c.line;
  }
  // The letter reads as a hex digit above the low 16 bits of a four-digit index.
  EXPECT_EQ(0x400, RomParamFile::ParseIndex("0xB0400") & 0xFFFF);
}

TEST(RomAnswer, ValueTakenByTheParametersOwnType) {
  RomParamFile f;
  RomParam p;
  ASSERT_EQ(1, f.ParseRomLine(kLine400, &p));
  f.SetValueFromDevice(p, "2540.07");
  CString type, value;
  f.GetTypeAndValueText(p, type, value);
  EXPECT_STREQ("float", type);
  EXPECT_STREQ("2540.07006836", value);  // as a float holds it
  EXPECT_STREQ("{1016.0|1014.59|2536.49|2540.07|2540.0}", p.list);
  ASSERT_EQ(1, f.ParseRomLine("0x470=none,string,old,name", &p));
  f.SetValueFromDevice(p, "Carver 2");
  EXPECT_STREQ("Carver 2", (const char*)p.value);
  ASSERT_EQ(1, f.ParseRomLine(kLine450, &p));
  f.SetValueFromDevice(p, "300");
  EXPECT_EQ(44, p.value[0]);  // cut to the byte, as a file value is
}

class RomFiles : public AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    CSingleLock lock(&g_RomParamMap.m_mutex, TRUE);
    g_RomParamMap.m_map.clear();
  }
};

TEST_F(RomFiles, TemplateLoadsAndReportsNothing) {
  CString path = Path("sub\\basic.rom");
  ASSERT_TRUE(RomParamFile::WriteTemplateIfMissing(path));
  std::string text = ReadFileBytes(path);
  EXPECT_EQ(0u, text.find("//Kestrada CNC Controller V EEprom data manager\r\n[Parameters]\r\n0x400\t=none"));
  EXPECT_NE(std::string::npos, text.find("0x470\t=none, string, 0, name\t\t\t//16b\t\t,*****\r\n"));
  MessageBoxRecorder boxes;
  RomParamFile f;
  f.LoadRomFile(path);
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(13u, g_RomParamMap.m_map.size());
  ASSERT_EQ(4, f.m_arrTypeChoices.GetSize());  // none, float, byte, string
  EXPECT_STREQ("none", f.m_arrTypeChoices[0]);
  EXPECT_STREQ("float", f.m_arrTypeChoices[1]);
  EXPECT_EQ(1, f.m_arrClassChoices.GetSize());
  // An existing file is left alone.
  WriteFileBytes(path, "mine");
  ASSERT_TRUE(RomParamFile::WriteTemplateIfMissing(path));
  EXPECT_EQ("mine", ReadFileBytes(path));
}

TEST_F(RomFiles, InvalidValuesAreLoadedAndReportedOnce) {
  std::string bad451 = std::string(kLine451).replace(std::string(kLine451).find("255{"), 4, "8{");
  WriteFileBytes(Path("a.rom"), "[Parameters]\r\n" + bad451 + "\r\n0x400=first,float,2540{2540.0},d\r\n" +
                                    "0x400=second,float,1{2},d\r\n");
  MessageBoxRecorder boxes;
  g_nUiLanguage = 1;
  RomParamFile f;
  f.LoadRomFile(Path("a.rom"));
  ASSERT_EQ(1u, boxes.Boxes().size());
  EXPECT_EQ("Values at the following indexes are invalid:\r\n\r\n0x451,0x400", boxes.Boxes()[0].text);
  ASSERT_EQ(2u, g_RomParamMap.m_map.size());
  EXPECT_EQ(8, g_RomParamMap.m_map[0x451].value[0]);
  EXPECT_STREQ("first", g_RomParamMap.m_map[0x400].className);  // the first of two stays
}

TEST_F(RomFiles, SaveReplacesTheSectionAndRoundTrips) {
  WriteFileBytes(Path("b.rom"), "[Other]\r\nk=v\r\n[Parameters]\r\nold=1\r\n");
  RomParamFile f;
  RomParam p;
  f.ParseRomLine(kLine400, &p);
  {
    CSingleLock lock(&g_RomParamMap.m_mutex, TRUE);
    g_RomParamMap.m_map[p.index] = p;
    f.ParseRomLine("0x12=c,short,-7[-10|10],limit", &p);
    g_RomParamMap.m_map[p.index] = p;
  }
  EXPECT_TRUE(f.SaveRomFile(Path("b.rom")));
  std::string text = ReadFileBytes(Path("b.rom"));
  EXPECT_NE(std::string::npos, text.find("[Other]\r\nk=v\r\n"));
  EXPECT_EQ(std::string::npos, text.find("old=1"));
  EXPECT_NE(std::string::npos, text.find("0x12=c,short,-7[-10|10],limit"));
  EXPECT_LT(text.find("0x12="), text.find("0x400="));
  RomParamFile g;
  g.LoadRomFile(Path("b.rom"));
  ASSERT_EQ(2u, g_RomParamMap.m_map.size());
  EXPECT_STREQ("[-10|10]", g_RomParamMap.m_map[0x12].range);
}

TEST_F(RomFiles, EmptyMapOrMissingSectionChangesNothing) {
  WriteFileBytes(Path("c.rom"), "[Parameters]\r\nx=1\r\n");
  RomParamFile f;
  EXPECT_TRUE(f.SaveRomFile(Path("c.rom")));
  EXPECT_EQ("[Parameters]\r\nx=1\r\n", ReadFileBytes(Path("c.rom")));
  f.m_arrTypeChoices.Add("kept");
  {
    CSingleLock lock(&g_RomParamMap.m_mutex, TRUE);
    g_RomParamMap.m_map[5] = RomParam{};
  }
  f.LoadRomFile(Path("missing.rom"));
  EXPECT_EQ(1u, g_RomParamMap.m_map.size());
  EXPECT_EQ(1, f.m_arrTypeChoices.GetSize());
}

// Far more than the 64,000 bytes the section was once read through: every line is
// saved, and every line is read back.
TEST_F(RomFiles, LargeSectionIsSavedAndLoadedWhole) {
  RomParamFile f;
  {
    CSingleLock lock(&g_RomParamMap.m_mutex, TRUE);
    for (int i = 0; i < 400; ++i) {
      RomParam p{};
      p.index = (WORD)i;
      memset(p.description, 'd', 250);
      g_RomParamMap.m_map[p.index] = p;
    }
  }
  EXPECT_TRUE(f.SaveRomFile(Path("big.rom")));
  EXPECT_GT(ReadFileBytes(Path("big.rom")).size(), 100000u);
  {
    CSingleLock lock(&g_RomParamMap.m_mutex, TRUE);
    g_RomParamMap.m_map.clear();
  }
  RomParamFile g;
  EXPECT_TRUE(g.LoadRomFile(Path("big.rom")));
  ASSERT_EQ(400u, g_RomParamMap.m_map.size());
  for (auto& e : g_RomParamMap.m_map) EXPECT_EQ(250u, strlen(e.second.description));
}

// Two zero bytes inside a line once ended the list there, and the next save deleted
// every parameter behind it. Such a file is refused whole and nothing changes.
TEST_F(RomFiles, FileThatCannotBeReadWholeIsRefused) {
  std::string text = "[Parameters]\r\n0x10=c,byte,1,first\r\n0x11=c,byte,2,se";
  text += std::string(2, '\0');
  text += "cond\r\n0x12=c,byte,3,third\r\n";
  WriteFileBytes(Path("z.rom"), text);
  {
    CSingleLock lock(&g_RomParamMap.m_mutex, TRUE);
    g_RomParamMap.m_map[7] = RomParam{};
  }
  MessageBoxRecorder boxes;
  g_nUiLanguage = 1;
  RomParamFile f;
  EXPECT_FALSE(f.LoadRomFile(Path("z.rom")));
  ASSERT_EQ(1u, boxes.Boxes().size());
  EXPECT_NE(std::string::npos, boxes.Boxes()[0].text.find("cannot be read whole")) << boxes.Boxes()[0].text;
  ASSERT_EQ(1u, g_RomParamMap.m_map.size());  // the map as it was
  EXPECT_EQ(1u, g_RomParamMap.m_map.count(7));
  EXPECT_EQ(text, ReadFileBytes(Path("z.rom")));
}

// A save that cannot write says so, and writes nothing: the old file stays whole.
TEST_F(RomFiles, FailedSaveIsReportedAndWritesNothing) {
  RomParamFile f;
  RomParam p;
  f.ParseRomLine(kLine400, &p);
  {
    CSingleLock lock(&g_RomParamMap.m_mutex, TRUE);
    g_RomParamMap.m_map[p.index] = p;
  }
  platform::MakeDirectory(Path("folder.rom"));
  EXPECT_FALSE(f.SaveRomFile(Path("folder.rom")));
  EXPECT_TRUE(platform::IsDirectoryPath(Path("folder.rom")));
  EXPECT_FALSE(f.SaveRomFile(Path("missing\\x.rom")));
  EXPECT_FALSE(FileExists(Path("missing\\x.rom")));
}

}  // namespace
