// POSIX implementation of MemoryMapping: the file's own descriptor maps the
// first window (File::MapShared), mremap grows it.  The index file is never
// opened a second time: closing a second descriptor would drop every POSIX
// record lock this process holds on the file.
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "platform/mapping.h"

namespace sde {

namespace {

// Windows grow by whole megabytes, at least doubling, to make remaps rare.
uint64_t WindowFor(uint64_t length, uint64_t current) {
    uint64_t window = std::max<uint64_t>(length, current * 2);
    const uint64_t mb = 1 << 20;
    return (window + mb - 1) / mb * mb;
}

}  // namespace

Result<std::unique_ptr<MemoryMapping>> MemoryMapping::Open(File* file, uint64_t length) {
    std::unique_ptr<MemoryMapping> mapping(new MemoryMapping(file));
    SDE_RETURN_IF_ERROR(mapping->Grow(length));
    return mapping;
}

MemoryMapping::~MemoryMapping() {
    if (data_ != nullptr) munmap(data_, length_);
}

Status MemoryMapping::Grow(uint64_t length) {
    if (data_ != nullptr && length <= length_) return Status::OK();
    uint64_t window = WindowFor(length, length_);
    void* p;
    if (data_ == nullptr) {
        auto mapped = file_->MapShared(window);
        if (!mapped.ok()) return mapped.status();
        p = *mapped;
    } else {
        p = mremap(data_, length_, window, MREMAP_MAYMOVE);
        if (p == MAP_FAILED)
            return Status::IOError("cannot map index file " + file_->path() + ": " +
                                   std::strerror(errno));
    }
    data_ = static_cast<uint8_t*>(p);
    length_ = window;
    return Status::OK();
}

void* AllocateLarge(size_t bytes) {
    if (bytes == 0) bytes = 1;
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    if (bytes >= (4u << 20)) (void)madvise(p, bytes, MADV_HUGEPAGE);
    return p;
}

void FreeLarge(void* memory, size_t bytes) {
    if (memory != nullptr) munmap(memory, bytes == 0 ? 1 : bytes);
}

}  // namespace sde
