#include "dbf/record_cache.h"

#include <algorithm>
#include <cstring>

#include "platform/mapping.h"

namespace sde {

namespace {

// Bytes of one block, and blocks read together: a miss reads the aligned
// group of blocks around the record, so that both a pass through the table
// and random seeks over it need few reads.
constexpr uint32_t kBlockBytes = 4096;
constexpr uint32_t kBlocksPerGroup = 16;
// Most bytes kept; when the arena is full the cache starts again empty.
constexpr size_t kMaxCachedBytes = size_t(64) << 20;

}  // namespace

RecordCache::~RecordCache() {
    FreeArena();
}

void RecordCache::FreeArena() {
    FreeLarge(arena_, arena_slots_ * block_bytes_);
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
}

void RecordCache::MakeRoom(uint32_t record_count) {
    if (arena_ != nullptr && slots_used_ + kBlocksPerGroup <= arena_slots_) return;
    Clear();
    // Room for the whole table (and some growth), within the limit.
    size_t table_blocks = size_t(record_count) / per_block_ + 1;
    size_t wanted = table_blocks + table_blocks / 8 + kBlocksPerGroup;
    wanted = std::min(wanted, kMaxCachedBytes / block_bytes_);
    wanted = std::max<size_t>(kBlocksPerGroup, wanted / kBlocksPerGroup * kBlocksPerGroup);
    if (arena_ != nullptr && arena_slots_ >= wanted) return;
    FreeArena();
    arena_ = static_cast<char*>(AllocateLarge(wanted * block_bytes_));
    arena_slots_ = wanted;
}

Status RecordCache::Read(File* file, uint32_t recno, uint32_t record_count, char* out) {
    const uint32_t index = (recno - 1) / per_block_;
    const uint32_t offset_in_block = (recno - 1) % per_block_;
    if (index < blocks_.size() && offset_in_block < blocks_[index].count) {
        std::memcpy(out, blocks_[index].data + size_t(offset_in_block) * length_, length_);
        return Status::OK();
    }
    // The blocks of a group lie side by side in the arena, so the group is
    // read from the file straight into its place.
    const uint32_t first_block = index / kBlocksPerGroup * kBlocksPerGroup;
    const uint64_t first_record = uint64_t(first_block) * per_block_ + 1;
    const uint32_t count = uint32_t(
        std::min<uint64_t>(uint64_t(kBlocksPerGroup) * per_block_, record_count - first_record + 1));
    if (blocks_.size() < first_block + kBlocksPerGroup) {
        blocks_.resize(std::max<size_t>(first_block + kBlocksPerGroup, blocks_.size() * 2));
    }
    char* base = blocks_[first_block].data;
    if (base == nullptr) {
        MakeRoom(record_count);
        if (blocks_.size() < first_block + kBlocksPerGroup) {
            blocks_.resize(first_block + kBlocksPerGroup);  // MakeRoom may have emptied it
        }
        base = arena_ + block_bytes_ * slots_used_;
        slots_used_ += kBlocksPerGroup;
        for (uint32_t b = 0; b < kBlocksPerGroup; ++b) {
            blocks_[first_block + b].data = base + block_bytes_ * b;
        }
    }
    for (uint32_t b = 0; b < kBlocksPerGroup; ++b) blocks_[first_block + b].count = 0;
    SDE_RETURN_IF_ERROR(file->ReadExact(first_offset_ + (first_record - 1) * length_, base,
                                        size_t(count) * length_));
    for (uint32_t b = 0, left = count; b < kBlocksPerGroup && left > 0; ++b) {
        uint32_t n = std::min(per_block_, left);
        blocks_[first_block + b].count = n;
        left -= n;
    }
    std::memcpy(out, blocks_[index].data + size_t(offset_in_block) * length_, length_);
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
