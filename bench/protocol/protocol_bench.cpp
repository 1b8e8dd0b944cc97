// Throughput of the frame protocol engine and of its spill FIFO.
//
//   protocol_bench [frames] [long-run frames]
//
// The link is in-process and answers every frame with an ACK at once, so the figures are
// the engine's own cost per frame: queue, spill, take, number, seal, write, read the
// answer. The real links carry a few thousand frames a second at most (UDP loopback);
// the goal is that the engine never is the bottleneck: 100,000 frames/s or more.
//
// Ceilings, measured in the same run: for the memory queue, the least work a frame needs
// (build it, seal it, copy it out), with no queue and no lock; for the spill FIFO, the
// FIFO's own push and pop of a frame, which the engine cannot beat.
//
// The long run (default 10,000,000 frames) pushes through the spill FIFO from a producer
// thread while the sender drains it, as a big job does; it prints the file's size and
// the process's own memory before and after: the file grows, the process does not. The
// file (about 1.2 kB per frame, 12 GB for ten million) is made in the current folder and
// deleted at the end. 0 skips it.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "engine/protocol/frame_protocol.h"
#include "engine/protocol/tests/fake_link.h"
#include "foundation/settings.h"

#ifdef _WIN32
#include <psapi.h>  // after the platform's windows.h
#endif

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// The process's own (not file-backed) memory, in MB.
double PrivateMb() {
#ifdef _WIN32
  // The commit charge: the process's private memory (Wine's PrivateUsage counts mapped
  // views too).
  PROCESS_MEMORY_COUNTERS pmc;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc))) return -1;
  return pmc.PagefileUsage / 1e6;
#else
  FILE* f = fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  double kb = -1;
  while (fgets(line, sizeof(line), f))
    if (strncmp(line, "RssAnon:", 8) == 0) kb = atof(line + 8);
  fclose(f);
  return kb / 1e3;
#endif
}

struct Rig {
  CFakeLink link;
  CRecordingSink owner;
  CFrameProtocol protocol;

  Rig(const CString& folder, BOOL fifo, int version) {
    link.m_answer = CFakeLink::kAnswerAck;
    link.m_bRecord = false;
    FrameProtocolConfig config;
    config.strAppFolder = folder;
    config.bFileFifo = fifo;
    config.nProtocolVersion = version;
    config.nQueueLimit = 0;
    protocol.Configure(config);
    protocol.Attach(&owner, &link, 0x8000);
  }
  ~Rig() { protocol.ResetFifo(); }
};

// Producer and sender on one thread, in runs of 64 frames: frames/s.
double ProtocolSameThread(const CString& folder, BOOL fifo, int version, DWORD frames) {
  Rig rig(folder, fifo, version);
  BYTE data[DEVICE_FRAME_MAX_DATA];
  memset(data, 0x41, sizeof(data));
  int dataLength = rig.protocol.GetFrameDataCapacity();
  auto t0 = Clock::now();
  for (DWORD queued = 0; queued < frames;) {
    for (int i = 0; i < 64 && queued < frames; ++i, ++queued) rig.protocol.QueueDataFrame(FALSE, data, dataLength);
    rig.protocol.MarkFifoEnd();
    rig.protocol.Pump();
    while (rig.protocol.GetAckedCount() < queued) rig.protocol.OnLinkData(1);
  }
  double s = SecondsSince(t0);
  if (rig.protocol.GetAckedCount() != frames)
    printf("  !! %lu frames acknowledged\n", (unsigned long)rig.protocol.GetAckedCount());
  return frames / s;
}

// The engine's arrangement: a producer thread fills the FIFO, the sender drains it.
double ProtocolTwoThreads(const CString& folder, DWORD frames, double* fileMb, double* memBefore, double* memAfter) {
  Rig rig(folder, TRUE, 5);
  BYTE data[128];
  memset(data, 0x41, sizeof(data));
  *memBefore = PrivateMb();
  auto t0 = Clock::now();
  std::thread producer([&] {
    for (DWORD i = 0; i < frames; ++i) {
      rig.protocol.QueueDataFrame(FALSE, data, sizeof(data));
      if (i % 64 == 63) rig.protocol.MarkFifoEnd();
    }
    rig.protocol.SetDeliveredDone();
  });
  for (DWORD spins = 0;; ++spins) {
    if (rig.protocol.GetState() == CFrameProtocol::kReady) rig.protocol.Pump();
    rig.protocol.OnLinkData(1);
    if (spins % 4096 == 0 && rig.protocol.IsAllDelivered()) break;
    if (rig.protocol.GetState() == CFrameProtocol::kReady) std::this_thread::yield();  // nothing to send yet
  }
  producer.join();
  double s = SecondsSince(t0);
  *memAfter = PrivateMb();
  DWORD written = 0;
  rig.protocol.GetFifoLevel(&written, nullptr);
  *fileMb = written * double(kFifoSlotSize) / 1e6;
  return frames / s;
}

// Push and pop of 134-byte items in runs of 64: items/s each way.
double FifoRate(const CString& folder, DWORD items) {
  CFiFoSpace fifo;
  if (!fifo.Open(folder, kFifoFirstSize, kFifoSlotSize)) return 0;
  BYTE item[134];
  memset(item, 7, sizeof(item));
  BYTE out[DEVICE_FRAME_MEMORY_SIZE];
  auto t0 = Clock::now();
  for (DWORD done = 0; done < items; done += 64) {
    for (int i = 0; i < 64; ++i) fifo.Push(item, sizeof(item));
    fifo.MarkEnd();
    for (int i = 0; i < 64; ++i) fifo.Pop(out, sizeof(out));
  }
  double s = SecondsSince(t0);
  fifo.Reset();
  return items / s;
}

// The least work per frame: build, seal, copy out, one answer byte.
double Ceiling(DWORD frames) {
  BYTE data[128];
  memset(data, 0x41, sizeof(data));
  BYTE wire[DEVICE_FRAME_MEMORY_SIZE];
  volatile BYTE answer = 0;
  auto t0 = Clock::now();
  for (DWORD i = 0; i < frames; ++i) {
    DeviceFrame f;
    f.Clear();
    f.SetSync(5);
    f.SetAckMark(kFrameMarkData, 5);
    f.PutData(0, data, sizeof(data), 5);
    f.SetPackNo((BYTE)i, 5);
    f.UpdateChecksum(5);
    memcpy(wire, f.m_bytes, f.GetFrameSize(5));
    answer = (BYTE)(answer + wire[kV5SumOffset]);
  }
  return frames / SecondsSince(t0);
}

void Row(const char* what, double rate, double ceiling, const char* unit = "frames/s") {
  printf("  %-46s %12.0f %s", what, rate, unit);
  if (ceiling > 0) printf("   %5.1f%% of the ceiling", 100.0 * rate / ceiling);
  printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  DWORD frames = argc > 1 ? (DWORD)strtoul(argv[1], nullptr, 10) : 1000000;
  DWORD longRun = argc > 2 ? (DWORD)strtoul(argv[2], nullptr, 10) : 10000000;
  if (frames == 0) frames = 1000000;
  CString folder = "protocol_bench.tmp\\";
  g_strAppFolder = folder;  // logs stay off: no "Parameters.ini" there

  printf("protocol bench: %lu frames per figure; the link answers every frame at once\n", (unsigned long)frames);
#if defined(CORVANE_HOST) && defined(CORVANE_BENCH_SANITIZED)
  printf("  (sanitized build: figures are not representative)\n");
#endif
  // The better of two tries: a ceiling taken while the machine was busy is no ceiling.
  double ceiling = std::max(Ceiling(frames), Ceiling(frames));
  Row("ceiling in memory: build, seal, copy out", ceiling, 0);
  double fifoCeiling = std::max(FifoRate(folder, frames), FifoRate(folder, frames));
  Row("ceiling with the file: FIFO push + pop", fifoCeiling, 0);
  double memory = ProtocolSameThread(folder, FALSE, 5, frames);
  Row("protocol 5, memory queue, one thread", memory, ceiling);
  double spilled = ProtocolSameThread(folder, TRUE, 5, frames);
  Row("protocol 5, spill FIFO, one thread", spilled, fifoCeiling);
  double fileMb = 0, memBefore = 0, memAfter = 0;
  double threaded = ProtocolTwoThreads(folder, frames, &fileMb, &memBefore, &memAfter);
  Row("protocol 5, spill FIFO, producer thread", threaded, fifoCeiling);
  Row("protocol 7 (1024-byte frames), spill FIFO", ProtocolSameThread(folder, TRUE, 7, frames / 4), 0);
  double slowest = spilled < memory ? spilled : memory;
  slowest = threaded < slowest ? threaded : slowest;
  printf("  goal 100000 frames/s (protocol 5): %s, slowest %.0f\n", slowest >= 100000 ? "met" : "NOT MET", slowest);

  if (longRun) {
    printf("long run: %lu frames through the spill FIFO from a producer thread\n", (unsigned long)longRun);
    double rate = ProtocolTwoThreads(folder, longRun, &fileMb, &memBefore, &memAfter);
    printf("  %.0f frames/s; spill file %.0f MB; process memory %.1f MB before, %.1f MB after\n", rate, fileMb,
           memBefore, memAfter);
  }
  DeleteFolderTree(folder, FALSE, TRUE);
  return 0;
}
