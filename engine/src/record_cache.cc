#include "record_cache.h"

#include <algorithm>
#include <cstring>

namespace sde {

namespace {

// Bytes of one block and of one sequential read.
constexpr uint32_t kBlockBytes = 4096;
constexpr uint32_t kBlocksPerSequentialRead = 16;
// Most bytes kept; beyond it the cache starts again empty.
constexpr size_t kMaxCachedBytes = size_t(64) << 20;

}  // namespace

void RecordCache::Reset(uint32_t record_length, uint64_t first_offset) {
    Clear();
    length_ = record_length;
    first_offset_ = first_offset;
    per_block_ = std::max<uint32_t>(1, kBlockBytes / std::max<uint32_t>(1, record_length));
}

void RecordCache::Clear() {
    blocks_.clear();
    cached_bytes_ = 0;
    last_miss_ = UINT32_MAX;
}

Status RecordCache::Read(File* file, uint32_t recno, uint32_t record_count, char* out) {
    const uint32_t index = (recno - 1) / per_block_;
    const uint32_t offset_in_block = (recno - 1) % per_block_;
    auto it = blocks_.find(index);
    if (it != blocks_.end() && offset_in_block < it->second.count) {
        std::memcpy(out, it->second.bytes.data() + size_t(offset_in_block) * length_, length_);
        return Status::OK();
    }
    // Read this block, and the next ones too when the reads go forward.
    const uint32_t blocks = last_miss_ != UINT32_MAX && index == last_miss_ + 1
                                ? kBlocksPerSequentialRead
                                : 1;
    last_miss_ = index + blocks - 1;
    const uint32_t first = index * per_block_ + 1;  // first record of the block
    const uint64_t wanted = uint64_t(blocks) * per_block_;
    const uint32_t count = uint32_t(std::min<uint64_t>(wanted, uint64_t(record_count) - first + 1));
    std::string bytes(size_t(count) * length_, '\0');
    SDE_RETURN_IF_ERROR(
        file->ReadExact(first_offset_ + uint64_t(first - 1) * length_, bytes.data(), bytes.size()));
    std::memcpy(out, bytes.data() + size_t(offset_in_block) * length_, length_);
    if (cached_bytes_ + bytes.size() > kMaxCachedBytes) Clear();
    for (uint32_t done = 0, b = index; done < count; done += per_block_, ++b) {
        uint32_t n = std::min(per_block_, count - done);
        Block& block = blocks_[b];
        cached_bytes_ -= block.bytes.size();
        block.bytes.assign(bytes, size_t(done) * length_, size_t(n) * length_);
        block.count = n;
        cached_bytes_ += block.bytes.size();
    }
    return Status::OK();
}

void RecordCache::Written(uint32_t recno, const char* bytes) {
    const uint32_t index = (recno - 1) / per_block_;
    const uint32_t offset_in_block = (recno - 1) % per_block_;
    auto it = blocks_.find(index);
    if (it == blocks_.end()) return;
    Block& block = it->second;
    if (offset_in_block < block.count) {
        std::memcpy(block.bytes.data() + size_t(offset_in_block) * length_, bytes, length_);
    } else if (offset_in_block == block.count) {
        // The next record of a block that ends early: it grows by one.
        block.bytes.append(bytes, length_);
        ++block.count;
        cached_bytes_ += length_;
    }
}

}  // namespace sde
