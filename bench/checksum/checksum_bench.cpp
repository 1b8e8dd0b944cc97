// Throughput of the checksums and digests, in MB/s (10^6 bytes per second).
//
//   checksum_bench [file] [megabytes]
//
// Without a file, megabytes (default 64) of pseudo-random bytes are written to a file in
// the current folder and removed at the end. Each in-memory figure runs for about a
// second; Md5HexOfFile is timed whole (open, read, digest). In the host build the same
// file also goes through md5sum and Python's zlib.crc32 as whole processes, and their
// results are checked against ours.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "foundation/checksum.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// Runs fn over the buffer until a second has passed; returns MB/s.
double Throughput(const std::vector<BYTE>& data, const std::function<void()>& fn) {
  int passes = 0;
  auto t0 = Clock::now();
  double s = 0;
  do {
    fn();
    ++passes;
    s = SecondsSince(t0);
  } while (s < 1.0);
  return double(data.size()) * passes / s / 1e6;
}

std::string ReadWhole(const char* path) {
  std::string out;
  FILE* f = fopen(platform::NativePath(path).c_str(), "rb");
  if (!f) return out;
  char buf[1 << 16];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  fclose(f);
  return out;
}

#ifdef CORVANE_HOST
// Runs a command, returns its first output line and the wall time it took.
std::string TimeCommand(const std::string& cmd, double* seconds) {
  auto t0 = Clock::now();
  std::string line;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[256];
    if (fgets(buf, sizeof buf, p)) line = buf;
    while (fgets(buf, sizeof buf, p)) {
    }
    if (pclose(p) != 0) line.clear();
  }
  *seconds = SecondsSince(t0);
  return line;
}
#endif

void Row(const char* what, double mb_s, const char* note = "") { printf("  %-34s %9.1f MB/s  %s\n", what, mb_s, note); }

}  // namespace

int main(int argc, char** argv) {
  const char* file = argc > 1 && strcmp(argv[1], "-") != 0 ? argv[1] : nullptr;
  const size_t mb = argc > 2 ? size_t(atoi(argv[2])) : 64;
  std::string path = file ? file : "checksum_bench.data";

  std::vector<BYTE> data;
  if (file) {
    std::string bytes = ReadWhole(file);
    if (bytes.empty()) {
      fprintf(stderr, "cannot read %s\n", file);
      return 1;
    }
    data.assign(bytes.begin(), bytes.end());
  } else {
    data.resize(mb * 1000000);
    DWORD x = 2463534242u;
    for (auto& b : data) {
      x ^= x << 13;
      x ^= x >> 17;
      x ^= x << 5;
      b = BYTE(x);
    }
    FILE* f = fopen(platform::NativePath(path.c_str()).c_str(), "wb");
    if (!f || fwrite(data.data(), 1, data.size(), f) != data.size()) {
      fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    fclose(f);
  }

  printf("checksum bench: %.1f MB from %s\n", data.size() / 1e6, file ? file : "generated data");
#if defined(CORVANE_HOST) && defined(CORVANE_BENCH_SANITIZED)
  printf("  (sanitized build: figures are not representative; see bench/checksum/run.sh)\n");
#endif

  volatile DWORD sink = 0;
  DWORD crc32 = 0;
  BYTE md5[16];
  Row("Crc16Arc", Throughput(data, [&] { sink = sink + Crc16Arc(data.data(), data.size()); }));
  Row("Crc16X25", Throughput(data, [&] { sink = sink + Crc16X25(0xFFFF, data.data(), data.size()); }));
  Row("Crc32Update", Throughput(data, [&] { crc32 = ~Crc32Update(0xFFFFFFFFu, data.data(), data.size()); }));
  Row("MD5 (one update)", Throughput(data, [&] {
        Md5Context ctx;
        Md5Init(&ctx);
        Md5Update(&ctx, data.data(), data.size());
        Md5Final(md5, &ctx);
      }));
  Row("SHA-1 variant", Throughput(data, [&] {
        Sha1Context ctx;
        BYTE d[20];
        Sha1Init(&ctx);
        Sha1Update(&ctx, data.data(), data.size());
        Sha1Final(&ctx, d);
        sink = sink + d[0];
      }));

  auto t0 = Clock::now();
  CString hex = Md5HexOfFile(path.c_str());
  double fileSeconds = SecondsSince(t0);
  Row("Md5HexOfFile (open, read, digest)", data.size() / fileSeconds / 1e6, hex);

#ifdef CORVANE_HOST
  char ours[33];
  for (int i = 0; i < 16; ++i) snprintf(ours + 2 * i, 3, "%02x", md5[i]);
  double s = 0;
  std::string line = TimeCommand("md5sum '" + path + "'", &s);
  if (line.empty()) {
    printf("  md5sum: not at hand\n");
  } else {
    Row("md5sum (whole process)", data.size() / s / 1e6,
        line.compare(0, 32, ours) == 0 ? "same digest" : "DIGEST DIFFERS");
  }
  line = TimeCommand("python3 -c \"import sys,zlib; print(zlib.crc32(open(sys.argv[1],'rb').read()))\" '" + path + "'",
                     &s);
  if (line.empty()) {
    printf("  python3 zlib.crc32: not at hand\n");
  } else {
    bool same = strtoul(line.c_str(), nullptr, 10) == crc32;
    Row("python3 zlib.crc32 (whole process)", data.size() / s / 1e6, same ? "same CRC-32" : "CRC-32 DIFFERS");
  }
#else
  printf("  md5sum and zlib run beside the host build only (bench/checksum/run.sh)\n");
#endif

  if (!file) remove(platform::NativePath(path.c_str()).c_str());
  return int(sink & 0);
}
