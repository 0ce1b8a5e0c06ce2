// Sorting index keys in memory and writing balanced NTX pages bottom-up.
#include "ntx_build.h"

#include <unistd.h>

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
    return DirName(path) + "." + BaseName(path) + "." + std::to_string(getpid()) + ".tmp";
}

NtxBuilder::NtxBuilder(const NtxHeader& header)
    : header_(header), key_size_(header.key_size) {}

void NtxBuilder::Reserve(size_t records) {
    keys_.reserve(records * key_size_);
    recnos_.reserve(records);
}

void NtxBuilder::Add(uint32_t recno, const uint8_t* key) {
    keys_.insert(keys_.end(), key, key + key_size_);
    recnos_.push_back(recno);
    sorted_ = false;
}

bool NtxBuilder::Less(uint32_t a, uint32_t b, size_t depth) const {
    int c = std::memcmp(key(a) + depth, key(b) + depth, key_size_ - depth);
    if (header_.descend) c = -c;
    if (c != 0) return c < 0;
    return recnos_[a] < recnos_[b];
}

// Most significant byte first radix sort.  Distribution is stable and the
// keys arrive in record order, so equal keys stay in record order.
void NtxBuilder::SortRange(uint32_t* a, uint32_t* tmp, size_t n, size_t depth) {
    while (n > 1) {
        if (n <= kInsertionSortLimit || depth >= key_size_) {
            for (size_t i = 1; i < n; ++i) {
                uint32_t v = a[i];
                size_t j = i;
                while (j > 0 && Less(v, a[j - 1], depth)) {
                    a[j] = a[j - 1];
                    --j;
                }
                a[j] = v;
            }
            return;
        }
        size_t counts[257] = {};
        const bool descend = header_.descend;
        for (size_t i = 0; i < n; ++i) {
            uint8_t b = key(a[i])[depth];
            ++counts[size_t(descend ? 255 - b : b) + 1];
        }
        // All in one bucket: look at the next byte without moving anything.
        bool single = false;
        for (size_t b = 1; b <= 256; ++b) {
            if (counts[b] == n) {
                single = true;
                break;
            }
            if (counts[b] != 0) break;
        }
        if (single) {
            ++depth;
            continue;
        }
        for (size_t b = 1; b <= 256; ++b) counts[b] += counts[b - 1];
        size_t starts[257];
        std::memcpy(starts, counts, sizeof starts);
        for (size_t i = 0; i < n; ++i) {
            uint8_t b = key(a[i])[depth];
            tmp[counts[descend ? 255 - b : b]++] = a[i];
        }
        std::memcpy(a, tmp, n * sizeof(uint32_t));
        for (size_t b = 0; b < 256; ++b) {
            size_t begin = starts[b], end = starts[b + 1];
            if (end - begin > 1) SortRange(a + begin, tmp + begin, end - begin, depth + 1);
        }
        return;
    }
}

void NtxBuilder::Sort() {
    if (sorted_) return;
    size_t n = recnos_.size();
    order_.resize(n);
    for (size_t i = 0; i < n; ++i) order_[i] = uint32_t(i);
    // Keys added out of record order still sort equal keys by record number:
    // the insertion sort compares record numbers, and bucket passes are
    // stable, so only the input order of equal keys matters; put it right.
    bool in_order = true;
    for (size_t i = 1; i < n && in_order; ++i) in_order = recnos_[i - 1] < recnos_[i];
    if (!in_order) {
        std::stable_sort(order_.begin(), order_.end(),
                         [&](uint32_t a, uint32_t b) { return recnos_[a] < recnos_[b]; });
    }
    std::vector<uint32_t> tmp(n);
    SortRange(order_.data(), tmp.data(), n, 0);
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

uint32_t NtxBuilder::NewPage() {
    size_t offset = image_.size();
    image_.resize(offset + kNtxPageSize);
    NtxPage(image_.data() + offset, header_.max_items, header_.key_size).Init();
    return uint32_t(offset);
}

// Writes the subtree of height `height` holding the sorted keys
// [first, first + count) and returns its page offset.  Children are spread
// as evenly as possible, so every page of a level holds about as many keys.
uint32_t NtxBuilder::EmitTree(size_t first, size_t count, int height) {
    const size_t item_size = key_size_ + 8;
    const size_t base = size_t(header_.max_items + 2) * 2;
    uint32_t offset = NewPage();
    // Items are written to the slots in order, so the offsets stay as Init
    // laid them out.
    auto put_item = [&](size_t slot, uint32_t child, size_t sorted_pos) {
        uint8_t* s = image_.data() + offset + base + slot * item_size;
        PutU32(s, child);
        if (sorted_pos != SIZE_MAX) {
            uint32_t k = order_[sorted_pos];
            PutU32(s + 4, recnos_[k]);
            std::memcpy(s + 8, key(k), key_size_);
        }
    };
    if (height == 1) {
        for (size_t i = 0; i < count; ++i) put_item(i, 0, first + i);
        PutU16(image_.data() + offset, uint16_t(count));
        emitted_ += count;
        if (progress_ && *progress_) (*progress_)(double(emitted_) / double(order_.size()));
        return offset;
    }
    const uint64_t child_cap = capacity_[size_t(height) - 2];
    size_t children = size_t((count + 1 + child_cap) / (child_cap + 1));
    if (children < 2) children = 2;
    size_t child_keys = count - (children - 1);
    size_t each = child_keys / children, extra = child_keys % children;
    size_t pos = first;
    for (size_t c = 0; c < children; ++c) {
        size_t n = each + (c < extra ? 1 : 0);
        uint32_t child = EmitTree(pos, n, height - 1);
        pos += n;
        if (c + 1 < children) {
            put_item(c, child, pos);
            ++pos;
            ++emitted_;
        } else {
            put_item(c, child, SIZE_MAX);
        }
    }
    PutU16(image_.data() + offset, uint16_t(children - 1));
    return offset;
}

Status NtxBuilder::WriteFile(Env* env, const std::string& path,
                             const std::function<void(double)>& progress) {
    Sort();
    const uint64_t m = uint64_t(header_.max_items);
    capacity_.clear();
    capacity_.push_back(m);
    int height = 1;
    while (capacity_.back() < order_.size()) {
        capacity_.push_back((m + 1) * capacity_.back() + m);
        ++height;
    }
    size_t pages_guess = order_.size() / size_t(header_.half_page) + 2;
    image_.clear();
    image_.reserve((pages_guess + 1) * kNtxPageSize);
    image_.resize(kNtxPageSize);  // the header, written last
    emitted_ = 0;
    progress_ = &progress;
    uint32_t root = EmitTree(0, order_.size(), height);
    progress_ = nullptr;
    if (image_.size() > UINT32_MAX) {
        return Status::InvalidArgument("Index file " + path + " would exceed 4 GB");
    }
    NtxHeader h = header_;
    h.root = root;
    h.free_head = 0;
    h.version = 1;
    EncodeNtxHeader(h, image_.data());

    const std::string temp = NtxTempName(path);
    Status s;
    {
        auto file = env->Create(temp);
        if (!file.ok()) return file.status();
        for (size_t at = 0; at < image_.size() && s.ok(); at += kWriteChunk) {
            s = (*file)->WriteAt(at, image_.data() + at, std::min(kWriteChunk, image_.size() - at));
        }
        if (s.ok()) s = (*file)->Sync();
    }
    std::vector<uint8_t>().swap(image_);
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
