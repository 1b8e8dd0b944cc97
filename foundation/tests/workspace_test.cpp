#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/settings.h"
#include "foundation/workspace.h"
#include "platform/testing/test_support.h"

namespace {

ULONGLONG SizeFor(UINT slots) { return kWorkspaceReserved + ULONGLONG(kWorkspaceSlotSize) * slots; }

// An image buffer of a whole slot: the code at bytes 4-5, `id` in the bytes of the image
// proper, and 0xEE behind it, which must never reach the slot.
struct Image {
  BYTE bytes[kWorkspaceSlotSize];
  Image(WORD code, BYTE id) {
    memset(bytes, 0xEE, sizeof bytes);
    const UINT size = WorkspaceImageSize(code);
    memset(bytes, id, size);
    ::bytes::Store16(bytes + 4, code);
  }
};

// What slot i must hold for Image(code, id).
std::string SlotFor(WORD code, BYTE id) {
  Image img(code, id);
  const UINT size = WorkspaceImageSize(code);
  std::string slot(reinterpret_cast<const char*>(img.bytes), size);
  slot.append(kWorkspaceSlotSize - size, '\0');
  return slot;
}

std::string SlotAt(CWorkspace& ws, UINT i) {
  const BYTE* p = ws.GetAt(i);
  return p ? std::string(reinterpret_cast<const char*>(p), kWorkspaceSlotSize) : std::string();
}

// Ids of the stored feed-move images, in slot order.
std::vector<int> Ids(CWorkspace& ws) {
  std::vector<int> ids;
  for (UINT i = 0; i < ws.GetCount(); ++i) ids.push_back(ws.GetAt(i)[0]);
  return ids;
}

class WorkspaceTest : public testing::Test {
 protected:
  void SetUp() override {
    m_saved = g_strAppFolder;
    g_strAppFolder = m_dir.Path();
  }
  void TearDown() override { g_strAppFolder = m_saved; }

  // The file is open delete-on-close: another handle must share deletion to open it.
  ULONGLONG FileSize(const CString& path) {
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    LARGE_INTEGER size = {};
    GetFileSizeEx(h, &size);
    CloseHandle(h);
    return ULONGLONG(size.QuadPart);
  }
  void Fill(CWorkspace& ws, int n, int firstId = 0) {
    for (int i = 0; i < n; ++i) ASSERT_TRUE(ws.AppendImage(Image(1, BYTE(firstId + i)).bytes));
  }

  testing_support::TempDir m_dir;
  CString m_saved;
};

TEST_F(WorkspaceTest, OpenMakesAnEmptyFileInTemp) {
  CWorkspace ws;
  ASSERT_EQ(ws.Open(SizeFor(100)), SizeFor(100));
  EXPECT_EQ(ws.GetCapacity(), 100u);
  EXPECT_EQ(ws.GetCount(), 0u);
  EXPECT_EQ(ws.GetAt(0), nullptr);
  const CString path = ws.GetPath();
  const CString folder = m_dir.Path() + "Temp\\";
  ASSERT_EQ(path.Left(folder.GetLength()), folder);
  const CString name = path.Mid(folder.GetLength());
  EXPECT_EQ(name.Right(5), ".work");
  EXPECT_GE(name.GetLength(), 8 + 5);
  EXPECT_EQ(name.SpanIncluding("0123456789").GetLength(), name.GetLength() - 5);
  EXPECT_EQ(FileSize(path), SizeFor(100));

  // A second workspace gets a file of its own; opening again replaces the first file.
  CWorkspace other;
  ASSERT_NE(other.Open(SizeFor(1)), 0u);
  EXPECT_NE(other.GetPath(), path);
  ASSERT_NE(ws.Open(SizeFor(5)), 0u);
  EXPECT_FALSE(testing_support::FileExists(path));
  EXPECT_EQ(ws.GetCapacity(), 5u);
}

TEST_F(WorkspaceTest, ImagesTakeTheirSizeByCodeAndTheRestOfTheSlotIsZero) {
  CWorkspace ws;
  ASSERT_NE(ws.Open(SizeFor(10)), 0u);
  const struct {
    WORD code;
    UINT size;
  } cases[] = {{0, 83}, {1, 83}, {2, 107}, {3, 107}, {0xFFFF, 37}, {17, 22}, {90, 22}, {0xFF00, 22}};
  BYTE id = 1;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(WorkspaceImageSize(c.code), c.size);
    ASSERT_TRUE(ws.AppendImage(Image(c.code, id).bytes));
    EXPECT_EQ(SlotAt(ws, ws.GetCount() - 1), SlotFor(c.code, id));
    ++id;
  }
  // A tag written over an arc keeps only its 37 bytes.
  ASSERT_EQ(ws.SetImageAt(2, Image(0xFFFF, 0x77).bytes), 1);
  EXPECT_EQ(SlotAt(ws, 2), SlotFor(0xFFFF, 0x77));
  // The 8 bytes before slot 0 are never written.
  const BYTE* view = ws.GetView();
  for (UINT i = 0; i < kWorkspaceReserved; ++i) EXPECT_EQ(view[i], 0) << i;
  EXPECT_EQ(ws.GetAt(0), view + kWorkspaceReserved);
}

TEST_F(WorkspaceTest, SetAndInsertKeepTheOrder) {
  CWorkspace ws;
  ASSERT_NE(ws.Open(SizeFor(20)), 0u);
  Fill(ws, 5, 10);
  EXPECT_EQ(ws.SetImageAt(3, Image(1, 99).bytes), 1);
  EXPECT_EQ(Ids(ws), (std::vector<int>{10, 11, 12, 99, 14}));
  EXPECT_EQ(ws.InsertImageAt(0, Image(1, 1).bytes), 1);
  EXPECT_EQ(Ids(ws), (std::vector<int>{1, 10, 11, 12, 99, 14}));
  EXPECT_EQ(ws.InsertImageAt(6, Image(1, 2).bytes), 1);  // at the end
  EXPECT_EQ(ws.InsertImageAt(3, ws.GetAt(0)), 1);        // an image of this workspace
  EXPECT_EQ(Ids(ws), (std::vector<int>{1, 10, 11, 1, 12, 99, 14, 2}));

  // Out of range: refused, nothing changes.
  EXPECT_EQ(ws.InsertImageAt(9, Image(1, 3).bytes), 0);
  EXPECT_EQ(ws.SetImageAt(8, Image(1, 3).bytes), 0);
  EXPECT_EQ(ws.SetImageAt(0, nullptr), 0);
  EXPECT_FALSE(ws.AppendImage(nullptr));
  EXPECT_EQ(ws.GetCount(), 8u);
  EXPECT_EQ(ws.GetAt(8), nullptr);
}

// Ratio 0.5, capacity 100: the 91st image needs no growth, the 92nd first grows the file
// to 91 / 0.5 = 182 slots; what was stored survives the move.
TEST_F(WorkspaceTest, GrowsByTheRatio) {
  CWorkspace ws;
  ASSERT_NE(ws.Open(SizeFor(100)), 0u);
  ws.SetGrowRatio(1, 2);
  Fill(ws, 91);
  EXPECT_EQ(ws.GetCapacity(), 100u);
  Fill(ws, 1, 91);
  EXPECT_EQ(ws.GetCapacity(), 182u);
  EXPECT_EQ(FileSize(ws.GetPath()), SizeFor(182));
  for (UINT i = 0; i < 92; ++i) ASSERT_EQ(SlotAt(ws, i), SlotFor(1, BYTE(i))) << i;

  // A ratio above 1 gives count / ratio below the capacity: then capacity + 10.
  CWorkspace small;
  ASSERT_NE(small.Open(SizeFor(12)), 0u);
  small.SetGrowRatio(4, 1);
  Fill(small, 3);
  EXPECT_EQ(small.GetCapacity(), 12u);
  Fill(small, 1);  // count 3: fewer than 10 free
  EXPECT_EQ(small.GetCapacity(), 22u);
}

// Without a ratio the file never grows; a store that finds no free slot is refused.
TEST_F(WorkspaceTest, FullWithoutRatioRefusesInsteadOfOverrunning) {
  CWorkspace ws;
  ASSERT_NE(ws.Open(SizeFor(3)), 0u);
  Fill(ws, 3);
  EXPECT_FALSE(ws.AppendImage(Image(1, 7).bytes));
  EXPECT_EQ(ws.InsertImageAt(0, Image(1, 7).bytes), 0);
  ws.SetGrowRatio(1, 100000);  // 1e-5: still no growth
  EXPECT_FALSE(ws.AppendImage(Image(1, 7).bytes));
  EXPECT_EQ(ws.GetCount(), 3u);
  EXPECT_EQ(ws.GetCapacity(), 3u);
  EXPECT_EQ(Ids(ws), (std::vector<int>{0, 1, 2}));
  // Opened with less than one slot: nothing fits.
  CWorkspace tiny;
  ASSERT_EQ(tiny.Open(5), 5u);
  EXPECT_EQ(tiny.GetCapacity(), 0u);
  EXPECT_FALSE(tiny.AppendImage(Image(1, 7).bytes));
}

TEST_F(WorkspaceTest, InsertFromCopiesAnotherWorkspace) {
  CWorkspace ws, other, empty;
  ASSERT_NE(ws.Open(SizeFor(10)), 0u);
  ASSERT_NE(other.Open(SizeFor(10)), 0u);
  ASSERT_NE(empty.Open(SizeFor(10)), 0u);
  Fill(ws, 3, 0);
  Fill(other, 4, 50);
  ASSERT_EQ(ws.InsertFrom(1, other), 1);
  EXPECT_EQ(Ids(ws), (std::vector<int>{0, 50, 51, 52, 53, 1, 2}));
  EXPECT_EQ(other.GetCount(), 4u);  // nothing taken from it
  EXPECT_EQ(ws.InsertFrom(8, other), 0);
  EXPECT_EQ(ws.InsertFrom(0, empty), 0);
  // No ratio, 3 slots free, 4 to copy: refused.
  EXPECT_EQ(ws.InsertFrom(0, other), 0);
  EXPECT_EQ(ws.GetCount(), 7u);

  // With a ratio it grows by the copied count: 7 + 4 + 10 > 10 gives 10 + 4 + 10 slots
  // (7 / 0.9 is not above the capacity).
  ws.SetGrowRatio(9, 10);
  ASSERT_EQ(ws.InsertFrom(7, other), 1);
  EXPECT_EQ(ws.GetCapacity(), 24u);
  // Into itself.
  ASSERT_EQ(ws.InsertFrom(0, ws), 1);
  EXPECT_EQ(ws.GetCount(), 22u);
  EXPECT_EQ(Ids(ws),
            (std::vector<int>{0, 50, 51, 52, 53, 1, 2, 50, 51, 52, 53, 0, 50, 51, 52, 53, 1, 2, 50, 51, 52, 53}));
}

TEST_F(WorkspaceTest, ResetAndDestructionDeleteTheFile) {
  CString path;
  {
    CWorkspace ws;
    ASSERT_NE(ws.Open(SizeFor(4)), 0u);
    ws.SetGrowRatio(1, 2);
    Fill(ws, 2);
    path = ws.GetPath();
    ASSERT_TRUE(testing_support::FileExists(path));
    ws.Reset();
    EXPECT_FALSE(testing_support::FileExists(path));
    EXPECT_EQ(ws.GetCount(), 0u);
    EXPECT_EQ(ws.GetCapacity(), 0u);
    EXPECT_TRUE(ws.GetPath().IsEmpty());
    EXPECT_FALSE(ws.AppendImage(Image(1, 1).bytes));  // closed: refused
    EXPECT_EQ(ws.GrowWorkspace(10), 0u);
    ASSERT_NE(ws.Open(SizeFor(4)), 0u);
    path = ws.GetPath();
  }
  EXPECT_FALSE(testing_support::FileExists(path));
}

TEST_F(WorkspaceTest, FailuresLeaveItClosed) {
  // "Temp" is a file, so no folder can be made for the workspace.
  ASSERT_TRUE(testing_support::WriteFileBytes(m_dir / "Temp", "x"));
  CWorkspace ws;
  EXPECT_EQ(ws.Open(SizeFor(10)), 0u);
  EXPECT_EQ(ws.GetView(), nullptr);
  EXPECT_EQ(ws.GetCapacity(), 0u);
  EXPECT_FALSE(ws.AppendImage(Image(1, 1).bytes));

  HANDLE file, mapping;
  BYTE* view;
  EXPECT_EQ(CWorkspace::CreateWorkspace(m_dir / "zero.work", 0, file, mapping, view), 0u);
  EXPECT_EQ(view, nullptr);
  EXPECT_FALSE(testing_support::FileExists(m_dir / "zero.work"));
}

// Shrinking below the stored images would cut them off: refused, the file kept.
TEST_F(WorkspaceTest, GrowNeverDropsStoredImages) {
  CWorkspace ws;
  ASSERT_NE(ws.Open(SizeFor(10)), 0u);
  Fill(ws, 6);
  EXPECT_EQ(ws.GrowWorkspace(5), 0u);
  EXPECT_EQ(ws.GetCount(), 6u);
  EXPECT_EQ(ws.GrowWorkspace(6), SizeFor(6));
  EXPECT_EQ(ws.GetCapacity(), 6u);
  EXPECT_EQ(Ids(ws), (std::vector<int>{0, 1, 2, 3, 4, 5}));
}

// A process that dies with its workspace open (killed, crashed) once left a file of
// up to 50 MB in "Temp" for good; the system now deletes it with the last handle.
TEST_F(WorkspaceTest, AKilledProcessLeavesNoFileBehind) {
  char exe[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, exe, MAX_PATH);
  while (n > 0 && exe[n - 1] != '\\') --n;
  exe[n] = '\0';
  CString folder = m_dir.Path();
  if (folder.Right(1) == "\\") folder = folder.Left(folder.GetLength() - 1);
  const CString pathFile = m_dir / "holder.txt";
  CString cmd;
  cmd.Format("\"%sworkspace_holder.exe\" \"%s\" \"%s\"", exe, (const char*)folder, (const char*)pathFile);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA(nullptr, cmd.GetBuffer(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  cmd.ReleaseBuffer();
  CloseHandle(pi.hThread);
  std::string path;
  for (int i = 0; i < 500 && path.empty(); ++i) {
    if (WaitForSingleObject(pi.hProcess, 20) == WAIT_OBJECT_0) break;
    path = testing_support::ReadFileBytes(pathFile);
  }
  ASSERT_FALSE(path.empty()) << "the holder did not open its workspace";
  EXPECT_TRUE(testing_support::FileExists(path.c_str())) << path;
  EXPECT_EQ(FileSize(path.c_str()), SizeFor(1000));
  TerminateProcess(pi.hProcess, 9);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hProcess);
  for (int i = 0; i < 250 && testing_support::FileExists(path.c_str()); ++i) Sleep(20);
  EXPECT_FALSE(testing_support::FileExists(path.c_str())) << path;
}

}  // namespace
