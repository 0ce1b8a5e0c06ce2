#include "record_cache.h"

#include <algorithm>
#include <cstring>

#include "ntx_map.h"

namespace sde {

namespace {

// Bytes of one block and blocks of one sequential read.
constexpr uint32_t kBlockBytes = 4096;
constexpr uint32_t kBlocksPerSequentialRead = 16;
// Most bytes kept; when the arena is full the cache starts again empty.
constexpr size_t kMaxCachedBytes = size_t(64) << 20;

}  // namespace

RecordCache::~RecordCache() {
    FreeArena();
}

void RecordCache::FreeArena() {
    NtxFreeLarge(arena_, arena_slots_ * block_bytes_);
    arena_ = nullptr;
    arena_slots_ = 0;
}

void RecordCache::Reset(uint32_t record_length, uint64_t first_offset) {
    Clear();
    FreeArena();
    length_ = std::max<uint32_t>(1, record_length);
    first_offset_ = first_offset;
    per_block_ = std::max<uint32_t>(1, kBlockBytes / length_);
    block_bytes_ = size_t(per_block_) * length_;
}

void RecordCache::Clear() {
    blocks_.clear();
    slots_used_ = 0;
    last_miss_ = UINT32_MAX;
}

void RecordCache::MakeRoom(uint32_t needed, uint32_t record_count) {
    if (arena_ != nullptr && slots_used_ + needed <= arena_slots_) return;
    Clear();
    // Room for the whole table (and some growth), within the limit.
    size_t table_blocks = size_t(record_count) / per_block_ + 1;
    size_t wanted = std::max<size_t>(needed, table_blocks + table_blocks / 8 + 16);
    wanted = std::max<size_t>(needed, std::min(wanted, kMaxCachedBytes / block_bytes_));
    if (arena_ != nullptr && arena_slots_ >= wanted) return;
    FreeArena();
    arena_ = static_cast<char*>(NtxAllocateLarge(wanted * block_bytes_));
    arena_slots_ = wanted;
}

Status RecordCache::Read(File* file, uint32_t recno, uint32_t record_count, char* out) {
    const uint32_t index = (recno - 1) / per_block_;
    const uint32_t offset_in_block = (recno - 1) % per_block_;
    if (index < blocks_.size() && offset_in_block < blocks_[index].count) {
        std::memcpy(out, blocks_[index].data + size_t(offset_in_block) * length_, length_);
        return Status::OK();
    }
    // Read this block, and the next ones too when the reads go forward.
    const uint32_t blocks =
        last_miss_ != UINT32_MAX && index == last_miss_ + 1 ? kBlocksPerSequentialRead : 1;
    const uint32_t first = index * per_block_ + 1;  // first record of the block
    const uint64_t wanted = uint64_t(blocks) * per_block_;
    const uint32_t count = uint32_t(std::min<uint64_t>(wanted, uint64_t(record_count) - first + 1));
    read_buffer_.resize(size_t(count) * length_);
    SDE_RETURN_IF_ERROR(file->ReadExact(first_offset_ + uint64_t(first - 1) * length_,
                                        read_buffer_.data(), read_buffer_.size()));
    std::memcpy(out, read_buffer_.data() + size_t(offset_in_block) * length_, length_);

    const uint32_t read_blocks = (count + per_block_ - 1) / per_block_;
    MakeRoom(read_blocks, record_count);
    const uint32_t last = index + read_blocks - 1;
    if (blocks_.size() <= last) blocks_.resize(std::max<size_t>(last + 1, blocks_.size() * 2));
    for (uint32_t done = 0, b = index; done < count; done += per_block_, ++b) {
        uint32_t n = std::min(per_block_, count - done);
        Block& block = blocks_[b];
        if (block.data == nullptr) block.data = arena_ + block_bytes_ * slots_used_++;
        std::memcpy(block.data, read_buffer_.data() + size_t(done) * length_, size_t(n) * length_);
        block.count = n;
    }
    last_miss_ = last;
    return Status::OK();
}

void RecordCache::Written(uint32_t recno, const char* bytes) {
    const uint32_t index = (recno - 1) / per_block_;
    const uint32_t offset_in_block = (recno - 1) % per_block_;
    if (index >= blocks_.size()) return;
    Block& block = blocks_[index];
    // A record inside the block, or the next one of a block that ends early.
    if (block.data != nullptr && offset_in_block <= block.count) {
        std::memcpy(block.data + size_t(offset_in_block) * length_, bytes, length_);
        if (offset_in_block == block.count) ++block.count;
    }
}

}  // namespace sde
