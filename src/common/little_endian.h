// Little-endian reading of the integers in the files this library reads
// itself (ZIP archives, the library's own ELF headers).  Bytes are combined
// one by one, so neither the host's byte order nor alignment matters.
#ifndef ZER1_COMMON_LITTLE_ENDIAN_H
#define ZER1_COMMON_LITTLE_ENDIAN_H

#include <cstdint>

namespace zer1 {

inline uint16_t GetU16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

inline uint32_t GetU32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
           (uint32_t(p[3]) << 24);
}

inline uint64_t GetU64(const uint8_t* p) {
    return uint64_t(GetU32(p)) | (uint64_t(GetU32(p + 4)) << 32);
}

}  // namespace zer1

#endif  // ZER1_COMMON_LITTLE_ENDIAN_H
