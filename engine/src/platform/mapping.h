// Memory taken straight from the operating system: shared mappings of files
// and large zeroed allocations.
//
// A shared memory mapping of an index file, so that reading and writing index
// pages costs no system call: stores land in the operating system's page
// cache at once, exactly as a write would, and survive the process.  The
// mapping covers a window at least as long as the file; the owner grows the
// file itself (through its File) before touching bytes beyond the old end.
#ifndef SDE61_PLATFORM_MAPPING_H
#define SDE61_PLATFORM_MAPPING_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "base/status.h"
#include "platform/file.h"

namespace sde {

class MemoryMapping {
  public:
    // Maps the open file for at least `length` bytes through the file's own
    // descriptor (File::MapShared): no descriptor of its own, so no lock is
    // ever taken or dropped through it.  The file must stay open while the
    // window grows.
    static Result<std::unique_ptr<MemoryMapping>> Open(File* file, uint64_t length);
    ~MemoryMapping();
    MemoryMapping(const MemoryMapping&) = delete;
    MemoryMapping& operator=(const MemoryMapping&) = delete;

    uint8_t* data() const { return data_; }
    uint64_t length() const { return length_; }
    // Makes the window at least `length` bytes long (its address may move).
    Status Grow(uint64_t length);

  private:
    explicit MemoryMapping(File* file) : file_(file) {}
    File* file_;
    uint8_t* data_ = nullptr;
    uint64_t length_ = 0;
};

// Memory for the large arrays of an index build, taken straight from the
// system (in large pages where it offers them, so that filling tens of
// megabytes does not fault in every 4 KB page on its own).  Zeroed.
void* AllocateLarge(size_t bytes);
void FreeLarge(void* memory, size_t bytes);

// A growable array of plain values in such memory.
template <typename T>
class LargeArray {
  public:
    LargeArray() = default;
    ~LargeArray() { Release(); }
    LargeArray(const LargeArray&) = delete;
    LargeArray& operator=(const LargeArray&) = delete;

    void reserve(size_t n) {
        if (n <= capacity_) return;
        T* grown = static_cast<T*>(AllocateLarge(n * sizeof(T)));
        if (size_ > 0) std::memcpy(static_cast<void*>(grown), data_, size_ * sizeof(T));
        Release();
        data_ = grown;
        capacity_ = n;
    }
    // New elements are zero.
    void resize(size_t n) {
        if (n > capacity_) reserve(std::max(n, capacity_ * 2));
        size_ = n;
    }
    void append(const T* values, size_t n) {
        if (size_ + n > capacity_) reserve(std::max(size_ + n, capacity_ * 2 + 1024));
        std::memcpy(static_cast<void*>(data_ + size_), values, n * sizeof(T));
        size_ += n;
    }
    void push_back(const T& value) { append(&value, 1); }
    void swap(LargeArray& other) {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
    }
    void clear_memory() {
        Release();
        size_ = 0;
    }

    T* data() { return data_; }
    const T* data() const { return data_; }
    size_t size() const { return size_; }
    T& operator[](size_t i) { return data_[i]; }
    const T& operator[](size_t i) const { return data_[i]; }

  private:
    void Release() {
        if (data_ != nullptr) FreeLarge(data_, capacity_ * sizeof(T));
        data_ = nullptr;
        capacity_ = 0;
    }
    T* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

}  // namespace sde

#endif  // SDE61_PLATFORM_MAPPING_H
