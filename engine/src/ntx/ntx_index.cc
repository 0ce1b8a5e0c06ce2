// An NTX index file: opening and creating it, its page cache, file I/O,
// locks and the header, page allocation.  The B-tree updates, the check and
// the cursors live in ntx_update.cc, ntx_check.cc and ntx_cursor.cc.
#include "ntx/ntx_index.h"

#include <algorithm>
#include <cstring>

#include "ntx/ntx_lock_scope.h"

namespace sde {

namespace {

// Most pages kept in memory; beyond it clean pages are dropped between operations.
constexpr size_t kMaxCachedPages = 64 * 1024;

}  // namespace

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
        auto mapping = MemoryMapping::Open(index->file_.get(), index->file_size_);
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
    // Every header write raises the counter; in exclusive use an update that
    // changes only pages writes no header after the first one.
    if (shared_ || !version_raised_ || header_dirty_) {
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

}  // namespace sde
