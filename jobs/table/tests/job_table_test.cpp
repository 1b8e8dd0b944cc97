// The job table: adding, the limit of 100, order, scanning the job folders, names that
// could leave the Jobs folder, deleting, and the questions asked of the table.
#include <ctime>

#include "foundation/log.h"
#include "foundation/settings.h"
#include "jobs/table/tests/job_table_support.h"

using testing_support::FileExists;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

namespace {

TEST_F(JobTableTest, AddedJobHasItsFolderFilesAndRings) {
  CString name = Name("Sign");
  ASSERT_TRUE(WriteFileBytes(JobsFolderPath() + "preview.snapshot", "BMpicture"));
  JobRecord j = NewJob(name);
  j.CopiesX = -2;  // runs as one copy, and is stored so
  j.CopiesY = 0;
  j.TxChannelSlot = 0xDEADBEEF;  // run-time slots never reach the file
  j.EnginePidSlot = 77;
  j.EngineRunningSlot = 1;
  time_t before = time(nullptr);
  ASSERT_TRUE(CJobManager::AddJob(nullptr, &j, &Program()));

  EXPECT_EQ(1, CJobManager::GetJobCount());
  EXPECT_TRUE(CJobManager::JobExists(name));
  EXPECT_TRUE(CJobManager::JobExists(CString(name).MakeUpper()));
  EXPECT_STREQ("READY", CJobManager::GetJobState(name));
  EXPECT_FALSE(CJobManager::IsJobActive(name));
  EXPECT_EQ(6780u, ReadFileBytes(File(name, ".jobinfo")).size());
  EXPECT_EQ((size_t)Program().GetElementCount() * 118, ReadFileBytes(File(name, ".structs")).size());
  EXPECT_EQ("BMpicture", ReadFileBytes(File(name, ".snapshot")));
  EXPECT_FALSE(FileExists(File(name, ".structs") + kReplacingSuffix));
  EXPECT_FALSE(FileExists(File(name, ".jobinfo") + kReplacingSuffix));

  // The toolpath fields come from the program, the source fields from its file.
  JobRecord t;
  ASSERT_TRUE(CJobManager::GetJob(name, &t));
  EXPECT_EQ(Program().GetTagCount(), int(t.TotalTags));
  EXPECT_STREQ("T1T2", t.UsedTools);
  EXPECT_EQ(Program().GetPathLength(), double(t.ToolpathLength));
  Vec3 min, max;
  Program().GetExtentMin(min, FALSE);
  Program().GetExtentMax(max, FALSE);
  EXPECT_EQ(min.x, double(t.FeedMin.x));
  EXPECT_EQ(max.y, double(t.FeedMax.y));
  double zMin = 0, zMax = 0;
  Program().GetTraverseZRange(zMin, zMax, FALSE);
  EXPECT_EQ(zMax, double(t.TraverseZMax));
  FileStatus source;
  ASSERT_TRUE(GetFileStatus(SourcePath(), source));
  EXPECT_EQ((int32_t)source.size, int32_t(t.SourceSize));
  EXPECT_EQ((int32_t)source.modified, int32_t(t.SourceTime));
  EXPECT_GE(int32_t(t.Created), (int32_t)before);
  EXPECT_LE(int32_t(t.Created), (int32_t)time(nullptr));
  EXPECT_EQ(1, int(t.CopiesX));
  EXPECT_EQ(1, int(t.CopiesY));

  std::string info = ReadFileBytes(File(name, ".jobinfo"));
  EXPECT_EQ(std::string(24, '\0'), info.substr(1508, 24));
  EXPECT_EQ('\0', info[1592]);
  EXPECT_EQ(std::string("\x09\x07\x09\x20", 4), info.substr(1595, 4));
  EXPECT_EQ(1, (int)(unsigned char)info[1120]);
}

TEST_F(JobTableTest, TableHoldsAHundredJobs) {
  for (int i = 0; i < kMaxJobs; ++i) {
    CString base;
    base.Format("Job%03d", i);
    ASSERT_TRUE(Add(Name(base))) << i;
  }
  EXPECT_EQ(kMaxJobs, CJobManager::GetJobCount());
  std::vector<std::string> before = Tree();
  EXPECT_FALSE(Add(Name("OneTooMany")));
  EXPECT_EQ(before, Tree());
  EXPECT_FALSE(CJobManager::JobExists(Name("OneTooMany")));
  // A job of the table can still be overwritten.
  JobRecord j = NewJob(Name("Job042"), "COM2:9600");
  ASSERT_TRUE(CJobManager::AddJob(nullptr, &j, &Program()));
  EXPECT_EQ(kMaxJobs, CJobManager::GetJobCount());
  JobRecord t;
  ASSERT_TRUE(CJobManager::GetJob(Name("Job042"), &t));
  EXPECT_STREQ("COM2:9600", t.Connection);
  EXPECT_FALSE(CJobManager::GetJobByIndex(kMaxJobs, &t));
  EXPECT_FALSE(CJobManager::GetJobByIndex(-1, &t));
  EXPECT_TRUE(CJobManager::GetJobByIndex(kMaxJobs - 1, &t));
}

TEST_F(JobTableTest, OverwriteKeepsTheJobAndItsRings) {
  CString name = Name("Panel");
  ASSERT_TRUE(Add(name, "COM1:9600"));
  SetState(name, "ATTACHED");
  // Given in another case: the same job, which keeps the name its folder and rings have.
  JobRecord j = NewJob(CString(name).MakeUpper(), "COM4:38400");
  j.FeedSpeed = 33.0;
  ASSERT_TRUE(CJobManager::AddJob(nullptr, &j, &Program()));
  EXPECT_EQ(1, CJobManager::GetJobCount());
  EXPECT_STREQ("ATTACHED", CJobManager::GetJobState(name));
  JobRecord t;
  ASSERT_TRUE(CJobManager::GetJob(name, &t));
  EXPECT_STREQ(name, t.JobName);
  // An overwritten job was created with its folder.
  CString folder = JobFolderPath(name);
  folder.TrimRight('\\');
  FileStatus created;
  ASSERT_TRUE(GetFileStatus(folder, created));
  EXPECT_EQ((int32_t)created.created, int32_t(t.Created));
  EXPECT_STREQ("COM4:38400", t.Connection);
  EXPECT_EQ(33.0, double(t.FeedSpeed));
  JobRecord stored;
  ASSERT_EQ(kJobInfoRead, ReadJobInfoFile(File(name, ".jobinfo"), stored));
  EXPECT_STREQ("COM4:38400", stored.Connection);
  EXPECT_STREQ(name, stored.JobName);
  // Overwritten with an empty program: the path records stay as they were.
  std::string records = ReadFileBytes(File(name, ".structs"));
  CNCProgram empty;
  ASSERT_TRUE(CJobManager::AddJob(nullptr, &j, &empty));
  EXPECT_EQ(records, ReadFileBytes(File(name, ".structs")));
}

TEST_F(JobTableTest, NewestJobFirst) {
  const char* bases[] = {"First", "Second", "Third"};
  for (const char* base : bases) {
    ASSERT_TRUE(Add(Name(base)));
    Sleep(1100);  // Created counts seconds
  }
  JobRecord t;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(CJobManager::GetJobByIndex(i, &t));
    EXPECT_STREQ(Name(bases[2 - i]), t.JobName) << i;
  }
  CJobManager::DeleteJob(Name("Second"));
  ASSERT_TRUE(CJobManager::GetJobByIndex(1, &t));
  EXPECT_STREQ(Name("First"), t.JobName);
}

TEST_F(JobTableTest, ScanLoadsJobFoldersOnly) {
  ASSERT_TRUE(Add(Name("Good")));
  ASSERT_TRUE(Add(Name("Other")));
  // A dot folder holding a valid job, a plain file, a folder without an info file and
  // a folder whose name is too long for a job.
  CString hidden = JobsFolderPath() + ".hidden\\";
  CreateFolderPath(hidden);
  JobRecord j = NewJob(".hidden");
  ASSERT_TRUE(WriteJobInfoFile(hidden + ".hidden.jobinfo", j));
  ASSERT_TRUE(WriteFileBytes(JobsFolderPath() + "stray.jobinfo", "x"));
  CreateFolderPath(JobsFolderPath() + "Empty\\");
  CString longName('n', kMaxJobNameLength + 1);
  CreateFolderPath(JobsFolderPath() + longName + "\\");
  CJobManager::ScanJobsFolder();
  EXPECT_EQ(2, CJobManager::GetJobCount());
  EXPECT_TRUE(CJobManager::JobExists(Name("Good")));
  EXPECT_TRUE(CJobManager::JobExists(Name("Other")));
  EXPECT_STREQ("READY", CJobManager::GetJobState(Name("Good")));
  EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(JobTableTest, TheFolderNamesTheJob) {
  CString name = Name("Folder");
  CString folder = JobsFolderPath() + name + "\\";
  CreateFolderPath(folder);
  JobRecord j = NewJob("SomethingElse");
  ASSERT_TRUE(WriteJobInfoFile(folder + name + ".jobinfo", j));
  CJobManager::ScanJobsFolder();
  ASSERT_TRUE(CJobManager::JobExists(name));
  EXPECT_FALSE(CJobManager::JobExists("SomethingElse"));
}

TEST_F(JobTableTest, MoreThanAHundredJobFoldersLoadAHundred) {
  PutParamValue("System", "LogFile", "enable");
  PutParamValue("System", "LogList", "jobs");
  ResetLogSwitchForTests();
  const int kFolders = kMaxJobs + 3;
  for (int i = 0; i < kFolders; ++i) {
    CString base;
    base.Format("Many%03d", i);
    CString name = Name(base);
    CString path = JobFilePath(name, ".jobinfo");
    CreateFolderPath(path);
    ASSERT_TRUE(WriteJobInfoFile(path, NewJob(name)));
  }
  CJobManager::ScanJobsFolder();
  ResetLogSwitchForTests();
  EXPECT_EQ(kMaxJobs, CJobManager::GetJobCount());

  // The log names the jobs left out; every other one is in the table.
  CFileFind f;
  ASSERT_TRUE(f.FindFile(Path("*-jobs.log")));
  f.FindNextFile();
  std::string log = ReadFileBytes(f.GetFilePath());
  EXPECT_NE(std::string::npos, log.find("3 job folders not loaded")) << log;
  int named = 0;
  for (int i = 0; i < kFolders; ++i) {
    CString base;
    base.Format("Many%03d", i);
    bool inLog = log.find((const char*)Name(base)) != std::string::npos;
    EXPECT_NE(inLog, CJobManager::JobExists(Name(base)) != FALSE) << i;
    named += inLog ? 1 : 0;
  }
  EXPECT_EQ(3, named);
}

// Names that are not one plain folder name are refused before anything is written or
// deleted, wherever they come from.
TEST_F(JobTableTest, BadNamesWriteAndDeleteNothing) {
  ASSERT_TRUE(Add(Name("Keep")));
  ASSERT_TRUE(WriteFileBytes(Path("Parameters.ini"), "[System]\r\n"));
  std::vector<std::string> before = Tree();
  const char* names[] = {"..",  ".",  "..\\outside", "..\\..", "a\\b", "a/b",     "C:x",
                         "a|b", " a", "a ",          "a.",     "CON",  "nul.txt", "a*b"};
  for (const char* name : names) {
    JobRecord j = NewJob(name);
    EXPECT_FALSE(CJobManager::AddJob(nullptr, &j, &Program())) << name;
    EXPECT_FALSE(CJobManager::DeleteJob(name)) << name;
    EXPECT_FALSE(CJobManager::WriteStructs(nullptr, name, &Program())) << name;
    EXPECT_EQ(before, Tree()) << name;
  }
  // Too long, or not terminated inside its field.
  JobRecord j = NewJob("x");
  std::memset(j.JobName, 'a', sizeof j.JobName);
  EXPECT_FALSE(CJobManager::AddJob(nullptr, &j, &Program()));
  j = NewJob(CString('b', kMaxJobNameLength + 1));
  EXPECT_FALSE(CJobManager::AddJob(nullptr, &j, &Program()));
  EXPECT_FALSE(CJobManager::DeleteJob(""));
  EXPECT_FALSE(CJobManager::DeleteJob(nullptr));
  EXPECT_EQ(before, Tree());
  EXPECT_EQ(1, CJobManager::GetJobCount());
}

TEST_F(JobTableTest, DeleteJob) {
  CString a = Name("DelA"), b = Name("DelB");
  ASSERT_TRUE(Add(a));
  ASSERT_TRUE(Add(b));
  ASSERT_TRUE(CJobManager::DeleteJob(CString(a).MakeLower()));
  EXPECT_FALSE(platform::PathExists(JobFolderPath(a)));
  EXPECT_FALSE(CJobManager::JobExists(a));
  EXPECT_STREQ("", CJobManager::GetJobState(a));
  EXPECT_EQ(1, CJobManager::GetJobCount());
  EXPECT_FALSE(CJobManager::DeleteJob(a));
  // A job whose folder has gone stays in the table.
  ASSERT_TRUE(DeleteFolderTree(JobFolderPath(b), FALSE, TRUE));
  EXPECT_FALSE(CJobManager::DeleteJob(b));
  EXPECT_TRUE(CJobManager::JobExists(b));
}

// Every other job is looked at, by the device it drives.
TEST_F(JobTableTest, DeviceBusyByDeviceOverEveryOtherJob) {
  struct Job {
    const char* base;
    const char* connection;
    const char* state;
  } jobs[] = {
      {"Me", "COM1:9600", "TRANSMITTING"},  // the asking job itself: never counts
      {"IdleCom1", "COM1:9600", "READY"},
      {"BusyCom1", "com1:38400", "TRANSMITTING"},
      {"BusyCom12", "COM12:9600", "ATTACHED"},
      {"ErrorCom5", "COM5:9600", "ERROR"},
      {"BusyFileBak", "FILE:a.cf.bak", "TRANSMITTING"},
      {"BusyEmpty", "", "TRANSMITTING"},
      {"BusySimu", "SIMU:", "TRANSMITTING"},
      {"BusyNet", "NET:192.168.1.20:5000", "PAUSE"},
  };
  for (const Job& j : jobs) {
    ASSERT_TRUE(Add(Name(j.base), j.connection)) << j.base;
    SetState(Name(j.base), j.state);
  }
  struct {
    const char* connection;
    const char* busyWith;  // "" when free
  } cases[] = {
      {"COM1:9600", "BusyCom1"},  // the same port at another speed, behind an idle job on it
      {" com1:115200 ", "BusyCom1"},
      {"COM12:38400", "BusyCom12"},
      {"COM2:9600", ""},
      {"COM5:9600", ""},  // a job in ERROR is not busy
      {"FILE:a.cf", ""},
      {"FILE:A.CF.BAK", "BusyFileBak"},
      {"", ""},
      {"SIMU:", ""},
      {"NET:192.168.1.20:5000", "BusyNet"},
      {"NET:192.168.1.2", ""},
  };
  for (const auto& c : cases) {
    CString expected = *c.busyWith ? Name(c.busyWith) : CString();
    EXPECT_STREQ(expected, CJobManager::FindActiveJobOnDevice(Name("Me"), c.connection)) << c.connection;
    EXPECT_EQ(*c.busyWith != 0, CJobManager::IsDeviceBusy(Name("Me"), c.connection) != FALSE) << c.connection;
  }
  EXPECT_TRUE(CJobManager::IsJobActive(Name("Me")));
  EXPECT_FALSE(CJobManager::IsJobActive(Name("IdleCom1")));
  EXPECT_FALSE(CJobManager::IsJobActive(Name("ErrorCom5")));
  EXPECT_TRUE(CJobManager::IsSimulation(Name("BusySimu")));
  EXPECT_FALSE(CJobManager::IsSimulation(Name("Me")));
}

TEST_F(JobTableTest, StatesAndAttachedJobs) {
  CString a = Name("AttA"), b = Name("AttB"), c = Name("AttC");
  ASSERT_TRUE(Add(a));
  ASSERT_TRUE(Add(b));
  ASSERT_TRUE(Add(c));
  SetState(a, "ATTACHED");
  SetState(c, " ATTACHED ");
  CStringArray attached;
  ASSERT_TRUE(CJobManager::ListAttachedJobs(attached));
  ASSERT_EQ(2, attached.GetSize());
  EXPECT_STREQ(a + "@Router", attached[attached[0] == a + "@Router" ? 0 : 1]);
  EXPECT_STREQ("ATTACHED", CJobManager::GetJobState(c));
  EXPECT_STREQ("", CJobManager::GetJobState(Name("Nobody")));
  // Without its rings a job has no state and is not active.
  CJobManager::CloseChannels(a);
  EXPECT_STREQ("", CJobManager::GetJobState(a));
  EXPECT_FALSE(CJobManager::IsJobActive(a));
  EXPECT_STREQ("READY", CJobManager::GetJobState(b));
  CJobManager::CloseChannels("");
  EXPECT_FALSE(CJobManager::ListAttachedJobs(attached));
  EXPECT_EQ(0, attached.GetSize());
}

TEST_F(JobTableTest, UpdateAndRefresh) {
  CString name = Name("Upd");
  ASSERT_TRUE(Add(name));
  JobRecord before;
  ASSERT_TRUE(CJobManager::GetJob(name, &before));
  JobRecord edit = before;
  std::strcpy(edit.Connection, "COM3:38400");
  edit.FeedSpeed = 44.0;
  edit.CopiesX = -5;
  edit.ToolCount = 40;   // more than the table
  edit.TotalTags = 999;  // statistics stay
  edit.Mode2D = 1;
  std::strcpy(edit.FormatName, "HPGL");
  edit.Created = 1;
  ASSERT_TRUE(CJobManager::UpdateJobRecord(name, &edit));
  JobRecord t;
  ASSERT_TRUE(CJobManager::GetJob(name, &t));
  EXPECT_STREQ("COM3:38400", t.Connection);
  EXPECT_EQ(44.0, double(t.FeedSpeed));
  EXPECT_EQ(1, int(t.CopiesX));
  EXPECT_EQ(kMaxToolSpeeds, int(t.ToolCount));
  EXPECT_EQ(int(before.TotalTags), int(t.TotalTags));
  EXPECT_EQ(0, int(t.Mode2D));
  EXPECT_STREQ("GCODE", t.FormatName);
  EXPECT_EQ(int(before.Created), int(t.Created));
  JobRecord stored;
  ASSERT_EQ(kJobInfoRead, ReadJobInfoFile(File(name, ".jobinfo"), stored));
  EXPECT_STREQ("COM3:38400", stored.Connection);
  EXPECT_FALSE(CJobManager::UpdateJobRecord(Name("Nobody"), &edit));

  ASSERT_TRUE(WriteFileBytes(JobsFolderPath() + "preview.snapshot", "new picture"));
  edit.ViewPoint = 4;
  edit.ShowPlate = 1;
  edit.FeedSpeed = 1.0;  // not a preview option
  ASSERT_TRUE(CJobManager::RefreshJob(&edit));
  ASSERT_TRUE(CJobManager::GetJob(name, &t));
  EXPECT_EQ(4, int(t.ViewPoint));
  EXPECT_EQ(1, int(t.ShowPlate));
  EXPECT_EQ(44.0, double(t.FeedSpeed));
  EXPECT_EQ("new picture", ReadFileBytes(File(name, ".snapshot")));
}

TEST_F(JobTableTest, SourceChanged) {
  CString name = Name("Src");
  ASSERT_TRUE(Add(name));
  EXPECT_FALSE(CJobManager::IsSourceChanged(name));
  ASSERT_TRUE(WriteFileBytes(SourcePath(), std::string(kGCode) + "(one more line)\n"));
  EXPECT_TRUE(CJobManager::IsSourceChanged(name));
  ASSERT_TRUE(platform::RemoveFile(SourcePath()));
  EXPECT_FALSE(CJobManager::IsSourceChanged(name));
  EXPECT_FALSE(CJobManager::IsSourceChanged(Name("Nobody")));
}

}  // namespace
