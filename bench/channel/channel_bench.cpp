// Job channel speed between two processes.
//
//   channel_bench [round trips] [--echo-exits-after n]
//
// Starts itself a second time as the echo side ("--echo <job> [n]"), which pops every
// message from "PanelTx_<job>" and pushes it back on "PanelRx_<job>", as the engine
// answers the operator program. Prints:
//  - round trips per second with one message in flight (push, peer pops and pushes back,
//    pop): the latency of the channel;
//  - messages per second with the rings kept busy (each message crosses both rings).
// The real programs poll every 20 ms and 100 ms, so either figure is far above need; the
// bench shows how much room there is and catches a regression in the lock path.
//
// Every wait ends when the other side has gone or after kWaitMs: a bench whose echo
// died says so and ends instead of spinning for ever. --echo-exits-after makes the
// echo end after n messages, to show that.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/job_channel.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kWaitMs = 10000;        // longest wait for the other side
constexpr DWORD kEchoStartMs = 30000;   // the echo process's start-up
constexpr int kExitEchoGone = 3;        // exit code: the echo process ended early
constexpr UINT kChannelCapacity = 128;  // slots of each ring, as the programs use
constexpr int kDefaultRoundTrips = 20000;

double SecondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// Calls step until it returns true; false when `other` has ended or kWaitMs passed.
// The process and the clock are looked at only every kChecksEvery spins: asking the
// system each time would cost more than the channel operation the bench measures.
constexpr int kChecksEvery = 256;
template <class Step>
bool WaitUntil(HANDLE other, Step step) {
  const DWORD start = GetTickCount();
  for (int spins = 1;; ++spins) {
    if (step()) return true;
    if (spins % kChecksEvery == 0) {
      if (other && WaitForSingleObject(other, 0) == WAIT_OBJECT_0) return false;
      if (GetTickCount() - start > kWaitMs) return false;
    }
    Sleep(0);
  }
}

// The echo side. It ends when told (kMsgExit), after exitAfter messages when that is
// not 0, when its parent has gone, or after kWaitMs without a message.
int Echo(const char* job, DWORD parentId, int exitAfter) {
  CJobChannel tx, rx;
  if (!tx.Open(CString("PanelTx_") + job, kChannelCapacity) || !rx.Open(CString("PanelRx_") + job, kChannelCapacity))
    return 1;
  HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, parentId);
  CString readyName;
  readyName.Format("%s-ready", job);
  if (HANDLE ev = OpenEventA(EVENT_MODIFY_STATE, FALSE, readyName)) {
    SetEvent(ev);
    CloseHandle(ev);
  }
  BYTE buf[256];
  for (int echoed = 0; exitAfter == 0 || echoed < exitAfter; ++echoed) {
    UINT n = 0;
    if (!WaitUntil(parent, [&] { return (n = tx.PopMessage(buf, sizeof buf)) != 0; })) return 4;
    if (n >= 2 && reinterpret_cast<ChannelMessage*>(buf)->nType == kMsgExit) return 0;
    if (!WaitUntil(parent, [&] { return rx.PushMessage(buf, n) != 0; })) return 4;
  }
  return 0;
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

int EchoGone() {
  fprintf(stderr, "channel_bench: the echo process ended or stopped answering; no figures\n");
  return kExitEchoGone;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 3 && strcmp(argv[1], "--echo") == 0)
    return Echo(argv[2], (DWORD)atol(argv[3]), argc > 4 ? atoi(argv[4]) : 0);
  int roundTrips = kDefaultRoundTrips, echoExitsAfter = 0;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--echo-exits-after") == 0 && i + 1 < argc)
      echoExitsAfter = atoi(argv[++i]);
    else
      roundTrips = atoi(argv[i]);
  }
  const int pipelined = roundTrips * 5;

  CString job;
  job.Format("bench%lu", (unsigned long)GetCurrentProcessId());
  CJobChannel tx, rx;
  if (!rx.Open("PanelRx_" + job, kChannelCapacity) || !tx.Open("PanelTx_" + job, kChannelCapacity)) {
    fprintf(stderr, "cannot open the channel\n");
    return 1;
  }
  CString readyName;
  readyName.Format("%s-ready", (const char*)job);
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, readyName);

  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  CString cmd;
  cmd.Format("\"%s\" --echo %s %lu %d", self, (const char*)job, (unsigned long)GetCurrentProcessId(), echoExitsAfter);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  HANDLE startWait[2] = {ready, nullptr};
  if (!CreateProcessA(nullptr, cmd.GetBuffer(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) ||
      (startWait[1] = pi.hProcess, WaitForMultipleObjects(2, startWait, FALSE, kEchoStartMs) != WAIT_OBJECT_0)) {
    fprintf(stderr, "echo process did not start\n");
    return 1;
  }
  cmd.ReleaseBuffer();
  CloseHandle(pi.hThread);
  const HANDLE echo = pi.hProcess;

  BYTE msg[kChannelMaxMessage], got[256];
  int bad = 0;

  // One message in flight.
  auto t0 = Clock::now();
  for (int i = 0; i < roundTrips; ++i) {
    UINT len = MakeMessage(msg, i);
    UINT n = 0;
    if (!WaitUntil(echo, [&] { return tx.PushMessage(msg, len) != 0; }) ||
        !WaitUntil(echo, [&] { return (n = rx.PopMessage(got, sizeof got)) != 0; }))
      return EchoGone();
    bad += (n != len || memcmp(got, msg, len) != 0);
  }
  double pingSeconds = SecondsSince(t0);

  // Rings kept busy: push while there is room, pop whatever has come back.
  t0 = Clock::now();
  int sent = 0, received = 0;
  while (received < pipelined) {
    bool moved = WaitUntil(echo, [&] {
      bool progress = false;
      if (sent < pipelined) {
        UINT len = MakeMessage(msg, sent);
        if (tx.PushMessage(msg, len) == len) {
          ++sent;
          progress = true;
        }
      }
      UINT n = rx.PopMessage(got, sizeof got);
      if (n > 0) {
        UINT len = MakeMessage(msg, received);
        bad += (n != len || memcmp(got, msg, len) != 0);
        ++received;
        progress = true;
      }
      return progress;
    });
    if (!moved) return EchoGone();
  }
  double pipeSeconds = SecondsSince(t0);

  ChannelMessage exitMsg = {};
  exitMsg.nType = kMsgExit;
  WaitUntil(echo, [&] { return tx.PushMessage(&exitMsg, 4) != 0; });
  WaitForSingleObject(echo, kWaitMs);
  CloseHandle(echo);
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
