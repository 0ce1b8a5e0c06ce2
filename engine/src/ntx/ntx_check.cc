// Checking an NTX index: the whole tree and the free page chain against the format.
#include "ntx/ntx_index.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "ntx/ntx_lock_scope.h"

namespace sde {

// ---- Checking -----------------------------------------------------------------

Status NtxIndex::Verify(uint64_t* keys) {
    NtxLockScope lock(this, false);
    if (!lock.status().ok()) return lock.status();
    std::vector<uint8_t> seen(file_size_ / kNtxPageSize, 0);
    int leaf_depth = -1;
    std::string last_key;
    uint32_t last_recno = 0;
    bool have_last = false;
    *keys = 0;
    SDE_RETURN_IF_ERROR(
        VerifyPage(header_.root, 0, &leaf_depth, &seen, &last_key, &last_recno, &have_last, keys));
    // Free pages must not be tree pages.
    uint32_t offset = header_.free_head;
    size_t steps = 0;
    while (offset != 0) {
        if (++steps > seen.size() || seen[offset / kNtxPageSize]) {
            return Status::Corruption(path(), "free page chain has a cycle or holds a tree page");
        }
        seen[offset / kNtxPageSize] = 1;
        auto next = FreeNext(offset);
        if (!next.ok()) return next.status();
        offset = *next;
    }
    return Status::OK();
}

Status NtxIndex::VerifyPage(uint32_t offset, int depth, int* leaf_depth, std::vector<uint8_t>* seen,
                            std::string* last_key, uint32_t* last_recno, bool* have_last,
                            uint64_t* keys) {
    if (depth >= kNtxMaxDepth) return TooDeep();
    if (!IsNtxPageOffset(offset, file_size_)) {
        return Status::Corruption(path(),
                                  "page offset " + std::to_string(offset) + " outside the file");
    }
    if ((*seen)[offset / kNtxPageSize]) {
        return Status::Corruption(path(),
                                  "page at offset " + std::to_string(offset) + " is reached twice");
    }
    (*seen)[offset / kNtxPageSize] = 1;
    auto p = Load(offset);
    if (!p.ok()) return p.status();
    // Copy: loading children may not move the page, but keep the view simple.
    uint8_t bytes[kNtxPageSize];
    std::memcpy(bytes, (*p)->data, kNtxPageSize);
    NtxPage page(bytes, header_.max_items, header_.key_size);
    bool leaf = page.is_leaf();
    if (leaf) {
        if (*leaf_depth < 0) *leaf_depth = depth;
        if (*leaf_depth != depth) {
            return Status::Corruption(path(), "leaves at different depths (" +
                                                  std::to_string(*leaf_depth) + " and " +
                                                  std::to_string(depth) + ")");
        }
    }
    for (int i = 0; i <= page.count(); ++i) {
        if (!leaf) {
            SDE_RETURN_IF_ERROR(VerifyPage(page.child(i), depth + 1, leaf_depth, seen, last_key,
                                           last_recno, have_last, keys));
        }
        if (i == page.count()) break;
        SDE_RETURN_IF_ERROR(CheckRecno(page.recno(i), offset));
        if (*have_last) {
            int c = CompareKeys(reinterpret_cast<const uint8_t*>(last_key->data()), page.key(i),
                                header_.key_size);
            if (c > 0 || (c == 0 && *last_recno >= page.recno(i))) {
                return Status::Corruption(
                    path(), "keys out of order in page at offset " + std::to_string(offset));
            }
        }
        last_key->assign(page.key_view(i));
        *last_recno = page.recno(i);
        *have_last = true;
        ++*keys;
    }
    return Status::OK();
}

}  // namespace sde
