// Decoding, encoding and checking of NTX header and key pages.
#include "ntx/ntx_format.h"

#include <bitset>

namespace sde {

namespace {

constexpr size_t kKeyExpressionAt = 22;
constexpr size_t kUniqueAt = 278;
constexpr size_t kDescendAt = 280;
constexpr size_t kForExpressionAt = 282;
constexpr size_t kExpressionField = 256;

std::string ReadCString(const uint8_t* p, size_t max) {
    size_t n = 0;
    while (n < max && p[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

}  // namespace

int NtxMaxItems(int key_size) {
    int items = 1022 / (key_size + 10) - 1;
    if (items % 2 != 0) --items;
    return items;
}

NtxHeader NewNtxHeader(std::string key_expression, std::string for_expression, int key_size,
                       int decimals, bool unique, bool descend) {
    NtxHeader h;
    h.key_expression = std::move(key_expression);
    h.for_expression = std::move(for_expression);
    h.key_size = uint16_t(key_size);
    h.decimals = uint16_t(decimals);
    h.max_items = uint16_t(NtxMaxItems(key_size));
    h.half_page = uint16_t(h.max_items / 2);
    h.unique = unique;
    h.descend = descend;
    return h;
}

Result<NtxHeader> DecodeNtxHeader(const uint8_t* page, uint64_t file_size,
                                  const std::string& name) {
    NtxHeader h;
    uint16_t signature = GetU16(page);
    if (signature != kNtxSignature && signature != kNtxSignatureWithFor) {
        return Status::Corruption(name, "unknown signature " + std::to_string(signature));
    }
    h.version = GetU16(page + kNtxHeaderVersionAt);
    h.root = GetU32(page + kNtxHeaderRootAt);
    h.free_head = GetU32(page + kNtxHeaderFreeAt);
    uint16_t item_size = GetU16(page + 12);
    h.key_size = GetU16(page + 14);
    h.decimals = GetU16(page + 16);
    h.max_items = GetU16(page + 18);
    h.half_page = GetU16(page + 20);
    if (h.key_size < 1 || h.key_size > kNtxMaxKeySize) {
        return Status::Corruption(name, "key size " + std::to_string(h.key_size) + " out of range");
    }
    if (item_size != h.key_size + 8) {
        return Status::Corruption(name, "item size " + std::to_string(item_size) +
                                            " does not match key size " +
                                            std::to_string(h.key_size));
    }
    if (h.decimals >= h.key_size && h.decimals != 0) {
        return Status::Corruption(
            name, "key decimals " + std::to_string(h.decimals) + " exceed the key size");
    }
    // The offsets and all max + 1 slots must fit one page.
    if (h.max_items < 2 ||
        (h.max_items + 2) * 2 + (h.max_items + 1) * item_size > int(kNtxPageSize)) {
        return Status::Corruption(
            name, "max items per page " + std::to_string(h.max_items) + " does not fit a page");
    }
    if (h.half_page < 1 || h.half_page > h.max_items / 2) {
        // Some writers round differently; anything up to half is usable.
        h.half_page = uint16_t(h.max_items / 2);
    }
    if (!IsNtxPageOffset(h.root, file_size)) {
        return Status::Corruption(name, "root page offset " + std::to_string(h.root) +
                                            " lies outside the file (" + std::to_string(file_size) +
                                            " bytes)");
    }
    if (h.free_head != 0 && !IsNtxPageOffset(h.free_head, file_size)) {
        return Status::Corruption(
            name, "free page offset " + std::to_string(h.free_head) + " lies outside the file");
    }
    h.key_expression = ReadCString(page + kKeyExpressionAt, kExpressionField);
    if (h.key_expression.size() >= kExpressionField) {
        return Status::Corruption(name, "key expression is not terminated");
    }
    h.unique = page[kUniqueAt] != 0;
    h.descend = page[kDescendAt] != 0;
    if (signature == kNtxSignatureWithFor) {
        h.for_expression = ReadCString(page + kForExpressionAt, kExpressionField);
        if (h.for_expression.size() >= kExpressionField) {
            return Status::Corruption(name, "FOR expression is not terminated");
        }
    }
    return h;
}

void EncodeNtxHeader(const NtxHeader& h, uint8_t* page) {
    std::memset(page, 0, kNtxPageSize);
    PutU16(page, h.for_expression.empty() ? kNtxSignature : kNtxSignatureWithFor);
    PutU16(page + kNtxHeaderVersionAt, h.version);
    PutU32(page + kNtxHeaderRootAt, h.root);
    PutU32(page + kNtxHeaderFreeAt, h.free_head);
    PutU16(page + 12, h.item_size());
    PutU16(page + 14, h.key_size);
    PutU16(page + 16, h.decimals);
    PutU16(page + 18, h.max_items);
    PutU16(page + 20, h.half_page);
    size_t n = std::min(h.key_expression.size(), kNtxMaxExpressionLength);
    std::memcpy(page + kKeyExpressionAt, h.key_expression.data(), n);
    page[kUniqueAt] = h.unique ? 1 : 0;
    page[kDescendAt] = h.descend ? 1 : 0;
    n = std::min(h.for_expression.size(), kNtxMaxExpressionLength);
    std::memcpy(page + kForExpressionAt, h.for_expression.data(), n);
}

void NtxPage::Init() {
    std::memset(data_, 0, kNtxPageSize);
    int base = (max_items_ + 2) * 2;
    int item_size = key_size_ + 8;
    for (int i = 0; i <= max_items_; ++i) PutU16(data_ + 2 + 2 * i, uint16_t(base + i * item_size));
}

void NtxPage::InsertAt(int i, uint32_t child, uint32_t recno, const uint8_t* key) {
    int n = count();
    uint16_t free_slot = GetU16(data_ + 2 + 2 * (n + 1));
    // Offsets i..n move one place up; the free slot's offset lands at i.
    std::memmove(data_ + 2 + 2 * (i + 1), data_ + 2 + 2 * i, size_t(2 * (n + 1 - i)));
    PutU16(data_ + 2 + 2 * i, free_slot);
    uint8_t* s = data_ + free_slot;
    PutU32(s, child);
    PutU32(s + 4, recno);
    std::memcpy(s + 8, key, size_t(key_size_));
    PutU16(data_, uint16_t(n + 1));
}

void NtxPage::RemoveAt(int i) {
    int n = count();
    uint16_t gone = GetU16(data_ + 2 + 2 * i);
    // Offsets i+1..n move one place down; the freed slot becomes offset n.
    std::memmove(data_ + 2 + 2 * i, data_ + 2 + 2 * (i + 1), size_t(2 * (n - i)));
    PutU16(data_ + 2 + 2 * n, gone);
    std::memset(data_ + gone, 0, size_t(key_size_ + 8));
    PutU16(data_, uint16_t(n - 1));
}

void NtxPage::ClearRightSlot() {
    std::memset(slot(count()) + 4, 0, size_t(key_size_ + 4));
}

Status NtxPage::Check(uint32_t page_offset, uint64_t file_size, const std::string& name) const {
    auto where = [&] { return "page at offset " + std::to_string(page_offset) + ": "; };
    int n = count();
    if (n > max_items_) {
        return Status::Corruption(name, where() + "key count " + std::to_string(n) +
                                            " exceeds the maximum " + std::to_string(max_items_));
    }
    int item_size = key_size_ + 8;
    int base = (max_items_ + 2) * 2;
    std::bitset<kNtxPageSize> used;
    for (int i = 0; i <= max_items_; ++i) {
        int off = slot_offset(i);
        if (off < base || off + item_size > int(kNtxPageSize) || (off - base) % item_size != 0) {
            return Status::Corruption(
                name, where() + "item offset " + std::to_string(off) + " out of range");
        }
        int s = (off - base) / item_size;
        if (used[size_t(s)]) return Status::Corruption(name, where() + "two items share one slot");
        used[size_t(s)] = true;
    }
    bool leaf = child(0) == 0;
    for (int i = 0; i <= n; ++i) {
        uint32_t c = child(i);
        if (leaf ? c != 0 : (!IsNtxPageOffset(c, file_size) || c == page_offset)) {
            return Status::Corruption(
                name, where() + "child pointer " + std::to_string(c) + " is invalid");
        }
        if (i < n && recno(i) == 0)
            return Status::Corruption(name, where() + "key without record number");
    }
    return Status::OK();
}

}  // namespace sde
