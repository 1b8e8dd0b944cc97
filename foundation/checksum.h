// Checksums and digests: CRC-16/ARC, a byte-swapped X-25 CRC-16, CRC-32, MD5 and a
// little-endian SHA-1 variant.
//
// CRC-16/ARC guards every UDP frame and the newer device frames; MD5 keys the body of a
// CAM file and checks downloaded packages. All of them are pure functions over the
// caller's memory, one table step per byte. The counts are size_t: a longer buffer is
// checksummed whole, never cut to a 16-bit count.
#pragma once

#include "platform/core.h"

// CRC-16/ARC (poly 0x8005 reflected, register 0 at start, no final XOR).
WORD Crc16Arc(const void* data, size_t count);

// The reflected CCITT loop (0x8408) from the given register; returns the register with
// its two bytes swapped, then complemented. From 0xFFFF this is CRC-16/X-25 byte-swapped.
WORD Crc16X25(WORD initial, const void* data, size_t count);

// The raw reflected CRC-32 loop (0xEDB88320) with no conditioning: start with
// 0xFFFFFFFF and complement the result for the published CRC-32.
DWORD Crc32Update(DWORD reg, const void* data, size_t count);

// Stores the published CRC-32 of data[0..n) little-endian in data[n..n+4) (the caller
// provides those four bytes) and returns the raw register over all n + 4 bytes: the
// residue kCrc32Residue whenever the stored value is right.
DWORD Crc32Append(BYTE* data, size_t n);
constexpr DWORD kCrc32Residue = 0xDEBB20E3u;

// MD5 (RFC 1321). The context has the reference layout: 88 bytes.
struct Md5Context {
  DWORD state[4];   // A, B, C, D
  DWORD count[2];   // message length in bits, low word first
  BYTE buffer[64];  // bytes of the block being filled
};
static_assert(sizeof(Md5Context) == 88, "MD5 context is 88 bytes");

void Md5Init(Md5Context* ctx);
// Any number of bytes; splitting the input across calls gives the same digest.
void Md5Update(Md5Context* ctx, const void* data, size_t count);
// Writes the 16-byte digest and wipes the context.
void Md5Final(BYTE digest[16], Md5Context* ctx);
void Md5Transform(DWORD state[4], const BYTE block[64]);
// Words <-> little-endian bytes; count is in bytes (a multiple of 4).
void Md5Encode(BYTE* out, const DWORD* in, size_t count);
void Md5Decode(DWORD* out, const BYTE* in, size_t count);

// MD5 of a whole file as 32 upper-case hex digits; empty when the file cannot be opened
// or read, or no memory can be had for it. The file is read in one piece.
CString Md5HexOfFile(const char* path);

// SHA-1 rounds and constants with little-endian words in and out, and the bit length
// stored high word first in machine order. Not the published SHA-1 digest.
struct Sha1Context {
  DWORD nWaiting;  // bytes waiting in buffer, 0..63
  DWORD count[2];  // bytes of the completed blocks, low word first
  DWORD state[5];
  BYTE buffer[64];
};

void Sha1Init(Sha1Context* ctx);
void Sha1Update(Sha1Context* ctx, const void* data, size_t count);
// Writes the 20-byte digest and initialises the context again.
void Sha1Final(Sha1Context* ctx, BYTE digest[20]);
