// Sorting index keys in memory and writing balanced NTX pages bottom-up.
#include "ntx/ntx_build.h"

#include <algorithm>
#include <cstring>

namespace sde {

namespace {

// Ranges shorter than this are sorted by insertion instead of by buckets.
constexpr size_t kInsertionSortLimit = 24;
// Bytes handed to the file per write.
constexpr size_t kWriteChunk = 1 << 20;

}  // namespace

std::string NtxTempName(const std::string& path) {
    return DirName(path) + "." + BaseName(path) + "." + std::to_string(CurrentProcessId()) + ".tmp";
}

NtxBuilder::NtxBuilder(const NtxHeader& header) : header_(header), key_size_(header.key_size) {}

void NtxBuilder::Reserve(size_t records) {
    keys_.reserve(records * key_size_);
    recnos_.reserve(records);
}

void NtxBuilder::Add(uint32_t recno, const uint8_t* key) {
    keys_.append(key, key_size_);
    recnos_.push_back(recno);
    sorted_ = false;
}

bool NtxBuilder::Less(uint32_t a, uint32_t b, size_t depth) const {
    int c = std::memcmp(key(a) + depth, key(b) + depth, key_size_ - depth);
    if (header_.descend) c = -c;
    if (c != 0) return c < 0;
    return recnos_[a] < recnos_[b];
}

namespace {

// A key's first eight bytes as one number (big-endian, so that number order
// is byte order) beside the key's position.
struct SortItem {
    uint64_t prefix;
    uint32_t index;
    uint32_t unused;
};

}  // namespace

// Least significant byte first radix sort of an eight-byte window of the keys
// (stable, and the keys arrive in record order, so equal keys keep record
// order), then each run of equal windows sorted by the rest of the key.
void NtxBuilder::Sort() {
    if (sorted_) return;
    const size_t n = recnos_.size();
    // Positions in record order (the order they came in, as a rule).
    bool in_order = true;
    for (size_t i = 1; i < n && in_order; ++i) in_order = recnos_[i - 1] < recnos_[i];
    std::vector<uint32_t> by_recno;
    if (!in_order) {
        by_recno.resize(n);
        for (size_t i = 0; i < n; ++i) by_recno[i] = uint32_t(i);
        std::stable_sort(by_recno.begin(), by_recno.end(),
                         [&](uint32_t a, uint32_t b) { return recnos_[a] < recnos_[b]; });
    }
    // Bytes every key shares (leading zeros of numbers, a common group code)
    // say nothing about the order: the eight-byte window starts behind them.
    size_t skip = key_size_;
    for (size_t i = 1; i < n && skip > 0; ++i) {
        const uint8_t* a = key(0);
        const uint8_t* b = key(uint32_t(i));
        size_t same = 0;
        while (same < skip && a[same] == b[same]) ++same;
        skip = same;
    }
    if (skip == key_size_) skip = 0;
    const size_t window = std::min<size_t>(8, key_size_ - skip);
    LargeArray<SortItem> items, spare;
    items.resize(n);
    spare.resize(n);
    std::vector<size_t> counts(8 * 256, 0);
    for (size_t i = 0; i < n; ++i) {
        const uint32_t index = in_order ? uint32_t(i) : by_recno[i];
        const uint8_t* k = key(index) + skip;
        uint64_t p = 0;
        for (size_t b = 0; b < 8; ++b) p = (p << 8) | (b < window ? k[b] : 0);
        if (header_.descend) p = ~p;
        items[i] = SortItem{p, index, 0};
        for (size_t b = 0; b < 8; ++b) ++counts[b * 256 + ((p >> (8 * b)) & 0xff)];
    }
    std::vector<uint32_t>().swap(by_recno);
    for (size_t b = 0; b < 8 && n > 1; ++b) {
        size_t* count = counts.data() + b * 256;
        bool one_bucket = false;
        for (size_t v = 0; v < 256; ++v) one_bucket |= count[v] == n;
        if (one_bucket) continue;
        size_t start = 0;
        for (size_t v = 0; v < 256; ++v) {
            size_t c = count[v];
            count[v] = start;
            start += c;
        }
        for (size_t i = 0; i < n; ++i) {
            const SortItem& item = items[i];
            spare[count[(item.prefix >> (8 * b)) & 0xff]++] = item;
        }
        items.swap(spare);
    }
    spare.clear_memory();
    order_.resize(n);
    for (size_t i = 0; i < n; ++i) order_[i] = items[i].index;
    if (skip + window < key_size_) {
        const size_t depth = skip + window;
        auto less = [this, depth](uint32_t a, uint32_t b) { return Less(a, b, depth); };
        for (size_t i = 0; i < n;) {
            size_t j = i + 1;
            while (j < n && items[j].prefix == items[i].prefix) ++j;
            uint32_t* run = order_.data() + i;
            size_t len = j - i;
            if (len > kInsertionSortLimit) {
                std::sort(run, run + len, less);
            } else {
                for (size_t x = 1; x < len; ++x) {
                    uint32_t v = run[x];
                    size_t y = x;
                    for (; y > 0 && less(v, run[y - 1]); --y) run[y] = run[y - 1];
                    run[y] = v;
                }
            }
            i = j;
        }
    }
    if (header_.unique && n > 0) {
        size_t kept = 1;
        for (size_t i = 1; i < n; ++i) {
            if (std::memcmp(key(order_[i]), key(order_[kept - 1]), key_size_) != 0) {
                order_[kept++] = order_[i];
            }
        }
        order_.resize(kept);
    }
    sorted_ = true;
}

// Collects finished pages and hands them to the file in large writes; the
// header page at offset 0 is written last.
class NtxBuilder::PageSink {
  public:
    explicit PageSink(File* file) : file_(file) { buffer_.reserve(kWriteChunk); }

    // Appends a page; returns its offset in the file.
    uint32_t Append(const uint8_t* page) {
        uint64_t offset = next_;
        next_ += kNtxPageSize;
        buffer_.insert(buffer_.end(), page, page + kNtxPageSize);
        if (buffer_.size() >= kWriteChunk) Flush();
        return uint32_t(std::min<uint64_t>(offset, UINT32_MAX));
    }
    void Flush() {
        if (status_.ok() && !buffer_.empty()) {
            status_ = file_->WriteAt(written_, buffer_.data(), buffer_.size());
        }
        written_ += buffer_.size();
        buffer_.clear();
    }
    uint64_t end() const { return next_; }
    const Status& status() const { return status_; }

  private:
    File* file_;
    std::vector<uint8_t> buffer_;
    uint64_t written_ = kNtxPageSize;
    uint64_t next_ = kNtxPageSize;
    Status status_;
};

// Writes the subtree of height `height` holding the sorted keys
// [first, first + count), children before their parent, and returns its
// page offset.  Children are spread as evenly as possible, so every page of
// a level holds about as many keys.
uint32_t NtxBuilder::EmitTree(PageSink* sink, size_t first, size_t count, int height) {
    const size_t item_size = key_size_ + 8;
    const size_t base = size_t(header_.max_items + 2) * 2;
    uint8_t page[kNtxPageSize];
    NtxPage(page, header_.max_items, header_.key_size).Init();
    // Items go to the slots in order, so the offsets stay as Init laid them out.
    auto put_item = [&](size_t slot, uint32_t child, size_t sorted_pos) {
        uint8_t* s = page + base + slot * item_size;
        PutU32(s, child);
        if (sorted_pos != SIZE_MAX) {
            uint32_t k = order_[sorted_pos];
            PutU32(s + 4, recnos_[k]);
            std::memcpy(s + 8, key(k), key_size_);
        }
    };
    if (height == 1) {
        for (size_t i = 0; i < count; ++i) put_item(i, 0, first + i);
        PutU16(page, uint16_t(count));
        emitted_ += count;
        if (progress_ && *progress_) {
            // An index without keys (a condition no record meets) is done at once.
            const double done =
                order_.size() == 0 ? 1.0 : double(emitted_) / double(order_.size());
            const int percent = int(done * 100.0);
            if (percent != reported_percent_) {
                reported_percent_ = percent;
                (*progress_)(done);
            }
        }
        return sink->Append(page);
    }
    const uint64_t child_cap = capacity_[size_t(height) - 2];
    size_t children = size_t((count + 1 + child_cap) / (child_cap + 1));
    if (children < 2) children = 2;
    size_t child_keys = count - (children - 1);
    size_t each = child_keys / children, extra = child_keys % children;
    size_t pos = first;
    for (size_t c = 0; c < children; ++c) {
        size_t n = each + (c < extra ? 1 : 0);
        uint32_t child = EmitTree(sink, pos, n, height - 1);
        pos += n;
        if (c + 1 < children) {
            put_item(c, child, pos);
            ++pos;
            ++emitted_;
        } else {
            put_item(c, child, SIZE_MAX);
        }
    }
    PutU16(page, uint16_t(children - 1));
    return sink->Append(page);
}

Status NtxBuilder::WriteFile(Env* env, const std::string& path,
                             const std::function<void(double)>& progress, bool sync) {
    Sort();
    const uint64_t m = uint64_t(header_.max_items);
    capacity_.clear();
    capacity_.push_back(m);
    int height = 1;
    while (capacity_.back() < order_.size()) {
        capacity_.push_back((m + 1) * capacity_.back() + m);
        ++height;
    }
    const std::string temp = NtxTempName(path);
    Status s;
    {
        auto file = env->Create(temp);
        if (!file.ok()) return file.status();
        PageSink sink(file->get());
        emitted_ = 0;
        reported_percent_ = -1;
        progress_ = &progress;
        uint32_t root = EmitTree(&sink, 0, order_.size(), height);
        progress_ = nullptr;
        sink.Flush();
        s = sink.status();
        if (s.ok() && sink.end() > UINT32_MAX) {
            s = Status::InvalidArgument("Index file " + path + " would exceed 4 GB");
        }
        if (s.ok()) {
            NtxHeader h = header_;
            h.root = root;
            h.free_head = 0;
            h.version = 1;
            uint8_t page[kNtxPageSize];
            EncodeNtxHeader(h, page);
            s = (*file)->WriteAt(0, page, kNtxPageSize);
        }
        if (s.ok() && sync) s = (*file)->Sync();
    }
    if (s.ok() && env->Exists(path)) {
        // Another program using the old index keeps it: take its exclusive
        // lock first, and give up when that fails.
        auto old = env->Open(path, FileAccess::kReadOnly);
        if (!old.ok()) {
            s = old.status();
        } else {
            s = (*old)->SetOpenLock(OpenLock::kExclusive);
            if (!s.ok()) {
                s = Status::Locked("Index file " + path + " is in use by another program");
            } else {
                s = env->Rename(temp, path);
            }
        }
    } else if (s.ok()) {
        s = env->Rename(temp, path);
    }
    if (!s.ok()) (void)env->Delete(temp);
    return s;
}

}  // namespace sde
