// The on-disk layout of a Clipper NTX index: the header page and the key
// pages, decoded and encoded byte by byte.  This file owns the format rules
// (sizes, slot layout, range checks); the B-tree logic lives in ntx_index.h.
#ifndef SDE61_NTX_NTX_FORMAT_H
#define SDE61_NTX_NTX_FORMAT_H

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "base/coding.h"
#include "base/status.h"

namespace sde {

// Every NTX page, the header included, is this long; page pointers are byte
// offsets of pages in the file.
constexpr uint32_t kNtxPageSize = 1024;
// Longest key an index may have.
constexpr int kNtxMaxKeySize = 256;
// Longest key and FOR expression texts (without their terminating NUL).
constexpr size_t kNtxMaxExpressionLength = 255;
// Signatures at offset 0: plain index, index with a FOR condition.
constexpr uint16_t kNtxSignature = 0x0006;
constexpr uint16_t kNtxSignatureWithFor = 0x0007;
// Byte locked (read or write) around one index operation in shared mode.
constexpr uint64_t kNtxLockOffset = 1000000000ULL;

// Keys per page for a key size: 1022 / (key size + 10) - 1, made even.
int NtxMaxItems(int key_size);

// The header page.
//
// | offset | size | meaning                                              |
// |--------|------|------------------------------------------------------|
// | 0      | 2    | signature: 6, or 7 when a FOR condition follows      |
// | 2      | 2    | version counter, increased on every header write     |
// | 4      | 4    | offset of the root page                              |
// | 8      | 4    | offset of the first free page, 0 when none           |
// | 12     | 2    | item size = key size + 8                             |
// | 14     | 2    | key size                                             |
// | 16     | 2    | key decimals                                         |
// | 18     | 2    | max items per page                                   |
// | 20     | 2    | half page = max items / 2                            |
// | 22     | 256  | key expression, NUL terminated                       |
// | 278    | 1    | unique flag                                          |
// | 280    | 1    | descend flag                                         |
// | 282    | 256  | FOR expression, NUL terminated                       |
// | 538    | 12   | tag name (left empty)                                |
struct NtxHeader {
    uint16_t version = 0;
    uint32_t root = 0;
    uint32_t free_head = 0;
    uint16_t key_size = 0;
    uint16_t decimals = 0;
    uint16_t max_items = 0;
    uint16_t half_page = 0;
    std::string key_expression;
    std::string for_expression;
    bool unique = false;
    bool descend = false;

    uint16_t item_size() const { return uint16_t(key_size + 8); }
};

// Offsets of the header fields that change while an index is in use.
constexpr size_t kNtxHeaderVersionAt = 2;
constexpr size_t kNtxHeaderRootAt = 4;
constexpr size_t kNtxHeaderFreeAt = 8;
// Bytes that hold version, root and free head: what a shared user re-reads.
constexpr size_t kNtxHeaderLiveBytes = 12;

// A header for a new index with the given key; max items and half page follow
// from the key size.
NtxHeader NewNtxHeader(std::string key_expression, std::string for_expression, int key_size,
                       int decimals, bool unique, bool descend);

// Decodes and checks a header page; file_size is the size of the whole file,
// name the file's name for messages.
Result<NtxHeader> DecodeNtxHeader(const uint8_t* page, uint64_t file_size, const std::string& name);
void EncodeNtxHeader(const NtxHeader& header, uint8_t* page);

// True when offset can be a page of a file of file_size bytes: page aligned,
// past the header page, inside the file.
inline bool IsNtxPageOffset(uint64_t offset, uint64_t file_size) {
    return offset >= kNtxPageSize && offset % kNtxPageSize == 0 &&
           offset + kNtxPageSize <= file_size;
}

// A key page, worked on in place.
//
// | offset            | size          | meaning                                  |
// |-------------------|---------------|------------------------------------------|
// | 0                 | 2             | key count n                              |
// | 2                 | 2 x (max + 1) | offsets (inside the page) of item slots  |
// | (max + 2) x 2     | item size each| max + 1 slots: child page (4), record    |
// |                   |               | number (4), key bytes                    |
//
// The first n offsets lead to the keys in order; offset n leads to the slot
// that holds only the rightmost child pointer (its record number and key are
// written as zeros and ignored when read); offsets n+1..max are free slots.
// Item i's child holds the keys before key i.  Every child is 0 in a leaf.
class NtxPage {
  public:
    NtxPage(uint8_t* data, int max_items, int key_size)
        : data_(data), max_items_(max_items), key_size_(key_size) {}

    int count() const { return GetU16(data_); }
    // Asks the processor to fetch the whole page at once: a binary search
    // then waits for one memory access instead of one per probe.
    void Prefetch() const {
        for (size_t line = 0; line < kNtxPageSize; line += 64) __builtin_prefetch(data_ + line);
    }
    bool is_leaf() const { return child(0) == 0; }
    bool is_full() const { return count() >= max_items_; }

    // Item i (0..count; count is the rightmost-child slot).
    uint32_t child(int i) const { return GetU32(slot(i)); }
    uint32_t recno(int i) const { return GetU32(slot(i) + 4); }
    const uint8_t* key(int i) const { return slot(i) + 8; }
    std::string_view key_view(int i) const {
        return std::string_view(reinterpret_cast<const char*>(key(i)), size_t(key_size_));
    }

    void set_child(int i, uint32_t child) { PutU32(slot(i), child); }
    // Replaces record number and key of item i, keeping its child.
    void set_entry(int i, uint32_t recno, const uint8_t* key) {
        PutU32(slot(i) + 4, recno);
        std::memmove(slot(i) + 8, key, size_t(key_size_));
    }

    // An empty page: no keys, offsets in slot order, all slots zero.
    void Init();
    // Puts a new item at position i (0..count), taking the first free slot
    // and shifting the offsets behind it; the page must not be full.
    void InsertAt(int i, uint32_t child, uint32_t recno, const uint8_t* key);
    // Removes item i (0..count-1): its slot becomes the first free one and
    // the child of item i is dropped (item i+1 keeps its own child).
    void RemoveAt(int i);
    // Zeroes record number and key of the rightmost-child slot.
    void ClearRightSlot();

    // Checks count, offsets and the leaf/branch shape of a page read from
    // disk at page_offset; file_size bounds the child pointers.
    Status Check(uint32_t page_offset, uint64_t file_size, const std::string& name) const;

  private:
    int slot_offset(int i) const { return GetU16(data_ + 2 + 2 * i); }
    uint8_t* slot(int i) const { return data_ + slot_offset(i); }

    uint8_t* data_;
    int max_items_;
    int key_size_;
};

}  // namespace sde

#endif  // SDE61_NTX_NTX_FORMAT_H
