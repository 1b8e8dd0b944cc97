// The other process of the job channel tests: plays the engine (or a misbehaving peer)
// on the mappings the test created. Results go back through the exit code.
//
//   channel_peer echo   <job> <count>  pop commands from "PanelTx_<job>", push each back
//                                      on "PanelRx_<job>"; 0 when count were echoed
//   channel_peer push   <name> <n>     push messages 0..n-1 (see PeerMessage); exit code =
//                                      how many were stored before the first refusal
//   channel_peer pop    <name> <n>     pop n messages and check them; exit code = how many
//                                      matched
//   channel_peer header <job>          write the status header of "PanelRx_<job>"
//   channel_peer hold   <name> <ms>    take the mutex, signal, hold it ms, release
//   channel_peer die    <name>         take the mutex, signal, exit without releasing
//
// "Signal" sets the manual-reset event "<name>-ready" that the test created.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/job_channel.h"
#include "foundation/tests/channel_peer_messages.h"

namespace {

void SignalReady(const char* name) {
  CString eventName;
  eventName.Format("%s-ready", name);
  HANDLE ev = OpenEventA(EVENT_MODIFY_STATE, FALSE, eventName);
  if (ev) {
    SetEvent(ev);
    CloseHandle(ev);
  }
}

int Echo(const char* job, int count) {
  CJobChannel tx, rx;
  if (!tx.Open(CString("PanelTx_") + job, 128) || !rx.Open(CString("PanelRx_") + job, 128)) return 100;
  SignalReady(job);
  BYTE buf[256];
  DWORD start = GetTickCount();
  for (int done = 0; done < count;) {
    if (GetTickCount() - start > 60000) return 101;
    UINT n = tx.PopMessage(buf, sizeof buf);
    if (n == 0) {
      Sleep(0);
      continue;
    }
    while (rx.PushMessage(buf, n) == 0) {
      if (GetTickCount() - start > 60000) return 102;
      Sleep(0);
    }
    ++done;
  }
  return 0;
}

int Push(const char* name, int n) {
  CJobChannel ch;
  if (!ch.Open(name, 128)) return 200;
  int stored = 0;
  for (int i = 0; i < n; ++i) {
    BYTE msg[kChannelMaxMessage];
    UINT len = PeerMessage(i, msg);
    if (ch.PushMessage(msg, len) != len) break;
    ++stored;
  }
  return stored;
}

int Pop(const char* name, int n) {
  CJobChannel ch;
  if (!ch.Open(name, 128)) return 200;
  int matched = 0;
  for (int i = 0; i < n; ++i) {
    BYTE want[kChannelMaxMessage], got[256];
    UINT len = PeerMessage(i, want);
    if (ch.PopMessage(got, sizeof got) != len || memcmp(want, got, len) != 0) break;
    ++matched;
  }
  return matched;
}

int Header(const char* job) {
  CJobChannel rx;
  if (!rx.Open(CString("PanelRx_") + job, 128)) return 100;
  rx.SetPositionW(1.5, -2.25, 3.125);
  rx.SetPositionO(-10, 20, -30);
  rx.SetState("TRANSMITTING");
  rx.SetRunMode("RUN");
  rx.SetReplyT("T-reply");
  rx.SetReplyV("V7.1");
  rx.SetReplyC("C-reply");
  rx.SetReplyG("12/345");
  rx.SetReplyR("R-ok");
  rx.SetMessageText("  Tool change on head 2\r\n");
  rx.SetProgressSeconds(42);
  rx.SetProjectedTime(3600.5);
  rx.SetElapsedTime(61.25);
  rx.SetFifoLevel(5000, 4990);
  return 0;
}

int Hold(const char* name, DWORD ms) {
  CJobChannel ch;
  if (!ch.Open(name, 128) || !ch.Lock(kChannelLockMs)) return 100;
  SignalReady(name);
  Sleep(ms);
  ch.Unlock();
  return 0;
}

int Die(const char* name) {
  CJobChannel ch;
  if (!ch.Open(name, 128) || !ch.Lock(kChannelLockMs)) return 100;
  SignalReady(name);
  // Gone with the mutex held: the next waiter gets it as abandoned.
  ExitProcess(7);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: channel_peer echo|push|pop|header|hold|die <name> [n]\n");
    return 99;
  }
  const char* mode = argv[1];
  const char* name = argv[2];
  const int n = argc > 3 ? atoi(argv[3]) : 0;
  if (!strcmp(mode, "echo")) return Echo(name, n);
  if (!strcmp(mode, "push")) return Push(name, n);
  if (!strcmp(mode, "pop")) return Pop(name, n);
  if (!strcmp(mode, "header")) return Header(name);
  if (!strcmp(mode, "hold")) return Hold(name, DWORD(n));
  if (!strcmp(mode, "die")) return Die(name);
  return 99;
}
