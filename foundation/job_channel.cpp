#include "foundation/job_channel.h"

#include <cstring>

#include "platform/mbcs.h"

namespace {

constexpr size_t kRingOffset = sizeof(ChannelHeader);

// Largest capacity whose mapping size still fits the 32-bit size of the mapping call.
constexpr UINT kMaxCapacity = (0xFFFFFFFFu - kRingOffset) / kChannelSlotSize;

// Length of the text in a field that the other process may have left unterminated.
size_t FieldLength(const char* field, size_t width) {
  const void* nul = memchr(field, 0, width);
  return nul ? size_t(static_cast<const char*>(nul) - field) : width;
}

}  // namespace

// Holds the channel's mutex for one operation.
class CJobChannel::Guard {
 public:
  explicit Guard(CJobChannel& ch) : m_ch(ch), m_locked(ch.Lock(kChannelLockMs)) {}
  ~Guard() {
    if (m_locked) m_ch.Unlock();
  }
  Guard(const Guard&) = delete;
  Guard& operator=(const Guard&) = delete;
  explicit operator bool() const { return m_locked; }

 private:
  CJobChannel& m_ch;
  bool m_locked;
};

CJobChannel::CJobChannel() = default;

CJobChannel::~CJobChannel() { Close(); }

int CJobChannel::Open(const char* name, UINT capacity) {
  Close();
  if (!name || !*name || capacity == 0 || capacity > kMaxCapacity) return 0;
  const DWORD size = DWORD(capacity * kChannelSlotSize + kRingOffset);

  SetLastError(ERROR_SUCCESS);
  m_hMapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
  if (!m_hMapping) return 0;
  const BOOL creator = GetLastError() != ERROR_ALREADY_EXISTS;

  CString mutexName;
  mutexName.Format("%s-Mutex", name);
  m_pMutex.reset(new CMutex(FALSE, mutexName));
  // An existing mapping smaller than ours cannot be viewed whole: the view fails.
  if (m_pMutex->IsValid()) m_pView = static_cast<BYTE*>(MapViewOfFile(m_hMapping, FILE_MAP_ALL_ACCESS, 0, 0, size));
  if (!m_pView) {
    m_pMutex.reset();
    CloseHandle(m_hMapping);
    m_hMapping = nullptr;
    return 0;
  }
  m_bCreator = creator;
  m_nViewSlots = capacity;
  if (m_bCreator) InitHeader();
  Header()->nCapacity = capacity;  // by creator and opener alike; the one unlocked write
  return 1;
}

void CJobChannel::Close() {
  if (m_pView) UnmapViewOfFile(m_pView);
  m_pView = nullptr;
  if (m_hMapping) CloseHandle(m_hMapping);
  m_hMapping = nullptr;
  m_pMutex.reset();
  m_bCreator = FALSE;
  m_nViewSlots = 0;
}

BOOL CJobChannel::Lock(DWORD ms) {
  if (!m_pView || !m_pMutex) return FALSE;
  if (m_pMutex->Lock(ms)) return TRUE;
  ++m_nLockTimeouts;
  return FALSE;
}

void CJobChannel::Unlock() {
  if (m_pMutex) m_pMutex->Unlock();
}

void CJobChannel::InitHeader() {
  Guard lock(*this);
  if (!lock) return;
  ChannelHeader* h = Header();
  h->nCapacity = h->nWriteIndex = h->nReadIndex = 0;
  m_pView[kRingOffset] = 0;
  memset(h->dPosW, 0, sizeof h->dPosW);
  memset(h->dPosO, 0, sizeof h->dPosO);
  for (char* field : {h->szReplyT, h->szState, h->szReplyV, h->szReplyD, h->szReplyH, h->szReplyL, h->szReplyN,
                      h->szReplyA, h->szReplyG, h->szReplyR})
    field[0] = '\0';
  strcpy(h->szState, "READY");
}

int CJobChannel::ReadHeader(ChannelHeader* header) {
  if (!header) return 0;
  Guard lock(*this);
  if (!lock) return 0;
  memcpy(header, m_pView, sizeof *header);
  return 1;
}

CString CJobChannel::GetText(size_t offset, size_t width, const char* onTimeout) {
  Guard lock(*this);
  if (!lock) return onTimeout;
  const char* field = reinterpret_cast<const char*>(m_pView + offset);
  return CString(field, int(FieldLength(field, width)));
}

CString CJobChannel::GetRunMode() {
  return GetText(offsetof(ChannelHeader, szRunMode), sizeof(ChannelHeader::szRunMode), "OFFLINE");
}

CString CJobChannel::GetState() {
  return GetText(offsetof(ChannelHeader, szState), sizeof(ChannelHeader::szState), "");
}

CString CJobChannel::GetMessageText() {
  return GetText(offsetof(ChannelHeader, szMessage), sizeof(ChannelHeader::szMessage), "");
}

int CJobChannel::TakeReplyR() {
  Guard lock(*this);
  if (!lock || Header()->szReplyR[0] == '\0') return 0;
  memset(Header()->szReplyR, 0, sizeof(ChannelHeader::szReplyR));
  return 1;
}

// ---------------------------------------------------------------------------------------
// Ring. Empty when write == read, full when (write + 1) % capacity == read, so at most
// capacity - 1 messages wait. The pusher moves only the write index, the popper only the
// read index.

ChannelSlot* CJobChannel::Slot(UINT i) const {
  return reinterpret_cast<ChannelSlot*>(m_pView + kRingOffset + size_t(i) * kChannelSlotSize);
}

// The capacity and indices come from the shared header at every call. Values that would
// reach past this process's view (a peer opened with another capacity, or a damaged
// header) refuse the operation instead of touching memory outside the mapping.
bool CJobChannel::RingUsable(UINT& capacity, UINT& write, UINT& read) {
  const ChannelHeader* h = Header();
  capacity = h->nCapacity;
  write = h->nWriteIndex;
  read = h->nReadIndex;
  if (capacity != 0 && capacity <= m_nViewSlots && write < capacity && read < capacity) return true;
  ++m_nBadRing;
  return false;
}

UINT CJobChannel::GetFreeCount() {
  Guard lock(*this);
  UINT capacity, write, read;
  if (!lock || !RingUsable(capacity, write, read)) return 0;
  return write < read ? read - write - 1 : capacity + read - write - 1;
}

UINT CJobChannel::GetUsedCount() {
  Guard lock(*this);
  UINT capacity, write, read;
  if (!lock || !RingUsable(capacity, write, read)) return 0;
  return write < read ? capacity + write - read : write - read;
}

UINT CJobChannel::PushMessage(const void* data, UINT length) {
  // An empty push would store a slot that pops as "nothing there".
  if (!data || length == 0) return 0;
  Guard lock(*this);
  UINT capacity, write, read;
  if (!lock || !RingUsable(capacity, write, read)) return 0;
  const UINT next = (write + 1) % capacity;
  if (next == read) return 0;
  if (length > kChannelMaxMessage) length = kChannelMaxMessage;
  ChannelSlot* slot = Slot(write);
  slot->nLength = length;
  memcpy(slot->data, data, length);
  Header()->nWriteIndex = next;
  return length;
}

UINT CJobChannel::PopMessage(void* buffer, UINT size) {
  // Without room for a byte the message would be taken and lost.
  if (!buffer || size == 0) return 0;
  Guard lock(*this);
  UINT capacity, write, read;
  if (!lock || !RingUsable(capacity, write, read) || write == read) return 0;
  const ChannelSlot* slot = Slot(read);
  // A damaged length is cut to the slot (see the header): never read past it.
  UINT n = slot->nLength < kChannelMaxMessage ? slot->nLength : kChannelMaxMessage;
  if (n > size) n = size;
  memcpy(buffer, slot->data, n);
  Header()->nReadIndex = (read + 1) % capacity;
  return n;
}

// ---------------------------------------------------------------------------------------
// Header setters and getters

int CJobChannel::SetPosition(size_t offset, double x, double y, double z) {
  Guard lock(*this);
  if (lock) {
    double* field = reinterpret_cast<double*>(m_pView + offset);
    field[0] = x;
    field[1] = y;
    field[2] = z;
  }
  return 1;
}

int CJobChannel::SetPositionW(double x, double y, double z) {
  return SetPosition(offsetof(ChannelHeader, dPosW), x, y, z);
}
int CJobChannel::SetPositionO(double x, double y, double z) {
  return SetPosition(offsetof(ChannelHeader, dPosO), x, y, z);
}

// Trimmed, then cut to width - 1 bytes without splitting a double-byte character, so
// that a long controller reply never runs into the next field.
int CJobChannel::SetText(size_t offset, size_t width, const char* text) {
  CString value(text);
  value.Trim();
  const char* p = value;
  const char* end = p + value.GetLength();
  size_t n = 0;
  while (p + n < end) {
    size_t len = size_t(mbcs::CharLen(p + n, end));
    if (n + len > width - 1) break;
    n += len;
  }
  Guard lock(*this);
  if (lock) {
    char* field = reinterpret_cast<char*>(m_pView + offset);
    memcpy(field, p, n);
    field[n] = '\0';
  }
  return 1;
}

#define TEXT_FIELD(f) offsetof(ChannelHeader, f), sizeof(ChannelHeader::f)
int CJobChannel::SetReplyT(const char* text) { return SetText(TEXT_FIELD(szReplyT), text); }
int CJobChannel::SetRunMode(const char* text) { return SetText(TEXT_FIELD(szRunMode), text); }
int CJobChannel::SetState(const char* text) { return SetText(TEXT_FIELD(szState), text); }
int CJobChannel::SetReplyV(const char* text) { return SetText(TEXT_FIELD(szReplyV), text); }
int CJobChannel::SetReplyC(const char* text) { return SetText(TEXT_FIELD(szReplyC), text); }
int CJobChannel::SetReplyD(const char* text) { return SetText(TEXT_FIELD(szReplyD), text); }
int CJobChannel::SetReplyH(const char* text) { return SetText(TEXT_FIELD(szReplyH), text); }
int CJobChannel::SetReplyL(const char* text) { return SetText(TEXT_FIELD(szReplyL), text); }
int CJobChannel::SetReplyN(const char* text) { return SetText(TEXT_FIELD(szReplyN), text); }
int CJobChannel::SetReplyA(const char* text) { return SetText(TEXT_FIELD(szReplyA), text); }
int CJobChannel::SetReplyG(const char* text) { return SetText(TEXT_FIELD(szReplyG), text); }
int CJobChannel::SetSlotE0(const char* text) { return SetText(TEXT_FIELD(szSlotE0), text); }
int CJobChannel::SetReplyR(const char* text) { return SetText(TEXT_FIELD(szReplyR), text); }
int CJobChannel::SetMessageText(const char* text) { return SetText(TEXT_FIELD(szMessage), text); }
#undef TEXT_FIELD

int CJobChannel::SetProgressSeconds(int seconds) {
  Guard lock(*this);
  if (lock) Header()->nProgressSeconds = seconds;
  return 1;
}

int CJobChannel::GetProgressSeconds() {
  Guard lock(*this);
  return lock ? Header()->nProgressSeconds : 0;
}

int CJobChannel::SetProjectedTime(double seconds) {
  Guard lock(*this);
  if (lock) Header()->dProjectedTime = seconds;
  return 1;
}

int CJobChannel::SetElapsedTime(double seconds) {
  Guard lock(*this);
  if (lock) Header()->dElapsedTime = seconds;
  return 1;
}

double CJobChannel::GetProjectedTime() {
  Guard lock(*this);
  return lock ? Header()->dProjectedTime : 0.0;
}

int CJobChannel::SetFifoLevel(DWORD written, DWORD read) {
  Guard lock(*this);
  if (lock) {
    Header()->nFifoWritten = written;
    Header()->nFifoRead = read;
  }
  return 1;
}

LONG CJobChannel::GetFifoLevel(DWORD& written, DWORD& read) {
  {
    Guard lock(*this);
    if (lock) {
      written = Header()->nFifoWritten;
      read = Header()->nFifoRead;
    }
  }
  return LONG(written - read);
}
