#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/checksum.h"
#include "platform/bytes.h"
#include "platform/testing/test_support.h"

namespace {

constexpr char kCheck[] = "123456789";  // the catalogue's check input

std::string Hex(const BYTE* p, size_t n) {
  std::string s;
  char b[3];
  for (size_t i = 0; i < n; ++i) {
    snprintf(b, sizeof b, "%02x", p[i]);
    s += b;
  }
  return s;
}

std::vector<BYTE> Pattern(size_t n) {
  std::vector<BYTE> v(n);
  DWORD x = 12345;
  for (auto& b : v) {
    x = x * 1103515245u + 12345u;
    b = static_cast<BYTE>(x >> 16);
  }
  return v;
}

// Bit-at-a-time reflected CRC, to check the byte tables against.
DWORD BitwiseReflected(DWORD reg, DWORD poly, const BYTE* p, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    reg ^= p[i];
    for (int k = 0; k < 8; ++k) reg = (reg & 1) ? (reg >> 1) ^ poly : reg >> 1;
  }
  return reg;
}

TEST(Crc, CheckValues) {
  EXPECT_EQ(Crc16Arc(kCheck, 9), 0xBB3D);
  EXPECT_EQ(Crc16Arc(kCheck, 0), 0);
  // CRC-16/X-25 of the check input is 0x906E; this variant gives it byte-swapped.
  EXPECT_EQ(Crc16X25(0xFFFF, kCheck, 9), 0x6E90);
  EXPECT_EQ(Crc32Update(0xFFFFFFFFu, kCheck, 9) ^ 0xFFFFFFFFu, 0xCBF43926u);
  EXPECT_EQ(Crc32Update(0xFFFFFFFFu, kCheck, 0), 0xFFFFFFFFu);
}

// Beyond 65535 bytes every byte still counts: the tables agree with the bit-wise loop
// over a long buffer, and CRC-32 continues across any split.
TEST(Crc, TablesMatchBitwiseLoopOverLongBuffers) {
  const auto data = Pattern(70001);
  for (size_t n : {size_t(1), size_t(255), size_t(65535), size_t(65536), data.size()}) {
    SCOPED_TRACE(n);
    EXPECT_EQ(Crc16Arc(data.data(), n), BitwiseReflected(0, 0xA001, data.data(), n));
    WORD x25 = static_cast<WORD>(BitwiseReflected(0x1D0F, 0x8408, data.data(), n));
    EXPECT_EQ(Crc16X25(0x1D0F, data.data(), n), static_cast<WORD>(~((x25 << 8) | (x25 >> 8))));
    EXPECT_EQ(Crc32Update(0x12345678u, data.data(), n), BitwiseReflected(0x12345678u, 0xEDB88320u, data.data(), n));
  }
  DWORD whole = Crc32Update(0xFFFFFFFFu, data.data(), data.size());
  DWORD split = Crc32Update(Crc32Update(0xFFFFFFFFu, data.data(), 40000), data.data() + 40000, data.size() - 40000);
  EXPECT_EQ(whole, split);
}

TEST(Crc, AppendStoresCrcAndGivesResidue) {
  const auto pattern = Pattern(300);
  for (size_t n : {size_t(0), size_t(1), size_t(9), size_t(300)}) {
    SCOPED_TRACE(n);
    std::vector<BYTE> buf(pattern.begin(), pattern.begin() + n);
    if (n == 9) memcpy(buf.data(), kCheck, 9);
    buf.resize(n + 4, 0xEE);
    EXPECT_EQ(Crc32Append(buf.data(), n), kCrc32Residue);
    DWORD stored = bytes::Load32(buf.data() + n);
    EXPECT_EQ(stored, Crc32Update(0xFFFFFFFFu, buf.data(), n) ^ 0xFFFFFFFFu);
    EXPECT_EQ(Crc32Update(0xFFFFFFFFu, buf.data(), n + 4), kCrc32Residue);
    if (n == 9) {
      EXPECT_EQ(stored, 0xCBF43926u);
    }
    buf[0] ^= 1;  // a damaged byte no longer gives the residue
    EXPECT_NE(Crc32Update(0xFFFFFFFFu, buf.data(), n + 4), kCrc32Residue);
  }
}

// RFC 1321 test suite.
TEST(Md5, ReferenceSuite) {
  const struct {
    const char* text;
    const char* digest;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& c : cases) {
    Md5Context ctx;
    Md5Init(&ctx);
    Md5Update(&ctx, c.text, strlen(c.text));
    BYTE digest[16];
    Md5Final(digest, &ctx);
    EXPECT_EQ(Hex(digest, 16), c.digest) << '"' << c.text << '"';
  }
}

TEST(Md5, AnySplitGivesTheSameDigestAndFinalWipesTheContext) {
  const auto data = Pattern(1000);
  Md5Context ctx;
  Md5Init(&ctx);
  Md5Update(&ctx, data.data(), data.size());
  BYTE whole[16];
  Md5Final(whole, &ctx);
  const BYTE zeros[sizeof ctx] = {};
  EXPECT_EQ(memcmp(&ctx, zeros, sizeof ctx), 0);

  for (size_t step : {1, 3, 55, 63, 64, 65, 127}) {
    Md5Init(&ctx);
    for (size_t pos = 0; pos < data.size(); pos += step)
      Md5Update(&ctx, data.data() + pos, std::min(step, data.size() - pos));
    BYTE split[16];
    Md5Final(split, &ctx);
    EXPECT_EQ(Hex(split, 16), Hex(whole, 16)) << "updates of " << step;
  }
}

TEST(Md5, BitCountCarriesIntoHighWord) {
  Md5Context ctx;
  Md5Init(&ctx);
  ctx.count[0] = 0xFFFFFFF8u;  // 2^29 - 1 bytes seen
  Md5Update(&ctx, "ab", 2);
  EXPECT_EQ(ctx.count[0], 8u);
  EXPECT_EQ(ctx.count[1], 1u);
}

TEST(Md5, EncodeDecodeAreLittleEndian) {
  const DWORD words[2] = {0x04030201u, 0xDDCCBBAAu};
  BYTE bytes[8];
  Md5Encode(bytes, words, 8);
  EXPECT_EQ(Hex(bytes, 8), "01020304aabbccdd");
  DWORD back[2];
  Md5Decode(back, bytes, 8);
  EXPECT_EQ(back[0], words[0]);
  EXPECT_EQ(back[1], words[1]);
}

TEST(Md5, HexOfFile) {
  testing_support::TempDir dir;
  ASSERT_TRUE(testing_support::WriteFileBytes(dir / "empty.bin", ""));
  ASSERT_TRUE(testing_support::WriteFileBytes(dir / "abc.bin", "abc"));
  std::string big(200000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = char(i * 7);
  ASSERT_TRUE(testing_support::WriteFileBytes(dir / "big.bin", big));
  Md5Context ctx;
  Md5Init(&ctx);
  Md5Update(&ctx, big.data(), big.size());
  BYTE digest[16];
  Md5Final(digest, &ctx);
  CString bigHex = Hex(digest, 16).c_str();
  bigHex.MakeUpper();

  EXPECT_STREQ(Md5HexOfFile(dir / "empty.bin"), "D41D8CD98F00B204E9800998ECF8427E");
  EXPECT_STREQ(Md5HexOfFile(dir / "abc.bin"), "900150983CD24FB0D6963F7D28E17F72");
  EXPECT_STREQ(Md5HexOfFile(dir / "big.bin"), bigHex);
  EXPECT_STREQ(Md5HexOfFile(dir / "missing.bin"), "");
  EXPECT_STREQ(Md5HexOfFile(dir.Path()), "");  // a folder
  EXPECT_STREQ(Md5HexOfFile(""), "");
  EXPECT_STREQ(Md5HexOfFile(nullptr), "");
}

// Golden digests of the little-endian SHA-1 variant, made with an independent script
// that reproduces the published SHA-1 when switched to big-endian words.
TEST(Sha1Variant, GoldenDigests) {
  const struct {
    std::string data;
    const char* digest;
  } cases[] = {
      {"", "1ef84498ecf608147d1332b9cfd7be33a318f5dc"},
      {"abc", "3c15c2d697b44d24e3472b1773b8b636adf9ab5d"},
      {std::string(55, 'a'), "3fda901be93b398667a2fe9f6d350fc176d416c1"},  // padding fits
      {std::string(56, 'a'), "c6f1b86506ab4134a08ba3d77e8b76a473d5ae2a"},  // one more block
      {std::string(64, 'a'), "5115db5644e8b2dc8221125a9845418a4c38e307"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "d705c7e37e5613816971b6429b31f0bdb9253ed1"},
  };
  for (const auto& c : cases) {
    Sha1Context ctx;
    Sha1Init(&ctx);
    Sha1Update(&ctx, c.data.data(), c.data.size());
    BYTE digest[20];
    Sha1Final(&ctx, digest);
    EXPECT_EQ(Hex(digest, 20), c.digest) << c.data.size() << " bytes";
  }
}

TEST(Sha1Variant, SplitUpdatesAndReuseAfterFinal) {
  std::string data;
  for (int i = 0; i < 4; ++i)
    for (int b = 0; b < 256; ++b) data += char(b);
  data += "xyz";
  const char* expected = "5f8a688f74fec2f613afb69629112cb2fcfa8432";
  Sha1Context ctx;
  Sha1Init(&ctx);
  for (size_t pos = 0; pos < data.size(); pos += 37)
    Sha1Update(&ctx, data.data() + pos, std::min<size_t>(37, data.size() - pos));
  BYTE digest[20];
  Sha1Final(&ctx, digest);
  EXPECT_EQ(Hex(digest, 20), expected);
  // The final leaves a fresh context behind.
  Sha1Update(&ctx, data.data(), data.size());
  Sha1Final(&ctx, digest);
  EXPECT_EQ(Hex(digest, 20), expected);
}

}  // namespace
