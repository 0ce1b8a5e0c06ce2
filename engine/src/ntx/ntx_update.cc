// B-tree updates of an NTX index: insert, remove, replace, rebalance, clear.
#include "ntx/ntx_index.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "ntx/ntx_lock_scope.h"

namespace sde {

// ---- Updates ------------------------------------------------------------------

static void MarkDirty(std::vector<uint32_t>* dirty, uint32_t offset, bool* flag) {
    if (!*flag) {
        *flag = true;
        dirty->push_back(offset);
    }
}

Status NtxIndex::Insert(std::string_view key, uint32_t recno) {
    if (key.size() != header_.key_size || recno == 0) {
        return Status::InvalidArgument("Index key of the wrong size for " + path());
    }
    NtxLockScope lock(this, true);
    if (!lock.status().ok()) return lock.status();
    Status s = InsertLocked(reinterpret_cast<const uint8_t*>(key.data()), recno);
    if (s.ok()) s = WriteChanges();
    if (!s.ok()) Discard();
    return s;
}

Status NtxIndex::Remove(std::string_view key, uint32_t recno, bool* removed) {
    bool dummy;
    if (!removed) removed = &dummy;
    *removed = false;
    if (key.size() != header_.key_size) {
        return Status::InvalidArgument("Index key of the wrong size for " + path());
    }
    NtxLockScope lock(this, true);
    if (!lock.status().ok()) return lock.status();
    Status s = RemoveLocked(reinterpret_cast<const uint8_t*>(key.data()), recno, removed);
    if (s.ok()) s = WriteChanges();
    if (!s.ok()) Discard();
    return s;
}

Status NtxIndex::Replace(std::string_view old_key, std::string_view new_key, uint32_t recno) {
    if (old_key.size() != header_.key_size || new_key.size() != header_.key_size || recno == 0) {
        return Status::InvalidArgument("Index key of the wrong size for " + path());
    }
    if (old_key == new_key) return Status::OK();
    NtxLockScope lock(this, true);
    if (!lock.status().ok()) return lock.status();
    bool removed = false;
    Status s = RemoveLocked(reinterpret_cast<const uint8_t*>(old_key.data()), recno, &removed);
    if (s.ok()) s = InsertLocked(reinterpret_cast<const uint8_t*>(new_key.data()), recno);
    if (s.ok()) s = WriteChanges();
    if (!s.ok()) Discard();
    return s;
}

Status NtxIndex::InsertLocked(const uint8_t* key, uint32_t recno) {
    const size_t ks = header_.key_size;
    if (header_.unique) {
        // A unique index keeps the first record of every key only.
        uint32_t offset = header_.root;
        for (int depth = 0;; ++depth) {
            if (depth >= kNtxMaxDepth) return TooDeep();
            auto p = Load(offset);
            if (!p.ok()) return p.status();
            NtxPage page = View(*p);
            int i = LowerBound(page, key, ks, 0);
            if (i < page.count() && CompareKeys(page.key(i), key, ks) == 0) return Status::OK();
            if (page.is_leaf()) break;
            offset = page.child(i);
        }
    }
    std::vector<PathStep>& path = descent_;
    path.clear();
    uint32_t offset = header_.root;
    for (;;) {
        if (path.size() >= size_t(kNtxMaxDepth)) return TooDeep();
        auto p = Load(offset);
        if (!p.ok()) return p.status();
        NtxPage page = View(*p);
        int i = LowerBound(page, key, ks, recno);
        if (i < page.count() && CompareItem(page, i, key, ks, recno) == 0) {
            return Status::OK();  // already there
        }
        path.push_back({offset, i, *p});
        if (page.is_leaf()) break;
        offset = page.child(i);
    }
    // Every full page on the way up splits (and a full root grows a new
    // one): take those pages first, so that a failure changes nothing.
    size_t splits = 0;
    for (size_t level = path.size(); level-- > 0;) {
        if (!View(path[level].cached).is_full()) break;
        ++splits;
    }
    if (splits == path.size()) ++splits;
    SDE_RETURN_IF_ERROR(Reserve(splits));
    return SplitAndInsert(path, path.size() - 1, 0, recno, key, 0);
}

Status NtxIndex::SplitAndInsert(std::vector<PathStep>& path, size_t level, uint32_t child,
                                uint32_t recno, const uint8_t* key, uint32_t right_child) {
    const int ks = header_.key_size;
    const int m = header_.max_items;
    // A split works from a copy of the full page, so that the page itself can
    // be rebuilt; the key pushed up to the next level is kept beside it.
    // Both live on the stack: a split allocates nothing.
    uint8_t before[kNtxPageSize];
    uint8_t carried[kNtxMaxKeySize];
    struct Item {
        uint32_t child;
        uint32_t recno;
        const uint8_t* key;
    };
    // A header with more items than fit a page is refused on opening.
    Item items[kNtxPageSize / 8 + 1];
    for (;;) {
        CachedPage* cp = path[level].cached;
        NtxPage page = View(cp);
        int pos = path[level].pos;
        MarkDirty(&dirty_, path[level].page, &cp->dirty);
        if (!page.is_full()) {
            page.InsertAt(pos, child, recno, key);
            if (right_child != 0) page.set_child(pos + 1, right_child);
            return Status::OK();
        }
        // The page overflows: lay out its m + 1 items, keep the lower half
        // here, move the upper half to a new page and push the middle item up.
        std::memcpy(before, cp->data, kNtxPageSize);
        NtxPage full(before, m, ks);
        const int n = full.count();
        for (int i = 0, out = 0; i <= n; ++i) {
            if (i == pos) items[out++] = Item{child, recno, key};
            if (i < n) items[out++] = Item{full.child(i), full.recno(i), full.key(i)};
        }
        const int item_count = n + 1;
        uint32_t last_child = full.child(n);
        if (right_child != 0) {
            if (pos + 1 < item_count) {
                items[pos + 1].child = right_child;
            } else {
                last_child = right_child;
            }
        }
        auto right_offset = Allocate();
        if (!right_offset.ok()) return right_offset.status();
        auto right_loaded = Load(*right_offset);
        if (!right_loaded.ok()) return right_loaded.status();
        NtxPage right = View(*right_loaded);

        const int mid = item_count / 2;
        page.Init();
        for (int i = 0; i < mid; ++i) page.InsertAt(i, items[i].child, items[i].recno, items[i].key);
        page.set_child(mid, items[mid].child);
        for (int i = mid + 1; i < item_count; ++i) {
            right.InsertAt(i - mid - 1, items[i].child, items[i].recno, items[i].key);
        }
        right.set_child(right.count(), last_child);

        // The middle item may be the carried key itself: memmove.
        std::memmove(carried, items[mid].key, size_t(ks));
        uint32_t up_recno = items[mid].recno;
        uint32_t left_offset = path[level].page;
        if (level == 0) {
            // Root growth: a new root holds the middle item alone.
            auto root_offset = Allocate();
            if (!root_offset.ok()) return root_offset.status();
            auto root_loaded = Load(*root_offset);
            if (!root_loaded.ok()) return root_loaded.status();
            NtxPage root = View(*root_loaded);
            root.InsertAt(0, left_offset, up_recno, carried);
            root.set_child(1, *right_offset);
            header_.root = *root_offset;
            header_dirty_ = true;
            return Status::OK();
        }
        --level;
        child = left_offset;
        recno = up_recno;
        key = carried;
        right_child = *right_offset;
    }
}

Status NtxIndex::RemoveLocked(const uint8_t* key, uint32_t recno, bool* removed) {
    const size_t ks = header_.key_size;
    std::vector<PathStep>& path = descent_;
    path.clear();
    uint32_t offset = header_.root;
    int found_level = -1;
    for (;;) {
        if (path.size() >= size_t(kNtxMaxDepth)) return TooDeep();
        auto p = Load(offset);
        if (!p.ok()) return p.status();
        NtxPage page = View(*p);
        int i = LowerBound(page, key, ks, recno);
        path.push_back({offset, i});
        if (i < page.count() && CompareItem(page, i, key, ks, recno) == 0) {
            found_level = int(path.size()) - 1;
            break;
        }
        if (page.is_leaf()) break;
        offset = page.child(i);
    }
    if (found_level < 0) return Status::OK();
    *removed = true;

    auto p = Load(path.back().page);
    if (!p.ok()) return p.status();
    NtxPage page = View(*p);
    int pos = path.back().pos;
    MarkDirty(&dirty_, path.back().page, &(*p)->dirty);
    if (page.is_leaf()) {
        page.RemoveAt(pos);
    } else {
        // A key in a branch gives way to its predecessor, the last key of the
        // rightmost leaf below its left child.
        uint32_t c = page.child(pos);
        NtxPage leaf = page;
        CachedPage* leaf_page = nullptr;
        for (;;) {
            if (path.size() >= size_t(kNtxMaxDepth)) return TooDeep();
            auto lp = Load(c);
            if (!lp.ok()) return lp.status();
            leaf_page = *lp;
            leaf = View(leaf_page);
            path.push_back({c, leaf.count()});
            if (leaf.is_leaf()) break;
            c = leaf.child(leaf.count());
        }
        int n = leaf.count();
        if (n == 0) return Status::Corruption(file_->path(), "empty leaf page below a key");
        page.set_entry(pos, leaf.recno(n - 1), leaf.key(n - 1));
        MarkDirty(&dirty_, path.back().page, &leaf_page->dirty);
        leaf.RemoveAt(n - 1);
    }
    return Rebalance(path);
}

Status NtxIndex::Rebalance(std::vector<PathStep>& path) {
    const int half = header_.half_page;
    const int ks = header_.key_size;
    for (size_t level = path.size() - 1; level > 0; --level) {
        auto p = Load(path[level].page);
        if (!p.ok()) return p.status();
        NtxPage page = View(*p);
        if (page.count() >= half) break;
        uint32_t parent_offset = path[level - 1].page;
        auto pp = Load(parent_offset);
        if (!pp.ok()) return pp.status();
        NtxPage parent = View(*pp);
        int ci = path[level - 1].pos;
        int pn = parent.count();
        MarkDirty(&dirty_, path[level].page, &(*p)->dirty);
        MarkDirty(&dirty_, parent_offset, &(*pp)->dirty);
        std::vector<uint8_t> key(static_cast<size_t>(ks), 0);

        uint32_t left_offset = ci > 0 ? parent.child(ci - 1) : 0;
        uint32_t right_offset = ci < pn ? parent.child(ci + 1) : 0;
        CachedPage* left_page = nullptr;
        CachedPage* right_page = nullptr;
        if (left_offset) {
            auto lp = Load(left_offset);
            if (!lp.ok()) return lp.status();
            left_page = *lp;
        }
        if (right_offset) {
            auto rp = Load(right_offset);
            if (!rp.ok()) return rp.status();
            right_page = *rp;
        }
        if (left_page && View(left_page).count() > half) {
            // Borrow through the parent from the left sibling.
            NtxPage left = View(left_page);
            MarkDirty(&dirty_, left_offset, &left_page->dirty);
            int ln = left.count();
            uint32_t moved_child = left.child(ln - 1);
            uint32_t moved_recno = left.recno(ln - 1);
            std::memcpy(key.data(), left.key(ln - 1), size_t(ks));
            page.InsertAt(0, left.child(ln), parent.recno(ci - 1), parent.key(ci - 1));
            parent.set_entry(ci - 1, moved_recno, key.data());
            left.RemoveAt(ln - 1);
            left.set_child(ln - 1, moved_child);
            return Status::OK();
        }
        if (right_page && View(right_page).count() > half) {
            // Borrow through the parent from the right sibling.
            NtxPage right = View(right_page);
            MarkDirty(&dirty_, right_offset, &right_page->dirty);
            int n = page.count();
            page.InsertAt(n, page.child(n), parent.recno(ci), parent.key(ci));
            page.set_child(n + 1, right.child(0));
            parent.set_entry(ci, right.recno(0), right.key(0));
            right.RemoveAt(0);
            return Status::OK();
        }
        // Merge with a sibling: left part, separator and right part in one page.
        uint32_t into_offset, from_offset;
        CachedPage *into_page, *from_page;
        int sep;
        if (left_page) {
            into_offset = left_offset, into_page = left_page;
            from_offset = path[level].page, from_page = *p;
            sep = ci - 1;
        } else if (right_page) {
            into_offset = path[level].page, into_page = *p;
            from_offset = right_offset, from_page = right_page;
            sep = ci;
        } else {
            return Status::Corruption(
                file_->path(),
                "branch page at offset " + std::to_string(parent_offset) + " has no keys");
        }
        NtxPage into = View(into_page);
        NtxPage from = View(from_page);
        if (into.count() + 1 + from.count() > header_.max_items) {
            return Status::Corruption(file_->path(), "pages too full to merge");
        }
        MarkDirty(&dirty_, into_offset, &into_page->dirty);
        int n = into.count();
        into.InsertAt(n, into.child(n), parent.recno(sep), parent.key(sep));
        for (int i = 0; i < from.count(); ++i) {
            into.InsertAt(into.count(), from.child(i), from.recno(i), from.key(i));
        }
        into.set_child(into.count(), from.child(from.count()));
        parent.RemoveAt(sep);
        parent.set_child(sep, into_offset);
        SDE_RETURN_IF_ERROR(Release(from_offset));
    }
    // A root left without keys hands the root over to its only child.
    auto r = Load(header_.root);
    if (!r.ok()) return r.status();
    NtxPage root = View(*r);
    if (root.count() == 0 && !root.is_leaf()) {
        uint32_t old_root = header_.root;
        header_.root = root.child(0);
        header_dirty_ = true;
        SDE_RETURN_IF_ERROR(Release(old_root));
    }
    return Status::OK();
}

Status NtxIndex::Clear() {
    NtxLockScope lock(this, true);
    if (!lock.status().ok()) return lock.status();
    Status s = ClearLocked();
    if (!s.ok()) Discard();
    return s;
}

Status NtxIndex::ClearLocked() {
    DropCache();
    SDE_RETURN_IF_ERROR(file_->Truncate(2 * kNtxPageSize));
    file_size_ = disk_size_ = 2 * kNtxPageSize;
    CachedPage* page = cache_.Put(kNtxPageSize);
    FillEntry(page, kNtxPageSize);
    View(page).Init();
    page->dirty = true;
    dirty_.push_back(kNtxPageSize);
    header_.root = kNtxPageSize;
    header_.free_head = 0;
    header_dirty_ = true;
    free_chain_checked_ = true;
    version_raised_ = false;
    return WriteChanges();
}

}  // namespace sde
