#include "foundation/checksum.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "platform/bytes.h"

namespace {

// The standard byte tables of the three reflected polynomials, built at compile time.
template <typename T, T kPoly>
constexpr std::array<T, 256> MakeReflectedTable() {
  std::array<T, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    T reg = static_cast<T>(i);
    for (int bit = 0; bit < 8; ++bit) reg = (reg & 1) ? static_cast<T>((reg >> 1) ^ kPoly) : static_cast<T>(reg >> 1);
    table[i] = reg;
  }
  return table;
}

constexpr auto kCrc16ArcTable = MakeReflectedTable<WORD, 0xA001>();
constexpr auto kCrc16CcittTable = MakeReflectedTable<WORD, 0x8408>();
constexpr auto kCrc32Table = MakeReflectedTable<DWORD, 0xEDB88320u>();
static_assert(kCrc16ArcTable[1] == 0xC0C1 && kCrc16CcittTable[1] == 0x1189 && kCrc32Table[1] == 0x77073096u,
              "standard CRC tables");

template <typename T, size_t N>
T RunReflected(const std::array<T, N>& table, T reg, const void* data, size_t count) {
  const BYTE* p = static_cast<const BYTE*>(data);
  for (size_t i = 0; i < count; ++i) reg = static_cast<T>((reg >> 8) ^ table[(reg ^ p[i]) & 0xFF]);
  return reg;
}

inline DWORD Rotl(DWORD x, int n) { return (x << n) | (x >> (32 - n)); }

}  // namespace

WORD Crc16Arc(const void* data, size_t count) { return RunReflected<WORD>(kCrc16ArcTable, 0, data, count); }

WORD Crc16X25(WORD initial, const void* data, size_t count) {
  WORD reg = RunReflected<WORD>(kCrc16CcittTable, initial, data, count);
  return static_cast<WORD>(~((reg << 8) | (reg >> 8)));
}

DWORD Crc32Update(DWORD reg, const void* data, size_t count) {
  return RunReflected<DWORD>(kCrc32Table, reg, data, count);
}

DWORD Crc32Append(BYTE* data, size_t n) {
  DWORD crc = ~Crc32Update(0xFFFFFFFFu, data, n);
  for (int i = 0; i < 4; ++i) data[n + i] = static_cast<BYTE>(crc >> (8 * i));
  return Crc32Update(0xFFFFFFFFu, data, n + 4);
}

// ---------------------------------------------------------------------------------------
// MD5, RFC 1321

namespace {

// The four round functions.
inline DWORD F(DWORD x, DWORD y, DWORD z) { return (x & y) | (~x & z); }
inline DWORD G(DWORD x, DWORD y, DWORD z) { return (x & z) | (y & ~z); }
inline DWORD H(DWORD x, DWORD y, DWORD z) { return x ^ y ^ z; }
inline DWORD I(DWORD x, DWORD y, DWORD z) { return y ^ (x | ~z); }

// a = b + ((a + f(b, c, d) + x + t) <<< s)
template <DWORD (*f)(DWORD, DWORD, DWORD)>
inline void Step(DWORD& a, DWORD b, DWORD c, DWORD d, DWORD x, int s, DWORD t) {
  a = b + Rotl(a + f(b, c, d) + x + t, s);
}

constexpr BYTE kMd5Padding[64] = {0x80};

}  // namespace

void Md5Encode(BYTE* out, const DWORD* in, size_t count) {
  for (size_t i = 0, j = 0; j < count; ++i, j += 4) bytes::Store32(out + j, in[i]);
}

void Md5Decode(DWORD* out, const BYTE* in, size_t count) {
  for (size_t i = 0, j = 0; j < count; ++i, j += 4) out[i] = bytes::Load32(in + j);
}

// Written out step by step: a loop with the round chosen inside runs at half the speed.
void Md5Transform(DWORD state[4], const BYTE block[64]) {
  DWORD x[16];
  Md5Decode(x, block, 64);
  DWORD a = state[0], b = state[1], c = state[2], d = state[3];
  // Round 1
  Step<F>(a, b, c, d, x[0], 7, 0xd76aa478);
  Step<F>(d, a, b, c, x[1], 12, 0xe8c7b756);
  Step<F>(c, d, a, b, x[2], 17, 0x242070db);
  Step<F>(b, c, d, a, x[3], 22, 0xc1bdceee);
  Step<F>(a, b, c, d, x[4], 7, 0xf57c0faf);
  Step<F>(d, a, b, c, x[5], 12, 0x4787c62a);
  Step<F>(c, d, a, b, x[6], 17, 0xa8304613);
  Step<F>(b, c, d, a, x[7], 22, 0xfd469501);
  Step<F>(a, b, c, d, x[8], 7, 0x698098d8);
  Step<F>(d, a, b, c, x[9], 12, 0x8b44f7af);
  Step<F>(c, d, a, b, x[10], 17, 0xffff5bb1);
  Step<F>(b, c, d, a, x[11], 22, 0x895cd7be);
  Step<F>(a, b, c, d, x[12], 7, 0x6b901122);
  Step<F>(d, a, b, c, x[13], 12, 0xfd987193);
  Step<F>(c, d, a, b, x[14], 17, 0xa679438e);
  Step<F>(b, c, d, a, x[15], 22, 0x49b40821);
  // Round 2
  Step<G>(a, b, c, d, x[1], 5, 0xf61e2562);
  Step<G>(d, a, b, c, x[6], 9, 0xc040b340);
  Step<G>(c, d, a, b, x[11], 14, 0x265e5a51);
  Step<G>(b, c, d, a, x[0], 20, 0xe9b6c7aa);
  Step<G>(a, b, c, d, x[5], 5, 0xd62f105d);
  Step<G>(d, a, b, c, x[10], 9, 0x02441453);
  Step<G>(c, d, a, b, x[15], 14, 0xd8a1e681);
  Step<G>(b, c, d, a, x[4], 20, 0xe7d3fbc8);
  Step<G>(a, b, c, d, x[9], 5, 0x21e1cde6);
  Step<G>(d, a, b, c, x[14], 9, 0xc33707d6);
  Step<G>(c, d, a, b, x[3], 14, 0xf4d50d87);
  Step<G>(b, c, d, a, x[8], 20, 0x455a14ed);
  Step<G>(a, b, c, d, x[13], 5, 0xa9e3e905);
  Step<G>(d, a, b, c, x[2], 9, 0xfcefa3f8);
  Step<G>(c, d, a, b, x[7], 14, 0x676f02d9);
  Step<G>(b, c, d, a, x[12], 20, 0x8d2a4c8a);
  // Round 3
  Step<H>(a, b, c, d, x[5], 4, 0xfffa3942);
  Step<H>(d, a, b, c, x[8], 11, 0x8771f681);
  Step<H>(c, d, a, b, x[11], 16, 0x6d9d6122);
  Step<H>(b, c, d, a, x[14], 23, 0xfde5380c);
  Step<H>(a, b, c, d, x[1], 4, 0xa4beea44);
  Step<H>(d, a, b, c, x[4], 11, 0x4bdecfa9);
  Step<H>(c, d, a, b, x[7], 16, 0xf6bb4b60);
  Step<H>(b, c, d, a, x[10], 23, 0xbebfbc70);
  Step<H>(a, b, c, d, x[13], 4, 0x289b7ec6);
  Step<H>(d, a, b, c, x[0], 11, 0xeaa127fa);
  Step<H>(c, d, a, b, x[3], 16, 0xd4ef3085);
  Step<H>(b, c, d, a, x[6], 23, 0x04881d05);
  Step<H>(a, b, c, d, x[9], 4, 0xd9d4d039);
  Step<H>(d, a, b, c, x[12], 11, 0xe6db99e5);
  Step<H>(c, d, a, b, x[15], 16, 0x1fa27cf8);
  Step<H>(b, c, d, a, x[2], 23, 0xc4ac5665);
  // Round 4
  Step<I>(a, b, c, d, x[0], 6, 0xf4292244);
  Step<I>(d, a, b, c, x[7], 10, 0x432aff97);
  Step<I>(c, d, a, b, x[14], 15, 0xab9423a7);
  Step<I>(b, c, d, a, x[5], 21, 0xfc93a039);
  Step<I>(a, b, c, d, x[12], 6, 0x655b59c3);
  Step<I>(d, a, b, c, x[3], 10, 0x8f0ccc92);
  Step<I>(c, d, a, b, x[10], 15, 0xffeff47d);
  Step<I>(b, c, d, a, x[1], 21, 0x85845dd1);
  Step<I>(a, b, c, d, x[8], 6, 0x6fa87e4f);
  Step<I>(d, a, b, c, x[15], 10, 0xfe2ce6e0);
  Step<I>(c, d, a, b, x[6], 15, 0xa3014314);
  Step<I>(b, c, d, a, x[13], 21, 0x4e0811a1);
  Step<I>(a, b, c, d, x[4], 6, 0xf7537e82);
  Step<I>(d, a, b, c, x[11], 10, 0xbd3af235);
  Step<I>(c, d, a, b, x[2], 15, 0x2ad7d2bb);
  Step<I>(b, c, d, a, x[9], 21, 0xeb86d391);
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
}

void Md5Init(Md5Context* ctx) {
  ctx->count[0] = ctx->count[1] = 0;
  ctx->state[0] = 0x67452301;
  ctx->state[1] = 0xefcdab89;
  ctx->state[2] = 0x98badcfe;
  ctx->state[3] = 0x10325476;
}

void Md5Update(Md5Context* ctx, const void* data, size_t count) {
  const BYTE* in = static_cast<const BYTE*>(data);
  size_t index = (ctx->count[0] >> 3) & 0x3F;
  // The bit count is the message length modulo 2^64, carried into the high word.
  ULONGLONG bits = (ULONGLONG(ctx->count[1]) << 32 | ctx->count[0]) + ULONGLONG(count) * 8;
  ctx->count[0] = static_cast<DWORD>(bits);
  ctx->count[1] = static_cast<DWORD>(bits >> 32);

  size_t partLen = 64 - index;
  size_t i = 0;
  if (count >= partLen) {
    memcpy(&ctx->buffer[index], in, partLen);
    Md5Transform(ctx->state, ctx->buffer);
    for (i = partLen; i + 63 < count; i += 64) Md5Transform(ctx->state, &in[i]);
    index = 0;
  }
  if (count > i) memcpy(&ctx->buffer[index], &in[i], count - i);
}

void Md5Final(BYTE digest[16], Md5Context* ctx) {
  BYTE bits[8];
  Md5Encode(bits, ctx->count, 8);
  size_t index = (ctx->count[0] >> 3) & 0x3F;
  size_t padLen = (index < 56) ? (56 - index) : (120 - index);
  Md5Update(ctx, kMd5Padding, padLen);
  Md5Update(ctx, bits, 8);
  Md5Encode(digest, ctx->state, 16);
  memset(ctx, 0, sizeof *ctx);
}

CString Md5HexOfFile(const char* path) {
  CFile file;
  if (!path || !*path || !file.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary)) return CString();
  try {
    ULONGLONG length = file.GetLength();
    if (length > SIZE_MAX - 100) return CString();
    std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[size_t(length) + 100]);
    if (!block) return CString();
    // Read until the end: the file may be shorter than its length said a moment ago.
    size_t got = 0;
    for (;;) {
      size_t want = size_t(length) + 100 - got;
      UINT n = file.Read(block.get() + got, want > 0x40000000u ? 0x40000000u : UINT(want));
      if (n == 0) break;
      got += n;
      if (got == size_t(length) + 100) break;
    }
    Md5Context ctx;
    Md5Init(&ctx);
    Md5Update(&ctx, block.get(), got);
    BYTE digest[16];
    Md5Final(digest, &ctx);
    CString hex;
    for (BYTE b : digest) hex.AppendFormat("%02X", b);
    return hex;
  } catch (const CFileException&) {
    return CString();
  }
}

// ---------------------------------------------------------------------------------------
// SHA-1 rounds, little-endian words

namespace {

void Sha1Transform(DWORD state[5], const BYTE block[64]) {
  DWORD w[80];
  for (int i = 0; i < 16; ++i) w[i] = bytes::Load32(block + 4 * i);
  for (int i = 16; i < 80; ++i) w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
  DWORD a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
  for (int i = 0; i < 80; ++i) {
    DWORD f, k;
    if (i < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999;
    } else if (i < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1;
    } else if (i < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDC;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6;
    }
    DWORD t = Rotl(a, 5) + f + e + k + w[i];
    e = d;
    d = c;
    c = Rotl(b, 30);
    b = a;
    a = t;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
}

void Sha1AddCount(Sha1Context* ctx, DWORD bytes) {
  DWORD low = ctx->count[0] + bytes;
  if (low < ctx->count[0]) ++ctx->count[1];
  ctx->count[0] = low;
}

}  // namespace

void Sha1Init(Sha1Context* ctx) {
  memset(ctx, 0, sizeof *ctx);
  ctx->state[0] = 0x67452301;
  ctx->state[1] = 0xEFCDAB89;
  ctx->state[2] = 0x98BADCFE;
  ctx->state[3] = 0x10325476;
  ctx->state[4] = 0xC3D2E1F0;
}

void Sha1Update(Sha1Context* ctx, const void* data, size_t count) {
  const BYTE* in = static_cast<const BYTE*>(data);
  while (count > 0) {
    size_t n = 64 - ctx->nWaiting;
    if (n > count) n = count;
    memcpy(ctx->buffer + ctx->nWaiting, in, n);
    ctx->nWaiting += DWORD(n);
    in += n;
    count -= n;
    if (ctx->nWaiting == 64) {
      Sha1Transform(ctx->state, ctx->buffer);
      Sha1AddCount(ctx, 64);
      ctx->nWaiting = 0;
    }
  }
}

void Sha1Final(Sha1Context* ctx, BYTE digest[20]) {
  Sha1AddCount(ctx, ctx->nWaiting);
  const DWORD bitsHigh = (ctx->count[1] << 3) | (ctx->count[0] >> 29);
  const DWORD bitsLow = ctx->count[0] << 3;

  DWORD n = ctx->nWaiting;
  ctx->buffer[n++] = 0x80;
  if (n > 56) {
    memset(ctx->buffer + n, 0, 64 - n);
    Sha1Transform(ctx->state, ctx->buffer);
    n = 0;
  }
  memset(ctx->buffer + n, 0, 56 - n);
  bytes::Store32(ctx->buffer + 56, bitsHigh);
  bytes::Store32(ctx->buffer + 60, bitsLow);
  Sha1Transform(ctx->state, ctx->buffer);
  for (int i = 0; i < 5; ++i) bytes::Store32(digest + 4 * i, ctx->state[i]);
  Sha1Init(ctx);
}
