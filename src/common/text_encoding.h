// Text encoding: conversion between the library's inner text (UTF-8) and the
// 8-bit code pages found in tables and wholesaler files (Windows-1252,
// code page 850, code page 437 for ZIP member names) and UTF-16LE member
// files.  Characters a target code page cannot hold become "?"; malformed
// input sequences become U+FFFD (and so "?" in an 8-bit code page).
#ifndef ZER1_COMMON_TEXT_ENCODING_H
#define ZER1_COMMON_TEXT_ENCODING_H

#include <cstddef>
#include <string>
#include <string_view>

namespace zer1 {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Appends the UTF-8 form of `code_point` (U+FFFD for a surrogate or a value
// beyond U+10FFFF).
void AppendUtf8(std::string& out, char32_t code_point);

// Decodes the code point starting at `pos` and advances `pos` past it.  A
// malformed or truncated sequence (overlong forms and surrogates included)
// yields U+FFFD and advances by one byte.  `pos` must be < text.size().
char32_t NextCodePoint(std::string_view text, std::size_t& pos);

// Number of code points in a UTF-8 text (each malformed byte counts as one).
std::size_t CodePointCount(std::string_view text);

// True when `text` is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

std::string Windows1252ToUtf8(std::string_view bytes);
std::string Utf8ToWindows1252(std::string_view text);

std::string Cp850ToUtf8(std::string_view bytes);
std::string Utf8ToCp850(std::string_view text);

std::string Cp437ToUtf8(std::string_view bytes);

// Decodes little-endian UTF-16, surrogate pairs included.  An unpaired
// surrogate or a dangling last byte becomes U+FFFD.  A byte-order mark is
// decoded like any other character (U+FEFF); callers that do not want it
// strip it first.
std::string Utf16LeToUtf8(std::string_view bytes);
// The same into `out`, replacing what it held and keeping its storage.
void Utf16LeToUtf8(std::string_view bytes, std::string& out);

// Decodes little-endian UTF-16 like Utf16LeToUtf8 and puts the text into
// `out` (replacing what it held) in Windows-1252 at once: the same bytes as
// Utf8ToWindows1252(Utf16LeToUtf8(bytes)), one byte per character ("?" for
// a character the code page lacks and for every broken unit), without the
// UTF-8 text in between.  `out` keeps its capacity, so a caller decoding
// line after line into the same string allocates nothing.
void Utf16LeToWindows1252(std::string_view bytes, std::string& out);

}  // namespace zer1

#endif  // ZER1_COMMON_TEXT_ENCODING_H
