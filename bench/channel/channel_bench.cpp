// Job channel speed between two processes.
//
//   channel_bench [round trips]
//
// Starts itself a second time as the echo side ("--echo <job>"), which pops every
// message from "PanelTx_<job>" and pushes it back on "PanelRx_<job>", as the engine
// answers the operator program. Prints:
//  - round trips per second with one message in flight (push, peer pops and pushes back,
//    pop): the latency of the channel;
//  - messages per second with the rings kept busy (each message crosses both rings).
// The real programs poll every 20 ms and 100 ms, so either figure is far above need; the
// bench shows how much room there is and catches a regression in the lock path.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/job_channel.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

int Echo(const char* job) {
  CJobChannel tx, rx;
  if (!tx.Open(CString("PanelTx_") + job, 128) || !rx.Open(CString("PanelRx_") + job, 128)) return 1;
  CString readyName;
  readyName.Format("%s-ready", job);
  if (HANDLE ev = OpenEventA(EVENT_MODIFY_STATE, FALSE, readyName)) {
    SetEvent(ev);
    CloseHandle(ev);
  }
  BYTE buf[256];
  for (;;) {
    UINT n = tx.PopMessage(buf, sizeof buf);
    if (n == 0) {
      Sleep(0);
      continue;
    }
    if (n >= 2 && reinterpret_cast<ChannelMessage*>(buf)->nType == kMsgExit) return 0;
    while (rx.PushMessage(buf, n) == 0) Sleep(0);
  }
}

// A 40-byte controller line, about what the engine sends most.
UINT MakeMessage(BYTE* out, int i) {
  ChannelMessage* msg = reinterpret_cast<ChannelMessage*>(out);
  msg->nType = kMsgControllerLine;
  int len =
      snprintf(reinterpret_cast<char*>(msg->payload), kChannelMaxPayload, "W%08d,+0012.345,-0006.780,+0001.000", i);
  msg->nLength = uint16_t(len + 1);
  return msg->nLength + 4u;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && strcmp(argv[1], "--echo") == 0) return Echo(argv[2]);
  const int roundTrips = argc > 1 ? atoi(argv[1]) : 20000;
  const int pipelined = roundTrips * 5;

  CString job;
  job.Format("bench%lu", (unsigned long)GetCurrentProcessId());
  CJobChannel tx, rx;
  if (!rx.Open("PanelRx_" + job, 128) || !tx.Open("PanelTx_" + job, 128)) {
    fprintf(stderr, "cannot open the channel\n");
    return 1;
  }
  CString readyName;
  readyName.Format("%s-ready", (const char*)job);
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, readyName);

  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  CString cmd;
  cmd.Format("\"%s\" --echo %s", self, (const char*)job);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, cmd.GetBuffer(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) ||
      WaitForSingleObject(ready, 30000) != WAIT_OBJECT_0) {
    fprintf(stderr, "echo process did not start\n");
    return 1;
  }
  cmd.ReleaseBuffer();

  BYTE msg[kChannelMaxMessage], got[256];
  int bad = 0;

  // One message in flight.
  auto t0 = Clock::now();
  for (int i = 0; i < roundTrips; ++i) {
    UINT len = MakeMessage(msg, i);
    while (tx.PushMessage(msg, len) == 0) Sleep(0);
    UINT n;
    while ((n = rx.PopMessage(got, sizeof got)) == 0) Sleep(0);
    bad += (n != len || memcmp(got, msg, len) != 0);
  }
  double pingSeconds = SecondsSince(t0);

  // Rings kept busy: push while there is room, pop whatever has come back.
  t0 = Clock::now();
  int sent = 0, received = 0;
  while (received < pipelined) {
    bool idle = true;
    if (sent < pipelined) {
      UINT len = MakeMessage(msg, sent);
      if (tx.PushMessage(msg, len) == len) {
        ++sent;
        idle = false;
      }
    }
    UINT n = rx.PopMessage(got, sizeof got);
    if (n > 0) {
      UINT len = MakeMessage(msg, received);
      bad += (n != len || memcmp(got, msg, len) != 0);
      ++received;
      idle = false;
    }
    if (idle) Sleep(0);
  }
  double pipeSeconds = SecondsSince(t0);

  ChannelMessage exitMsg = {};
  exitMsg.nType = kMsgExit;
  while (tx.PushMessage(&exitMsg, 4) == 0) Sleep(0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  CloseHandle(ready);

  printf("job channel bench, two processes, 40-byte messages\n");
  printf("  round trips, one in flight: %8.0f /s  (%.1f us each, %d trips)\n", roundTrips / pingSeconds,
         pingSeconds * 1e6 / roundTrips, roundTrips);
  printf("  messages, rings kept busy:  %8.0f /s  (%d messages, each over both rings)\n", pipelined / pipeSeconds,
         pipelined);
  printf("  lock time-outs %lu, damaged messages %d\n", (unsigned long)(tx.GetLockTimeouts() + rx.GetLockTimeouts()),
         bad);
  return bad == 0 ? 0 : 2;
}
