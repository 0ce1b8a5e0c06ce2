// Little-endian reading and writing of the integers stored in DBF, DBT and NTX
// files.  Every on-disk integer goes through these helpers; no struct is ever
// laid over a file buffer.
#ifndef SDE61_BASE_CODING_H
#define SDE61_BASE_CODING_H

#include <cstdint>

namespace sde {

inline uint16_t GetU16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t GetU32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
           (uint32_t(p[3]) << 24);
}
inline uint64_t GetU64(const uint8_t* p) {
    return uint64_t(GetU32(p)) | (uint64_t(GetU32(p + 4)) << 32);
}
inline void PutU16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void PutU32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
inline void PutU64(uint8_t* p, uint64_t v) {
    PutU32(p, uint32_t(v));
    PutU32(p + 4, uint32_t(v >> 32));
}

}  // namespace sde

#endif  // SDE61_BASE_CODING_H
