// One open NTX index file: its header, a cache of its pages and the B-tree
// operations on them (search, insert with page splits and root growth, delete
// with page merges, the free-page chain), plus cursors that walk it in key
// order.  Keys are the raw key bytes (key size long); working out a record's
// key is the caller's job.
//
// Order: keys compare as unsigned bytes (reversed when the index has the
// descend flag); equal keys follow their record numbers upward.
//
// Sharing: in shared use every operation holds the index byte lock (read for
// searches, write for updates) and, after taking it, re-reads the header's
// version counter, root and free head; when any of them moved, another
// program changed the file and the cached pages are dropped.  Each update
// increases the version counter.  In exclusive use no locks are taken and the
// header is written only when root or free head change (and once for the
// version counter); each of these writes raises the counter too.  Every update hands its pages to the file before it
// returns, so a killed process leaves a consistent index.
#ifndef SDE61_NTX_NTX_INDEX_H
#define SDE61_NTX_NTX_INDEX_H

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "ntx/ntx_format.h"
#include "platform/file.h"
#include "platform/mapping.h"

namespace sde {

// Deepest tree accepted; deeper means a cycle of page pointers.
constexpr int kNtxMaxDepth = 40;
// Most pages added beyond those a split needs when the file grows.
constexpr size_t kNtxMaxSparePages = 15;

// The record number and key of one index entry.
struct NtxEntry {
    uint32_t recno = 0;
    std::string key;
};

class NtxIndex {
  public:
    // Opens an existing index on an open file.  shared: other programs may
    // change the file (locks and version checks per operation).  mapped:
    // pages are read and written through a memory mapping of the file
    // instead of read and write calls (same effect, no system call each);
    // off for files whose writes must go through the File (tests that make
    // writes fail).
    static Result<std::unique_ptr<NtxIndex>> Open(std::unique_ptr<File> file, bool shared,
                                                  bool mapped = true);
    // Writes an empty index (header and an empty root page) into an empty file.
    static Result<std::unique_ptr<NtxIndex>> Create(std::unique_ptr<File> file,
                                                    const NtxHeader& header, bool shared,
                                                    bool mapped = true);
    ~NtxIndex();

    const NtxHeader& header() const { return header_; }
    const std::string& path() const { return file_->path(); }
    int key_size() const { return header_.key_size; }
    File* file() { return file_.get(); }

    // Record numbers above this limit are damage.  The function is asked
    // again once a larger number turns up (a shared table grows).
    void set_record_limit(std::function<uint32_t()> limit) { record_limit_ = std::move(limit); }
    // Sync the file after every update (full commit level).
    void set_sync_each_update(bool on) { sync_each_update_ = on; }

    // Adds an entry; a unique index skips a key it holds already, and an
    // entry that is there already is not added twice.
    Status Insert(std::string_view key, uint32_t recno);
    // Removes the entry; *removed tells whether it was there.
    Status Remove(std::string_view key, uint32_t recno, bool* removed = nullptr);
    // Removes old and adds new in one locked operation (a changed record).
    Status Replace(std::string_view old_key, std::string_view new_key, uint32_t recno);
    // Removes every entry and gives every page but an empty root back.
    Status Clear();
    // Writes the header when its version counter was raised but not written.
    Status Flush();

    // Walks the whole tree and checks it: page shapes, key order, one leaf
    // depth, no page reached twice, free chain.  *keys receives the number of
    // entries.  For tests and damage reports.
    Status Verify(uint64_t* keys);

    // Compares two keys (key size bytes) in index order.
    int CompareKeys(const uint8_t* a, const uint8_t* b, size_t n) const;

    // Changes whenever the cached tree may differ from what a cursor saw.
    uint64_t stamp() const { return stamp_; }

  private:
    friend class NtxCursor;
    friend class NtxLockScope;

    // A page in use: in the mapping of the file (changed in place), or a
    // copy of its own when the file is not mapped (written back when the
    // operation ends).
    struct CachedPage {
        uint8_t* data = nullptr;
        std::unique_ptr<uint8_t[]> copy;
        bool dirty = false;
    };
    // Cached pages by page number (offset / page size).  The entries lie in
    // chunks of fixed size, so a lookup is two indexes and no pointer chase
    // (this matters on the seek path), and an entry keeps its address until
    // the table is cleared.
    class PageTable {
      public:
        CachedPage* Find(uint32_t offset) const {
            size_t i = offset / kNtxPageSize;
            size_t c = i >> kChunkBits;
            if (c >= chunks_.size() || !chunks_[c]) return nullptr;
            CachedPage* p = &chunks_[c][i & kChunkMask];
            return p->data != nullptr ? p : nullptr;
        }
        // The entry of the page at offset, made empty (data null) for the
        // caller to fill.
        CachedPage* Put(uint32_t offset) {
            size_t i = offset / kNtxPageSize;
            size_t c = i >> kChunkBits;
            if (c >= chunks_.size()) chunks_.resize(c + 1);
            if (!chunks_[c]) chunks_[c] = std::make_unique<CachedPage[]>(kChunkEntries);
            CachedPage* p = &chunks_[c][i & kChunkMask];
            if (p->data == nullptr) ++count_;
            *p = CachedPage();
            return p;
        }
        void Erase(uint32_t offset) {
            if (CachedPage* p = Find(offset)) {
                *p = CachedPage();
                --count_;
            }
        }
        void Clear() {
            chunks_.clear();
            count_ = 0;
        }
        template <typename Fn>
        void ForEach(Fn&& fn) {
            for (size_t c = 0; c < chunks_.size(); ++c) {
                if (!chunks_[c]) continue;
                for (size_t j = 0; j < kChunkEntries; ++j) {
                    CachedPage* p = &chunks_[c][j];
                    if (p->data != nullptr) fn(uint32_t(((c << kChunkBits) + j) * kNtxPageSize), p);
                }
            }
        }
        size_t size() const { return count_; }

      private:
        static constexpr size_t kChunkBits = 10;
        static constexpr size_t kChunkEntries = size_t(1) << kChunkBits;
        static constexpr size_t kChunkMask = kChunkEntries - 1;
        std::vector<std::unique_ptr<CachedPage[]>> chunks_;
        size_t count_ = 0;
    };
    // One step of a descent: a page and the position taken in it.
    struct PathStep {
        uint32_t page;
        int pos;
        // The page's cache entry, set by inserts: it keeps its address for
        // the whole operation, so the way back up needs no second lookup.
        CachedPage* cached = nullptr;
    };

    NtxIndex(std::unique_ptr<File> file, bool shared);

    NtxPage View(CachedPage* p) { return NtxPage(p->data, header_.max_items, header_.key_size); }
    Result<CachedPage*> Load(uint32_t offset);
    Status ReadBytes(uint64_t offset, void* buf, size_t n);
    Status WriteBytes(uint64_t offset, const void* buf, size_t n);
    Result<uint32_t> Allocate();
    Result<uint32_t> AllocateNew();
    // Adds pages at the end of the file; the offset of the first.
    Result<uint32_t> GrowFile(size_t pages);
    // A page just allocated: empty, in the cache, to be written.
    void PrepareNewPage(uint32_t offset);
    // Allocates n pages ahead of a split, so that nothing can fail once
    // pages are being changed; Allocate hands them out first.
    Status Reserve(size_t n);
    // Points a new cache entry at the page: into the mapping, or at a copy.
    void FillEntry(CachedPage* page, uint32_t offset);
    Status GrowMapping();
    Status Release(uint32_t offset);
    Status CheckFreeChain();
    Result<uint32_t> FreeNext(uint32_t offset);
    Status CheckRecno(uint32_t recno, uint32_t page);

    // Lock and header refresh around one operation (no-ops in exclusive use).
    Status Begin(bool write);
    void End(bool write);
    Status RefreshHeader();
    Status WriteChanges();
    void DropCache();
    void Discard();

    // Position of the first item >= (key, recno) in a page; recno 0 compares
    // below every record; prefix_len < key size compares only that prefix.
    int LowerBound(NtxPage& page, const uint8_t* key, size_t prefix_len, uint32_t recno) const;
    int CompareItem(NtxPage& page, int i, const uint8_t* key, size_t prefix_len,
                    uint32_t recno) const;

    Status InsertLocked(const uint8_t* key, uint32_t recno);
    Status RemoveLocked(const uint8_t* key, uint32_t recno, bool* removed);
    Status Rebalance(std::vector<PathStep>& path);
    Status SplitAndInsert(std::vector<PathStep>& path, size_t level, uint32_t child, uint32_t recno,
                          const uint8_t* key, uint32_t right_child);
    Status ClearLocked();
    Status VerifyPage(uint32_t offset, int depth, int* leaf_depth, std::vector<uint8_t>* seen,
                      std::string* last_key, uint32_t* last_recno, bool* have_last, uint64_t* keys);
    Status TooDeep() const;

    std::unique_ptr<File> file_;
    bool shared_;
    bool sync_each_update_ = false;
    NtxHeader header_;
    uint64_t file_size_ = 0;  // pages in use or allocated
    uint64_t disk_size_ = 0;  // bytes the file has on disk
    std::unique_ptr<MemoryMapping> map_;
    std::vector<uint32_t> reserved_;  // pages allocated ahead of a split
    PageTable cache_;
    std::vector<uint32_t> dirty_;
    // The pages of the current insert or removal, root first; kept between
    // operations so that a descent does not allocate.
    std::vector<PathStep> descent_;
    bool header_dirty_ = false;
    bool version_raised_ = false;  // exclusive use: counter raised once
    bool free_chain_checked_ = false;
    uint64_t stamp_ = 1;
    std::function<uint32_t()> record_limit_;
    uint32_t known_record_limit_ = 0;
    int lock_depth_ = 0;
};

// A position in an index, moved in key order.  A cursor remembers the entry
// it stands on; when the index changed since (by us or another program), the
// next move finds its place again by that entry, so moves stay correct after
// inserts and deletes.
class NtxCursor {
  public:
    explicit NtxCursor(NtxIndex* index) : index_(index) {}

    Status First();
    Status Last();
    Status Next();
    Status Prev();
    // Stands on the first entry whose key starts with key or sorts behind it
    // (key may be shorter than the key size); *found when its key matches.
    Status Seek(std::string_view key, bool* found);
    // Stands on the entry (key, recno), or on the first one behind it.
    Status SeekEntry(std::string_view key, uint32_t recno, bool* found);

    // True when the cursor stands behind the last entry (or the index is empty).
    bool eof() const { return !valid_; }
    // True after Prev moved before the first entry.
    bool bof() const { return bof_; }
    uint32_t recno() const { return entry_.recno; }
    const std::string& key() const { return entry_.key; }

  private:
    Status DescendFirst(uint32_t page);
    Status DescendLast(uint32_t page);
    Status AscendForNext();
    Status AscendForPrev();
    Status StepNext();
    Status StepPrev();
    Status Locate(const uint8_t* key, size_t prefix_len, uint32_t recno);
    Status CheckProgress(const NtxEntry& was, int direction);
    Status TakeEntry();
    Status PushPage(uint32_t page, NtxIndex::CachedPage** out);

    NtxIndex* index_;
    std::vector<NtxIndex::PathStep> path_;
    NtxEntry entry_;
    bool valid_ = false;
    bool bof_ = false;
    uint64_t stamp_ = 0;
};

}  // namespace sde

#endif  // SDE61_NTX_NTX_INDEX_H
