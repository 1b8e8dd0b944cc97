// Little-endian loads and stores of the fixed-width fields of records on disk and on
// the wire. Byte by byte, so they work at any alignment and on any host; compilers
// turn them into single moves on x86.
#pragma once

#include <cstdint>
#include <cstring>

namespace bytes {

inline uint16_t Load16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Load32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint64_t Load64(const uint8_t* p) { return uint64_t(Load32(p)) | (uint64_t(Load32(p + 4)) << 32); }
inline double LoadDouble(const uint8_t* p) {
  uint64_t bits = Load64(p);
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

inline void Store16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void Store32(uint8_t* p, uint32_t v) {
  Store16(p, uint16_t(v));
  Store16(p + 2, uint16_t(v >> 16));
}
inline void Store64(uint8_t* p, uint64_t v) {
  Store32(p, uint32_t(v));
  Store32(p + 4, uint32_t(v >> 32));
}
inline void StoreDouble(uint8_t* p, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  Store64(p, bits);
}

}  // namespace bytes
