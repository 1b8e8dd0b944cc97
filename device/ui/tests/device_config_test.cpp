// The Device Configuration dialog driven as the operator drives it: rows clicked and
// ticked, fields typed, buttons pressed, message boxes and file choosers answered. The
// exchange with the controller is checked at the job's command ring, where the dialog's
// requests arrive, with the controller's answers handed in as the main window hands
// them on; the whole road through Mardrive.exe and a test controller is in
// device_config_engine_test.cpp.
#include "device/ui/tests/device_config_support.h"

#include <cstring>

#include "platform/bytes.h"

namespace {

using RowList = std::vector<std::string>;

const char kRow400[] = "0x400|-|float|1016.|{1016.0,1014.59,2536.49,2540.07,2540.0}| xdpi//4b,double,*****";
const char kRow450[] = "0x450|-|byte|0|[0,7]| uDriver//1b,driver type,,*****";
const char kRow451[] = "0x451|-|byte|255|{0,1,2,3,4,5,6,7,255}| iGearMode//1b,,*****";
const char kRow452[] = "0x452|-|byte|0| | bxMS_Base//1b,*****";
const char kRow470[] = "0x470|-|string|0| | name//16b,*****";

// The answer of the file chooser: a path, or none for Cancel.
std::string g_chosenPath;
int g_chooserCalls = 0;
INT_PTR AnswerChooser(OPENFILENAMEA* ofn, BOOL) {
  ++g_chooserCalls;
  if (g_chosenPath.empty()) return IDCANCEL;
  strncpy(ofn->lpstrFile, g_chosenPath.c_str(), ofn->nMaxFile - 1);
  return IDOK;
}

class DeviceConfigDlgTest : public DeviceConfigTest {
 protected:
  void SetUp() override {
    DeviceConfigTest::SetUp();
    m_savedHook = CFileDialog::SetHook(AnswerChooser);
    g_chosenPath.clear();
    g_chooserCalls = 0;
  }
  void TearDown() override {
    CFileDialog::SetHook(m_savedHook);
    DeviceConfigTest::TearDown();
  }

  // What waits on the job's command ring, as (type, payload), in order.
  std::vector<std::pair<int, std::string>> Sent(const char* job) {
    CJobChannel tx;
    EXPECT_TRUE(tx.Open(CString("PanelTx_") + job, kJobChannelSlots));
    std::vector<std::pair<int, std::string>> out;
    BYTE buffer[kChannelSlotSize];
    while (UINT n = tx.PopMessage(buffer, sizeof buffer))
      out.emplace_back(bytes::Load16(buffer), std::string((const char*)buffer + 4, n - 4));
    return out;
  }
  // One ROM request of the ring: the engine command's code and the request bytes.
  struct Request {
    int code = 0;
    std::string bytes;
    int Index() const { return bytes.size() >= 4 ? bytes::Load16((const BYTE*)bytes.data() + 2) : -1; }
  };
  std::vector<Request> Requests(const char* job) {
    std::vector<Request> out;
    for (const auto& m : Sent(job)) {
      EXPECT_EQ(kMsgRomParams, m.first);
      const BYTE* p = (const BYTE*)m.second.data();
      Request r;
      r.code = bytes::Load16(p);
      EXPECT_EQ(m.second.size() - 4, (size_t)bytes::Load16(p + 2));
      r.bytes = m.second.substr(4);
      out.push_back(r);
    }
    return out;
  }
  // A controller line as the main window forwards it.
  void Answer(const char* line) {
    char* text = new char[strlen(line) + 1];
    strcpy(text, line);
    ::PostMessageA(Dlg(), kEngineLineMessage, 1, (LPARAM)text);
    DrainFor(20);
  }
  // A job attached and chosen, three parameters ticked.
  CString ReadyToQuery() {
    CString job = Name("Rom");
    AddAttachedJob(job, "NET:ctl:127.0.0.1:5000", "Router");
    Open();
    for (const char* index : {"0x400", "0x450", "0x470"}) Tick(index);
    DrainFor(250);  // the button states follow every 200 ms
    return job;
  }

  CFileDialog::Hook m_savedHook = nullptr;
};

TEST_F(DeviceConfigDlgTest, OpensOverTheTemplateWrittenAsBasicRom) {
  Open();
  EXPECT_TRUE(testing_support::FileExists(Path("basic.rom")));
  EXPECT_EQ(Path("basic.rom").str(), Field(IDC_ROM_FILE_PATH));
  RowList rows = Rows();
  ASSERT_EQ(13u, rows.size());
  EXPECT_EQ(kRow400, rows[0]);
  EXPECT_EQ(kRow450, rows[4]);
  EXPECT_EQ(kRow451, rows[5]);
  EXPECT_EQ(kRow452, rows[6]);
  EXPECT_EQ(kRow470, rows[12]);
  EXPECT_EQ(std::vector<std::string>({"none"}), Choices(IDC_ROM_CLASS));
  EXPECT_EQ(std::vector<std::string>({"none", "float", "byte", "string"}), Choices(IDC_ROM_TYPE));
  EXPECT_EQ(Dlg(), m_main.m_hViewer);  // controller lines come here
  DrainFor(250);
  EXPECT_EQ("0 / 13", Field(IDC_ROM_COUNT));
  EXPECT_FALSE(Enabled(IDC_ROM_READ));  // nothing ticked, no job
  EXPECT_FALSE(Enabled(IDC_ROM_STOP));
  EXPECT_FALSE(Enabled(IDC_ROM_UPDATE_LIST));  // no index
  EXPECT_TRUE(Enabled(IDC_ROM_SAVE));
  EXPECT_TRUE(Visible(IDC_ROM_VALUE));
  EXPECT_FALSE(Visible(IDC_ROM_VALUE_CHOICE));
  EXPECT_TRUE(m_boxes.Boxes().empty());
  Close();
  EXPECT_EQ(nullptr, m_main.m_hViewer);  // later lines are dropped by the main window
}

TEST_F(DeviceConfigDlgTest, ReopeningShowsTheLastParametersAndClearAllLoadsTheTemplateAgain) {
  Open();
  ClickCell(RowOf("0x452"), 2);
  m_boxes.QueueAnswer(IDYES);
  Press(IDC_ROM_DELETE);
  Close();
  Open();
  EXPECT_EQ(12u, Rows().size());
  EXPECT_EQ(-1, RowOf("0x452"));
  // Its classes and types are the choices again.
  EXPECT_EQ(std::vector<std::string>({"none", "float", "byte", "string"}), Choices(IDC_ROM_TYPE));
  Press(IDC_ROM_CLEAR_ALL);
  EXPECT_TRUE(Rows().empty());
  EXPECT_EQ("", Field(IDC_ROM_INDEX));
  Close();
  Open();
  EXPECT_EQ(13u, Rows().size());
}

TEST_F(DeviceConfigDlgTest, ARowClickedShowsItsParameterAndValidValues) {
  Open();
  struct Case {
    const char* index;
    const char* memo;
    bool choice;  // the value's choices shown in the place of its edit
    const char* value;
    const char* valid;
    std::vector<std::string> choices;
  } cases[] = {
      {"0x451",
       " iGearMode//1b,,*****",
       true,
       "255",
       "Valid values:{0,1,2,3,4,5,6,7,255}",
       {"0", "1", "2", "3", "4", "5", "6", "7", "255"}},
      {"0x400",
       " xdpi//4b,double,*****",
       true,
       "1016.",
       "Valid values:{1016.0,1014.59,2536.49,2540.07,2540.0}",
       {"1016.", "1014.59", "2536.49", "2540.07", "2540."}},
      {"0x450", " uDriver//1b,driver type,,*****", false, "0", "Value range is:[0,7]", {"0"}},
      {"0x470", " name//16b,*****", false, "0", "", {"0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    ClickCell(RowOf(c.index), 3);
    EXPECT_EQ(c.index, Field(IDC_ROM_INDEX));
    EXPECT_EQ(c.memo, Field(IDC_ROM_MEMO));
    EXPECT_EQ(c.choice, Visible(IDC_ROM_VALUE_CHOICE));
    EXPECT_EQ(!c.choice, Visible(IDC_ROM_VALUE));
    EXPECT_EQ(c.value, c.choice ? Chosen(IDC_ROM_VALUE_CHOICE) : Field(IDC_ROM_VALUE));
    EXPECT_EQ(c.valid, Field(IDC_ROM_VALID_VALUES));
    EXPECT_EQ(c.choices, Choices(IDC_ROM_VALUE_CHOICE));
    EXPECT_FALSE(Ticked(c.index));  // a click beside the index does not tick the row
  }
}

TEST_F(DeviceConfigDlgTest, UpdateListChangesOrAddsAParameterAfterItsQuestion) {
  Open();
  // A value from the list's choices.
  ClickCell(RowOf("0x451"), 3);
  Choose(IDC_ROM_VALUE_CHOICE, "3");
  EXPECT_EQ("3", Field(IDC_ROM_VALUE));
  m_boxes.QueueAnswer(IDYES);
  Press(IDC_ROM_UPDATE_LIST);
  ASSERT_EQ(1u, BoxTexts().size());
  EXPECT_EQ(
      "The parameter (0x451=none,byte,255{0|1|2|3|4|5|6|7|255}, iGearMode//1b,,*****) is already existed, continue?",
      BoxTexts()[0]);
  EXPECT_EQ("0x451|-|byte|3|{0,1,2,3,4,5,6,7,255}| iGearMode//1b,,*****", Rows()[5]);

  // A value outside the range is refused; nothing changes.
  m_boxes.Clear();
  ClickCell(RowOf("0x450"), 3);
  Type(IDC_ROM_VALUE, "9");
  Press(IDC_ROM_UPDATE_LIST);
  EXPECT_EQ(std::vector<std::string>({"Invalid pamrameter value. \r\n\r\nPermitted range: [0,7]"}), BoxTexts());
  EXPECT_EQ(kRow450, Rows()[4]);

  // A new index: asked, refused, asked again and added.
  m_boxes.Clear();
  Type(IDC_ROM_INDEX, " 0x4a0 ");
  Choose(IDC_ROM_TYPE, "byte");
  Type(IDC_ROM_VALUE, "5");
  Type(IDC_ROM_MEMO, "Spare");
  m_boxes.QueueAnswer(IDNO);
  Press(IDC_ROM_UPDATE_LIST);
  EXPECT_EQ(-1, RowOf("0x4a0"));
  EXPECT_EQ("0X4A0", Field(IDC_ROM_INDEX));
  m_boxes.QueueAnswer(IDYES);
  Press(IDC_ROM_UPDATE_LIST);
  EXPECT_EQ(std::vector<std::string>(2, "The parameter (0x4a0=none,byte,5,Spare) is not existed, continue to add?"),
            BoxTexts());
  ASSERT_NE(-1, RowOf("0x4a0"));
  EXPECT_EQ("0x4a0|-|byte|5| |Spare", Rows()[(size_t)RowOf("0x4a0")]);

  // A text value the file could not carry back is refused.
  m_boxes.Clear();
  ClickCell(RowOf("0x470"), 3);
  Type(IDC_ROM_VALUE, "Shop A");
  Press(IDC_ROM_UPDATE_LIST);
  ASSERT_EQ(1u, BoxTexts().size());
  EXPECT_NE(std::string::npos, BoxTexts()[0].find("'Shop A' cannot be used"));
  EXPECT_EQ(kRow470, Rows()[(size_t)RowOf("0x470")]);
}

TEST_F(DeviceConfigDlgTest, UpdateListWithoutClassOrTypeChoices) {
  Open();
  Press(IDC_ROM_CLEAR_ALL);
  ::SendDlgItemMessageA(Dlg(), IDC_ROM_CLASS, CB_RESETCONTENT, 0, 0);
  ::SendDlgItemMessageA(Dlg(), IDC_ROM_TYPE, CB_RESETCONTENT, 0, 0);
  Type(IDC_ROM_INDEX, "0x10");
  Press(IDC_ROM_UPDATE_LIST);
  EXPECT_EQ(std::vector<std::string>({"Please select a Class\r\nPlease select a Type\r\n"}), BoxTexts());
  EXPECT_TRUE(Rows().empty());
}

TEST_F(DeviceConfigDlgTest, DeleteAsksFirst) {
  Open();
  ClickCell(RowOf("0x452"), 2);
  m_boxes.QueueAnswer(IDNO);
  Press(IDC_ROM_DELETE);
  EXPECT_EQ(
      std::vector<std::string>({"Are you sure to delete this parameter: 0x452=none,byte,0, bxMS_Base//1b,***** ?"}),
      BoxTexts());
  EXPECT_EQ(13u, Rows().size());
  m_boxes.QueueAnswer(IDYES);
  Press(IDC_ROM_DELETE);
  EXPECT_EQ(12u, Rows().size());
  EXPECT_EQ(-1, RowOf("0x452"));
}

TEST_F(DeviceConfigDlgTest, SaveAllAndLoadThroughTheFileChooser) {
  Open();
  // Save: only an existing file can be chosen; its other sections stay.
  ASSERT_TRUE(testing_support::WriteFileBytes(Path("copy.rom"), "[Other]\r\nkey=1\r\n"));
  g_chosenPath = Path("copy.rom").str();
  Press(IDC_ROM_SAVE);
  std::string saved = testing_support::ReadFileBytes(Path("copy.rom"));
  EXPECT_NE(std::string::npos, saved.find("[Other]"));
  EXPECT_NE(std::string::npos,
            saved.find("0x400=none,float,1016.00000000{1016.0|1014.59|2536.49|2540.07|2540.0}, xdpi//4b,double,*****"));
  EXPECT_EQ(Path("basic.rom").str(), Field(IDC_ROM_FILE_PATH));  // the loaded file stays the shown one
  // A file that cannot be written is reported, not passed over.
  platform::MakeDirectory(Path("folder.rom"));
  g_chosenPath = Path("folder.rom").str();
  Press(IDC_ROM_SAVE);
  EXPECT_EQ(
      std::vector<std::string>({"The parameter file " + g_chosenPath + " could not be written; it is left as it was."}),
      BoxTexts());
  m_boxes.Clear();

  // Load: the map becomes the file's, the path is shown, the choices are the file's.
  ASSERT_TRUE(testing_support::WriteFileBytes(
      Path("other.rom"), "[Parameters]\r\n0x10=axis,word,300,Speed\r\n0x11=axis,long,-2,Offset\r\n"));
  g_chosenPath = Path("other.rom").str();
  Press(IDC_ROM_LOAD);
  EXPECT_EQ(RowList({"0x10|axis|word|300| |Speed", "0x11|axis|long|-2| |Offset"}), Rows());
  EXPECT_EQ(Path("other.rom").str(), Field(IDC_ROM_FILE_PATH));
  EXPECT_EQ(std::vector<std::string>({"none", "axis"}), Choices(IDC_ROM_CLASS));
  EXPECT_EQ(std::vector<std::string>({"none", "word", "long"}), Choices(IDC_ROM_TYPE));

  // Cancelled: nothing changes.
  g_chosenPath.clear();
  Press(IDC_ROM_LOAD);
  EXPECT_EQ(2u, Rows().size());
  EXPECT_EQ(4, g_chooserCalls);
  EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(DeviceConfigDlgTest, ReadGoesOneRequestAtATimeAndStoresTheAnswers) {
  CString job = ReadyToQuery();
  EXPECT_EQ(std::vector<std::string>({job.str() + "@Router"}), Choices(IDC_ROM_JOB));
  EXPECT_EQ("3 / 13", Field(IDC_ROM_COUNT));
  ASSERT_TRUE(Enabled(IDC_ROM_READ));
  Press(IDC_ROM_READ);
  EXPECT_TRUE(m_dlg->IsQueryRunning());
  DrainFor(250);
  EXPECT_FALSE(Enabled(IDC_ROM_READ));
  EXPECT_FALSE(Enabled(IDC_ROM_WRITE));
  EXPECT_TRUE(Enabled(IDC_ROM_STOP));
  EXPECT_EQ("0/3 Finished", ProgressText());

  struct Step {
    const char* answer;
    int nextIndex;  // the request the answer lets go, -1 none
    const char* progress;
  } steps[] = {{"B0400,1,2540.07", 0x450, "1/3 Finished"},
               {"B0450,1,5", 0x470, "2/3 Finished"},
               {"B0470,1,Carver", -1, "3/3 Finished"}};
  std::vector<Request> sent = Requests(job);
  ASSERT_EQ(1u, sent.size());
  EXPECT_EQ(32, sent[0].code);  // a status query
  EXPECT_EQ(38u, sent[0].bytes.size());
  EXPECT_EQ(0x400, sent[0].Index());
  for (const Step& s : steps) {
    SCOPED_TRACE(s.answer);
    Answer(s.answer);
    DrainFor(250);
    EXPECT_EQ(s.progress, ProgressText());
    sent = Requests(job);
    ASSERT_EQ(s.nextIndex < 0 ? 0u : 1u, sent.size());
    if (s.nextIndex >= 0) {
      EXPECT_EQ(s.nextIndex, sent[0].Index());
    }
  }
  EXPECT_FALSE(m_dlg->IsQueryRunning());
  DrainFor(1100);  // the list follows the map every second
  EXPECT_EQ("0x400|-|float|2540.07006836|{1016.0,1014.59,2536.49,2540.07,2540.0}| xdpi//4b,double,*****", Rows()[0]);
  EXPECT_EQ("0x450|-|byte|5|[0,7]| uDriver//1b,driver type,,*****", Rows()[4]);
  EXPECT_EQ("0x470|-|string|Carver| | name//16b,*****", Rows()[12]);
  EXPECT_TRUE(Enabled(IDC_ROM_READ));
  EXPECT_FALSE(Enabled(IDC_ROM_STOP));
  EXPECT_TRUE(m_boxes.Boxes().empty());
}

// A write sends the value's length + 38 bytes: 42 for a float, 40 for a byte, 74 for a
// string with its characters in 16-bit units; past the value every byte is zero.
TEST_F(DeviceConfigDlgTest, WriteSendsEachValueWithItsLength) {
  CString job = ReadyToQuery();
  ClickCell(RowOf("0x470"), 3);
  Type(IDC_ROM_VALUE, "Mill2");
  m_boxes.QueueAnswer(IDYES);
  Press(IDC_ROM_UPDATE_LIST);
  Press(IDC_ROM_WRITE);
  struct Want {
    int index;
    size_t length;
    std::string value;                                           // the value field's first bytes
  } wants[] = {{0x400, 42, std::string("\x00\x00\x7e\x44", 4)},  // 1016.0f
               {0x450, 40, std::string("\x00", 1)},
               {0x470, 74,
                std::string("M\0i\0l\0l\0"
                            "2",
                            9)}};
  for (const Want& w : wants) {
    SCOPED_TRACE(w.index);
    std::vector<Request> sent = Requests(job);
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(144, sent[0].code);
    EXPECT_EQ(w.index, sent[0].Index());
    ASSERT_EQ(w.length, sent[0].bytes.size());
    std::string value = sent[0].bytes.substr(6);
    EXPECT_EQ(w.value, value.substr(0, w.value.size()));
    EXPECT_EQ(std::string(value.size() - w.value.size(), '\0'), value.substr(w.value.size()));
    CString answer;
    answer.Format("B%04X,1,0", w.index);
    Answer(answer);
  }
  EXPECT_FALSE(m_dlg->IsQueryRunning());
}

TEST_F(DeviceConfigDlgTest, AnswersWithoutAValueOrWithoutTwoCommas) {
  CString job = ReadyToQuery();
  Press(IDC_ROM_READ);
  Answer("B0400,-,");  // the controller has no value: pending no more, value kept
  EXPECT_EQ(2, m_dlg->GetPendingIndexes().GetSize());
  Answer("B0450,7");  // no second comma: nothing stored, but the query goes on
  EXPECT_EQ(2, m_dlg->GetPendingIndexes().GetSize());
  std::vector<Request> sent = Requests(job);
  ASSERT_EQ(3u, sent.size());
  EXPECT_EQ(0x470, sent[2].Index());
  Answer("B0470,1,X");
  EXPECT_FALSE(m_dlg->IsQueryRunning());
  EXPECT_EQ(std::string("0x450"), m_dlg->GetPendingIndexes()[0].str());
  DrainFor(1100);
  EXPECT_EQ(kRow400, Rows()[0]);
  EXPECT_EQ(kRow450, Rows()[4]);
}

// Repeat 2: the request goes three times in all, then the query ends with the message;
// the values stay and the pending list keeps the index.
TEST_F(DeviceConfigDlgTest, SilentControllerEndsTheQueryWithATimeout) {
  PutParamValue("RomExchange", "Timeout", "150");
  PutParamValue("RomExchange", "Repeat", "2");
  CString job = ReadyToQuery();
  for (const char* index : {"0x450", "0x470"}) Tick(index);  // only 0x400 stays ticked
  Press(IDC_ROM_READ);
  DrainFor(800);
  EXPECT_EQ(std::vector<std::string>({"Communication timeout !"}), BoxTexts());
  EXPECT_FALSE(m_dlg->IsQueryRunning());
  std::vector<Request> sent = Requests(job);
  ASSERT_EQ(3u, sent.size());
  EXPECT_EQ(sent[0].bytes, sent[1].bytes);
  EXPECT_EQ(sent[0].bytes, sent[2].bytes);
  EXPECT_EQ(1, m_dlg->GetPendingIndexes().GetSize());
  EXPECT_EQ(kRow400, Rows()[0]);
  DrainFor(250);
  EXPECT_TRUE(Enabled(IDC_ROM_READ));
}

// "Stop" takes effect at the next answer. A stop left over from a query that timed
// out does not end the next one at its first answer.
TEST_F(DeviceConfigDlgTest, StopEndsTheQueryAtTheNextAnswer) {
  PutParamValue("RomExchange", "Timeout", "100");
  PutParamValue("RomExchange", "Repeat", "0");
  CString job = ReadyToQuery();
  Press(IDC_ROM_READ);
  DrainFor(250);
  Press(IDC_ROM_STOP);
  Answer("B0400,1,2540");
  EXPECT_FALSE(m_dlg->IsQueryRunning());
  EXPECT_EQ(1u, Requests(job).size());  // the second request never went

  Press(IDC_ROM_READ);
  Press(IDC_ROM_STOP);
  DrainFor(300);  // no answer: the time-out ends it
  EXPECT_FALSE(m_dlg->IsQueryRunning());
  m_boxes.Clear();
  Requests(job);
  Press(IDC_ROM_READ);
  Answer("B0400,1,2540");
  EXPECT_TRUE(m_dlg->IsQueryRunning());
  EXPECT_EQ(2u, Requests(job).size());
}

TEST_F(DeviceConfigDlgTest, NoRequestWithoutTickedRowsJobOrKnownIndexes) {
  Open();  // no attached job
  Tick("0x400");
  Press(IDC_ROM_READ);
  EXPECT_FALSE(m_dlg->IsQueryRunning());
  Close();
  CString job = Name("Idle");
  AddAttachedJob(job, "SIMU:", "Router");
  Open();
  Press(IDC_ROM_READ);  // nothing ticked
  EXPECT_FALSE(m_dlg->IsQueryRunning());
  EXPECT_TRUE(Requests(job).empty());
}

// The list keeps its offsets to the client's edges; the edit area stays where it is.
TEST_F(DeviceConfigDlgTest, ResizingMovesTheControlsWithTheirEdges) {
  Open();
  ::ShowWindow(Dlg(), SW_RESTORE);
  auto rectOf = [&](int id) {
    CRect r;
    ::GetWindowRect(::GetDlgItem(Dlg(), id), &r);
    ::MapWindowPoints(nullptr, Dlg(), (POINT*)&r, 2);
    return r;
  };
  ::SetWindowPos(Dlg(), nullptr, 0, 0, 900, 600, SWP_NOZORDER | SWP_NOMOVE);
  DrainFor(20);
  CRect client;
  ::GetClientRect(Dlg(), &client);
  CRect list = rectOf(IDC_ROM_LIST), stop = rectOf(IDC_ROM_STOP), index = rectOf(IDC_ROM_INDEX);
  int listRight = client.right - list.right, listBottom = client.bottom - list.bottom;
  int stopRight = client.right - stop.right, stopBottom = client.bottom - stop.bottom;
  ::SetWindowPos(Dlg(), nullptr, 0, 0, 1100, 750, SWP_NOZORDER | SWP_NOMOVE);
  DrainFor(20);
  ::GetClientRect(Dlg(), &client);
  EXPECT_EQ(listRight, client.right - rectOf(IDC_ROM_LIST).right);
  EXPECT_EQ(listBottom, client.bottom - rectOf(IDC_ROM_LIST).bottom);
  EXPECT_EQ(list.left, rectOf(IDC_ROM_LIST).left);
  EXPECT_EQ(stopRight, client.right - rectOf(IDC_ROM_STOP).right);
  EXPECT_EQ(stopBottom, client.bottom - rectOf(IDC_ROM_STOP).bottom);
  EXPECT_EQ(stop.Width(), rectOf(IDC_ROM_STOP).Width());
  EXPECT_EQ(index, rectOf(IDC_ROM_INDEX));
}

}  // namespace
