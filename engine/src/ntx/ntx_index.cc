// B-tree operations and cursors over NTX pages.
#include "ntx/ntx_index.h"

#include <algorithm>
#include <cstring>

namespace sde {

namespace {

// Most pages kept in memory; beyond it clean pages are dropped between operations.
constexpr size_t kMaxCachedPages = 64 * 1024;

}  // namespace

// Holds the index lock (shared use) for one operation.
class NtxLockScope {
  public:
    NtxLockScope(NtxIndex* index, bool write) : index_(index), write_(write) {
        status_ = index_->Begin(write_);
    }
    ~NtxLockScope() {
        if (status_.ok()) index_->End(write_);
    }
    const Status& status() const { return status_; }

  private:
    NtxIndex* index_;
    bool write_;
    Status status_;
};

NtxIndex::NtxIndex(std::unique_ptr<File> file, bool shared)
    : file_(std::move(file)), shared_(shared) {}

NtxIndex::~NtxIndex() {
    (void)Flush();
}

Result<std::unique_ptr<NtxIndex>> NtxIndex::Open(std::unique_ptr<File> file, bool shared,
                                                 bool mapped) {
    std::unique_ptr<NtxIndex> index(new NtxIndex(std::move(file), shared));
    NtxLockScope lock(index.get(), false);
    if (!lock.status().ok()) return lock.status();
    auto size = index->file_->Size();
    if (!size.ok()) return size.status();
    index->file_size_ = *size;
    if (index->file_size_ < 2 * kNtxPageSize) {
        return Status::Corruption(index->path(), "file is too short (" +
                                                     std::to_string(index->file_size_) +
                                                     " bytes) for a header and a root page");
    }
    uint8_t page[kNtxPageSize];
    SDE_RETURN_IF_ERROR(index->file_->ReadExact(0, page, kNtxPageSize));
    auto header = DecodeNtxHeader(page, index->file_size_, index->path());
    if (!header.ok()) return header.status();
    index->header_ = std::move(*header);
    index->disk_size_ = index->file_size_;
    if (mapped) {
        auto mapping = NtxMapping::Open(index->file_.get(), index->file_size_);
        if (!mapping.ok()) return mapping.status();
        index->map_ = std::move(*mapping);
    }
    auto root = index->Load(index->header_.root);
    if (!root.ok()) return root.status();
    return index;
}

Result<std::unique_ptr<NtxIndex>> NtxIndex::Create(std::unique_ptr<File> file,
                                                   const NtxHeader& header, bool shared,
                                                   bool mapped) {
    uint8_t pages[2 * kNtxPageSize];
    NtxHeader h = header;
    h.root = kNtxPageSize;
    h.free_head = 0;
    h.version = 1;
    EncodeNtxHeader(h, pages);
    NtxPage root(pages + kNtxPageSize, h.max_items, h.key_size);
    root.Init();
    SDE_RETURN_IF_ERROR(file->Truncate(0));
    SDE_RETURN_IF_ERROR(file->WriteAt(0, pages, sizeof pages));
    return Open(std::move(file), shared, mapped);
}

// Unsigned byte comparison, eight bytes at a time (keys are short and this
// runs for every probe of every descent).
static inline int CompareBytes(const uint8_t* a, const uint8_t* b, size_t n) {
    for (; n >= 8; a += 8, b += 8, n -= 8) {
        uint64_t x, y;
        std::memcpy(&x, a, 8);
        std::memcpy(&y, b, 8);
        if (x != y) return __builtin_bswap64(x) < __builtin_bswap64(y) ? -1 : 1;
    }
    for (; n > 0; ++a, ++b, --n) {
        if (*a != *b) return *a < *b ? -1 : 1;
    }
    return 0;
}

int NtxIndex::CompareKeys(const uint8_t* a, const uint8_t* b, size_t n) const {
    int c = CompareBytes(a, b, n);
    return header_.descend ? -c : c;
}

// ---- Bytes of the file ----------------------------------------------------------

Status NtxIndex::ReadBytes(uint64_t offset, void* buf, size_t n) {
    if (map_ && offset + n <= disk_size_ && offset + n <= map_->length()) {
        std::memcpy(buf, map_->data() + offset, n);
        return Status::OK();
    }
    return file_->ReadExact(offset, buf, n);
}

Status NtxIndex::WriteBytes(uint64_t offset, const void* buf, size_t n) {
    if (!map_) return file_->WriteAt(offset, buf, n);
    if (offset + n > disk_size_) {
        // New pages: the file grows first, so that the mapping covers them.
        uint64_t size = std::max<uint64_t>(offset + n, file_size_);
        SDE_RETURN_IF_ERROR(file_->Truncate(size));
        disk_size_ = size;
    }
    SDE_RETURN_IF_ERROR(map_->Grow(disk_size_));
    std::memcpy(map_->data() + offset, buf, n);
    return Status::OK();
}

// ---- Locks and the header ---------------------------------------------------

Status NtxIndex::Begin(bool write) {
    if (!shared_) {
        if (cache_.size() > kMaxCachedPages && dirty_.empty()) DropCache();
        return Status::OK();
    }
    if (lock_depth_++ > 0) return Status::OK();
    Status s = file_->LockRange(kNtxLockOffset, 1, write ? RangeLock::kWrite : RangeLock::kRead,
                                LockWait::kWait);
    if (s.ok() && header_.max_items != 0) s = RefreshHeader();
    if (!s.ok()) {
        if (s.code() != Status::Code::kLocked) (void)file_->UnlockRange(kNtxLockOffset, 1);
        lock_depth_ = 0;
        return s;
    }
    if (cache_.size() > kMaxCachedPages && dirty_.empty()) DropCache();
    return s;
}

void NtxIndex::End(bool /*write*/) {
    if (!shared_) return;
    if (--lock_depth_ == 0) (void)file_->UnlockRange(kNtxLockOffset, 1);
}

void NtxIndex::Discard() {
    // The cached pages may hold half an update: forget them and the header
    // fields that update may have moved, and read both again when needed.
    DropCache();
    free_chain_checked_ = false;
    uint8_t live[kNtxHeaderLiveBytes];
    auto size = file_->Size();
    if (size.ok()) file_size_ = disk_size_ = *size;
    if (ReadBytes(0, live, sizeof live).ok()) {
        header_.version = GetU16(live + kNtxHeaderVersionAt);
        header_.root = GetU32(live + kNtxHeaderRootAt);
        header_.free_head = GetU32(live + kNtxHeaderFreeAt);
    }
    header_dirty_ = false;
}

void NtxIndex::DropCache() {
    cache_.Clear();
    reserved_.clear();
    dirty_.clear();
    ++stamp_;
}

Status NtxIndex::RefreshHeader() {
    uint8_t live[kNtxHeaderLiveBytes];
    SDE_RETURN_IF_ERROR(ReadBytes(0, live, sizeof live));
    uint16_t version = GetU16(live + kNtxHeaderVersionAt);
    uint32_t root = GetU32(live + kNtxHeaderRootAt);
    uint32_t free_head = GetU32(live + kNtxHeaderFreeAt);
    if (version == header_.version && root == header_.root && free_head == header_.free_head) {
        return Status::OK();
    }
    // Another program wrote the index: nothing cached can be trusted.
    DropCache();
    free_chain_checked_ = false;
    auto size = file_->Size();
    if (!size.ok()) return size.status();
    file_size_ = disk_size_ = *size;
    SDE_RETURN_IF_ERROR(GrowMapping());
    if (!IsNtxPageOffset(root, file_size_)) {
        return Status::Corruption(
            path(), "root page offset " + std::to_string(root) + " lies outside the file");
    }
    if (free_head != 0 && !IsNtxPageOffset(free_head, file_size_)) {
        return Status::Corruption(
            path(), "free page offset " + std::to_string(free_head) + " lies outside the file");
    }
    header_.version = version;
    header_.root = root;
    header_.free_head = free_head;
    return Status::OK();
}

Status NtxIndex::WriteChanges() {
    if (dirty_.empty() && !header_dirty_) return Status::OK();
    ++stamp_;  // cursors find their place again
    if (shared_ || !version_raised_) {
        ++header_.version;
        header_dirty_ = true;
        version_raised_ = true;
    }
    std::sort(dirty_.begin(), dirty_.end());
    for (uint32_t offset : dirty_) {
        CachedPage* p = cache_.Find(offset);
        if (p == nullptr) continue;
        View(p).ClearRightSlot();
        if (p->copy) SDE_RETURN_IF_ERROR(WriteBytes(offset, p->data, kNtxPageSize));
        p->dirty = false;
    }
    dirty_.clear();
    if (header_dirty_) {
        uint8_t live[kNtxHeaderLiveBytes];
        PutU16(live, header_.for_expression.empty() ? kNtxSignature : kNtxSignatureWithFor);
        PutU16(live + kNtxHeaderVersionAt, header_.version);
        PutU32(live + kNtxHeaderRootAt, header_.root);
        PutU32(live + kNtxHeaderFreeAt, header_.free_head);
        SDE_RETURN_IF_ERROR(WriteBytes(0, live, sizeof live));
        header_dirty_ = false;
    }
    if (sync_each_update_) SDE_RETURN_IF_ERROR(file_->Sync());
    return Status::OK();
}

Status NtxIndex::Flush() {
    if (dirty_.empty() && !header_dirty_) return Status::OK();
    NtxLockScope lock(this, true);
    if (!lock.status().ok()) return lock.status();
    return WriteChanges();
}

// ---- Pages --------------------------------------------------------------------

void NtxIndex::FillEntry(CachedPage* page, uint32_t offset) {
    if (map_ && offset + kNtxPageSize <= disk_size_ && offset + kNtxPageSize <= map_->length()) {
        page->data = map_->data() + offset;
    } else {
        page->copy.reset(new uint8_t[kNtxPageSize]);
        page->data = page->copy.get();
    }
}

Status NtxIndex::GrowMapping() {
    if (!map_) return Status::OK();
    const uint8_t* before = map_->data();
    SDE_RETURN_IF_ERROR(map_->Grow(disk_size_));
    if (map_->data() != before) {
        // The window moved: pages in the mapping move with it.
        cache_.ForEach([&](uint32_t offset, CachedPage* page) {
            if (!page->copy) page->data = map_->data() + offset;
        });
    }
    return Status::OK();
}

Result<NtxIndex::CachedPage*> NtxIndex::Load(uint32_t offset) {
    if (map_ && uint64_t(offset) + kNtxPageSize <= map_->length()) {
        // The page's place in the mapping is known before its cache entry
        // is read: start fetching it now, so that both come in together.
        NtxPage(map_->data() + offset, header_.max_items, header_.key_size).Prefetch();
    }
    if (CachedPage* cached = cache_.Find(offset)) return cached;
    if (!IsNtxPageOffset(offset, file_size_)) {
        return Status::Corruption(path(), "page offset " + std::to_string(offset) +
                                              " lies outside the file (" +
                                              std::to_string(file_size_) + " bytes)");
    }
    CachedPage* page = cache_.Put(offset);
    FillEntry(page, offset);
    Status s;
    if (page->copy) s = ReadBytes(offset, page->data, kNtxPageSize);
    if (s.ok()) s = View(page).Check(offset, file_size_, path());
    if (!s.ok()) {
        cache_.Erase(offset);
        return s;
    }
    return page;
}

// The next free page stored in a free page (slot 0's child pointer).
static Result<uint32_t> NextFreePage(const uint8_t* page, uint32_t offset, uint64_t file_size,
                                     const std::string& name) {
    uint16_t slot = GetU16(page + 2);
    if (slot < 4 || slot + 4u > kNtxPageSize) {
        return Status::Corruption(
            name, "free page at offset " + std::to_string(offset) + " has an invalid item offset");
    }
    uint32_t next = GetU32(page + slot);
    if (next != 0 && !IsNtxPageOffset(next, file_size)) {
        return Status::Corruption(
            name, "free page chain leads outside the file (offset " + std::to_string(next) + ")");
    }
    return next;
}

Result<uint32_t> NtxIndex::FreeNext(uint32_t offset) {
    // A page freed during this operation is newer in the cache than on disk.
    if (!IsNtxPageOffset(offset, file_size_)) {
        return Status::Corruption(
            path(), "free page offset " + std::to_string(offset) + " outside the file");
    }
    if (CachedPage* page = cache_.Find(offset)) {
        return NextFreePage(page->data, offset, file_size_, path());
    }
    uint8_t buffer[kNtxPageSize];
    SDE_RETURN_IF_ERROR(ReadBytes(offset, buffer, kNtxPageSize));
    return NextFreePage(buffer, offset, file_size_, path());
}

Status NtxIndex::CheckFreeChain() {
    std::vector<bool> seen(file_size_ / kNtxPageSize, false);
    uint32_t offset = header_.free_head;
    while (offset != 0) {
        if (seen[offset / kNtxPageSize])
            return Status::Corruption(path(), "free page chain has a cycle");
        seen[offset / kNtxPageSize] = true;
        auto next = FreeNext(offset);
        if (!next.ok()) return next.status();
        offset = *next;
    }
    free_chain_checked_ = true;
    return Status::OK();
}

Result<uint32_t> NtxIndex::Allocate() {
    if (!reserved_.empty()) {
        uint32_t offset = reserved_.back();
        reserved_.pop_back();
        return offset;
    }
    return AllocateNew();
}

Result<uint32_t> NtxIndex::AllocateNew() {
    uint32_t offset;
    if (header_.free_head != 0) {
        if (!free_chain_checked_) SDE_RETURN_IF_ERROR(CheckFreeChain());
        offset = header_.free_head;
        auto next = FreeNext(offset);
        if (!next.ok()) return next.status();
        header_.free_head = *next;
    } else {
        auto first = GrowFile(1);
        if (!first.ok()) return first.status();
        offset = *first;
    }
    PrepareNewPage(offset);
    return offset;
}

Result<uint32_t> NtxIndex::GrowFile(size_t pages) {
    uint64_t end = (file_size_ + kNtxPageSize - 1) / kNtxPageSize * kNtxPageSize;
    if (end + pages * kNtxPageSize > UINT32_MAX) {
        return Status::IOError("Index file " + path() + " is full (4 GB)");
    }
    if (map_) {
        // The mapping reaches only bytes the file has: grow the file now.
        // Zeros are written rather than the size set: the written pages are
        // in memory at once, so the first change through the mapping does
        // not have to fetch and allocate each one on its own, which costs
        // about twice as much.
        static const uint8_t kZeroPages[16 * kNtxPageSize] = {};
        for (uint64_t at = end; at < end + pages * kNtxPageSize; at += sizeof kZeroPages) {
            size_t n = size_t(std::min<uint64_t>(sizeof kZeroPages, end + pages * kNtxPageSize - at));
            SDE_RETURN_IF_ERROR(file_->WriteAt(at, kZeroPages, n));
        }
        file_size_ = disk_size_ = end + pages * kNtxPageSize;
        SDE_RETURN_IF_ERROR(GrowMapping());
        return uint32_t(end);
    }
    file_size_ = end + pages * kNtxPageSize;
    return uint32_t(end);
}

void NtxIndex::PrepareNewPage(uint32_t offset) {
    header_dirty_ = true;
    CachedPage* page = cache_.Find(offset);
    if (page == nullptr) {
        page = cache_.Put(offset);
        FillEntry(page, offset);
    }
    View(page).Init();
    if (!page->dirty) {
        page->dirty = true;
        dirty_.push_back(offset);
    }
}

Status NtxIndex::Reserve(size_t n) {
    // Free pages first; what they do not cover comes from one growth of the file.
    while (reserved_.size() < n && header_.free_head != 0) {
        auto offset = AllocateNew();
        if (!offset.ok()) return offset.status();
        reserved_.insert(reserved_.begin(), *offset);
    }
    if (reserved_.size() >= n) return Status::OK();
    const size_t missing = n - reserved_.size();
    // A growing index grows by a few pages at a time, about a sixteenth of
    // its size and at most 15 more than needed: the spare ones go onto the
    // free chain, where the next splits (ours or another program's) find
    // them.  Each growth of the file costs a system call.
    const size_t spare = std::min<size_t>(kNtxMaxSparePages, file_size_ / kNtxPageSize / 16);
    auto first = GrowFile(missing + spare);
    if (!first.ok()) return first.status();
    for (size_t i = 0; i < missing + spare; ++i) {
        uint32_t offset = *first + uint32_t(i * kNtxPageSize);
        PrepareNewPage(offset);
        if (i < missing) {
            reserved_.insert(reserved_.begin(), offset);
        } else {
            SDE_RETURN_IF_ERROR(Release(offset));
        }
    }
    return Status::OK();
}

Status NtxIndex::Release(uint32_t offset) {
    auto loaded = Load(offset);
    if (!loaded.ok()) return loaded.status();
    CachedPage* p = *loaded;
    NtxPage view = View(p);
    view.Init();
    view.set_child(0, header_.free_head);
    header_.free_head = offset;
    header_dirty_ = true;
    if (!p->dirty) {
        p->dirty = true;
        dirty_.push_back(offset);
    }
    // A freed page must not be found in the cache as a tree page again.
    return Status::OK();
}

Status NtxIndex::CheckRecno(uint32_t recno, uint32_t page) {
    if (recno <= known_record_limit_ || !record_limit_) return Status::OK();
    known_record_limit_ = record_limit_();
    if (recno <= known_record_limit_) return Status::OK();
    return Status::Corruption(path(), "page at offset " + std::to_string(page) + " names record " +
                                          std::to_string(recno) + " but the table has " +
                                          std::to_string(known_record_limit_) + " records");
}

Status NtxIndex::TooDeep() const {
    return Status::Corruption(path(), "page pointers are nested deeper than " +
                                          std::to_string(kNtxMaxDepth) + " levels (a cycle)");
}

int NtxIndex::CompareItem(NtxPage& page, int i, const uint8_t* key, size_t prefix_len,
                          uint32_t recno) const {
    int c = CompareKeys(page.key(i), key, prefix_len);
    if (c != 0) return c;
    uint32_t r = page.recno(i);
    return r < recno ? -1 : (r > recno ? 1 : 0);
}

int NtxIndex::LowerBound(NtxPage& page, const uint8_t* key, size_t prefix_len,
                         uint32_t recno) const {
    page.Prefetch();
    int lo = 0, hi = page.count();
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        if (CompareItem(page, mid, key, prefix_len, recno) < 0) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo;
}

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
