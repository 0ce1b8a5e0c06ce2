// Cursors over an NTX index: descend, step, seek.
#include "ntx/ntx_index.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "ntx/ntx_lock_scope.h"

namespace sde {

// ---- Cursor -------------------------------------------------------------------

Status NtxCursor::PushPage(uint32_t page, NtxIndex::CachedPage** out) {
    if (path_.size() >= size_t(kNtxMaxDepth)) return index_->TooDeep();
    auto p = index_->Load(page);
    if (!p.ok()) return p.status();
    *out = *p;
    return Status::OK();
}

Status NtxCursor::TakeEntry() {
    auto p = index_->Load(path_.back().page);
    if (!p.ok()) return p.status();
    NtxPage page = index_->View(*p);
    int pos = path_.back().pos;
    entry_.recno = page.recno(pos);
    entry_.key.assign(page.key_view(pos));
    SDE_RETURN_IF_ERROR(index_->CheckRecno(entry_.recno, path_.back().page));
    valid_ = true;
    bof_ = false;
    stamp_ = index_->stamp();
    return Status::OK();
}

Status NtxCursor::DescendFirst(uint32_t offset) {
    for (;;) {
        NtxIndex::CachedPage* cp = nullptr;
        SDE_RETURN_IF_ERROR(PushPage(offset, &cp));
        NtxPage page = index_->View(cp);
        path_.push_back({offset, 0});
        if (page.is_leaf()) {
            if (page.count() > 0) return TakeEntry();
            return AscendForNext();
        }
        offset = page.child(0);
    }
}

Status NtxCursor::DescendLast(uint32_t offset) {
    for (;;) {
        NtxIndex::CachedPage* cp = nullptr;
        SDE_RETURN_IF_ERROR(PushPage(offset, &cp));
        NtxPage page = index_->View(cp);
        path_.push_back({offset, page.count()});
        if (page.is_leaf()) {
            path_.back().pos = page.count() - 1;
            if (page.count() > 0) return TakeEntry();
            return AscendForPrev();
        }
        offset = page.child(page.count());
    }
}

Status NtxCursor::AscendForNext() {
    for (;;) {
        path_.pop_back();
        if (path_.empty()) {
            valid_ = false;
            stamp_ = index_->stamp();
            return Status::OK();
        }
        auto p = index_->Load(path_.back().page);
        if (!p.ok()) return p.status();
        if (path_.back().pos < index_->View(*p).count()) return TakeEntry();
    }
}

Status NtxCursor::AscendForPrev() {
    for (;;) {
        path_.pop_back();
        if (path_.empty()) {
            valid_ = false;
            bof_ = true;
            stamp_ = index_->stamp();
            return Status::OK();
        }
        if (--path_.back().pos >= 0) return TakeEntry();
    }
}

Status NtxCursor::StepNext() {
    auto p = index_->Load(path_.back().page);
    if (!p.ok()) return p.status();
    NtxPage page = index_->View(*p);
    int pos = ++path_.back().pos;
    if (!page.is_leaf()) return DescendFirst(page.child(pos));
    if (pos < page.count()) return TakeEntry();
    return AscendForNext();
}

Status NtxCursor::StepPrev() {
    auto p = index_->Load(path_.back().page);
    if (!p.ok()) return p.status();
    NtxPage page = index_->View(*p);
    if (!page.is_leaf()) return DescendLast(page.child(path_.back().pos));
    if (--path_.back().pos >= 0) return TakeEntry();
    return AscendForPrev();
}

Status NtxCursor::Locate(const uint8_t* key, size_t prefix_len, uint32_t recno) {
    path_.clear();
    valid_ = false;
    bof_ = false;
    uint32_t offset = index_->header_.root;
    for (;;) {
        NtxIndex::CachedPage* cp = nullptr;
        SDE_RETURN_IF_ERROR(PushPage(offset, &cp));
        NtxPage page = index_->View(cp);
        int i = index_->LowerBound(page, key, prefix_len, recno);
        path_.push_back({offset, i});
        if (page.is_leaf()) {
            if (i < page.count()) return TakeEntry();
            return AscendForNext();
        }
        offset = page.child(i);
    }
}

Status NtxCursor::First() {
    NtxLockScope lock(index_, false);
    if (!lock.status().ok()) return lock.status();
    path_.clear();
    Status s = DescendFirst(index_->header_.root);
    if (!s.ok()) valid_ = false;
    return s;
}

Status NtxCursor::Last() {
    NtxLockScope lock(index_, false);
    if (!lock.status().ok()) return lock.status();
    path_.clear();
    Status s = DescendLast(index_->header_.root);
    if (!s.ok()) valid_ = false;
    return s;
}

Status NtxCursor::CheckProgress(const NtxEntry& was, int direction) {
    // Each move must pass the entry before it; a damaged tree that leads
    // back (shared pages, bad order) would otherwise walk for ever.
    if (!valid_) return Status::OK();
    int c =
        index_->CompareKeys(reinterpret_cast<const uint8_t*>(entry_.key.data()),
                            reinterpret_cast<const uint8_t*>(was.key.data()), entry_.key.size());
    if (c == 0) c = entry_.recno < was.recno ? -1 : (entry_.recno > was.recno ? 1 : 0);
    if (c * direction > 0) return Status::OK();
    valid_ = false;
    return Status::Corruption(index_->path(),
                              "keys out of order near record " + std::to_string(was.recno));
}

Status NtxCursor::Next() {
    if (!valid_) return Status::OK();
    NtxLockScope lock(index_, false);
    if (!lock.status().ok()) return lock.status();
    Status s;
    const NtxEntry was = entry_;
    if (stamp_ != index_->stamp()) {
        // The tree changed: find the remembered entry (or its successor) again.
        NtxEntry was = entry_;
        s = Locate(reinterpret_cast<const uint8_t*>(was.key.data()), was.key.size(), was.recno);
        if (s.ok() && valid_ && entry_.recno == was.recno && entry_.key == was.key) s = StepNext();
    } else {
        s = StepNext();
    }
    if (s.ok()) s = CheckProgress(was, 1);
    if (!s.ok()) valid_ = false;
    return s;
}

Status NtxCursor::Prev() {
    NtxLockScope lock(index_, false);
    if (!lock.status().ok()) return lock.status();
    Status s;
    const NtxEntry was = entry_;
    const bool had_entry = valid_;
    if (!valid_) {
        if (bof_) return Status::OK();
        path_.clear();
        s = DescendLast(index_->header_.root);
    } else if (stamp_ != index_->stamp()) {
        NtxEntry was = entry_;
        s = Locate(reinterpret_cast<const uint8_t*>(was.key.data()), was.key.size(), was.recno);
        if (s.ok()) {
            if (valid_) {
                s = StepPrev();
            } else {
                path_.clear();
                s = DescendLast(index_->header_.root);
            }
        }
    } else {
        s = StepPrev();
    }
    if (s.ok() && had_entry) s = CheckProgress(was, -1);
    if (!s.ok()) valid_ = false;
    return s;
}

Status NtxCursor::Seek(std::string_view key, bool* found) {
    *found = false;
    NtxLockScope lock(index_, false);
    if (!lock.status().ok()) return lock.status();
    size_t n = std::min(key.size(), size_t(index_->key_size()));
    Status s = Locate(reinterpret_cast<const uint8_t*>(key.data()), n, 0);
    if (!s.ok()) {
        valid_ = false;
        return s;
    }
    *found = valid_ && std::memcmp(entry_.key.data(), key.data(), n) == 0;
    return Status::OK();
}

Status NtxCursor::SeekEntry(std::string_view key, uint32_t recno, bool* found) {
    *found = false;
    if (key.size() != size_t(index_->key_size())) {
        return Status::InvalidArgument("Index key of the wrong size for " + index_->path());
    }
    NtxLockScope lock(index_, false);
    if (!lock.status().ok()) return lock.status();
    Status s = Locate(reinterpret_cast<const uint8_t*>(key.data()), key.size(), recno);
    if (!s.ok()) {
        valid_ = false;
        return s;
    }
    *found = valid_ && entry_.recno == recno && entry_.key == key;
    return Status::OK();
}

}  // namespace sde
