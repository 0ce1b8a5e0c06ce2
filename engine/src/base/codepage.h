// Translation of table text between the Windows code page 1252 ("ANSI", what
// callers of the engine hand over and receive) and the DOS code page 850
// ("OEM", what tables store when OEM translation is on).  Characters without
// a counterpart in the other code page become "?".
#ifndef SDE61_BASE_CODEPAGE_H
#define SDE61_BASE_CODEPAGE_H

#include <cstddef>
#include <cstdint>

namespace sde {

uint8_t AnsiToOem(uint8_t c);
uint8_t OemToAnsi(uint8_t c);
void AnsiToOemInPlace(uint8_t* text, size_t n);
void OemToAnsiInPlace(uint8_t* text, size_t n);

}  // namespace sde

#endif  // SDE61_BASE_CODEPAGE_H
