// RecordCache: the records of a table held in memory while the table is open
// for exclusive use, so that random reads (seeks through an index) cost no
// system call once the block of the record has been read.
//
// The records are grouped in blocks of a fixed number of records (about
// 4 KB each); a block is read as a whole.  A miss right behind the block read
// last reads several blocks at once (sequential passes).  Writes go to the
// file as before and are copied into a cached block (write-through), so the
// cache never holds anything the file does not.  Only for exclusive use:
// nobody else may change the file while records are cached.
//
// The blocks lie in one arena sized after the table (at most 64 MB), taken
// from the system in large pages where it offers them: random reads over a
// big table then miss the processor's address cache far less often than
// with blocks spread over the heap.
#ifndef SDE61_DBF_RECORD_CACHE_H
#define SDE61_DBF_RECORD_CACHE_H

#include <cstdint>
#include <string>
#include <vector>

#include "base/status.h"
#include "platform/file.h"

namespace sde {

class RecordCache {
  public:
    RecordCache() = default;
    ~RecordCache();
    RecordCache(const RecordCache&) = delete;
    RecordCache& operator=(const RecordCache&) = delete;

    // Records of record_length bytes; record 1 starts at first_offset.
    void Reset(uint32_t record_length, uint64_t first_offset);

    // Copies record recno (1 <= recno <= record_count, all of them in the
    // file) into out (record_length bytes), reading its block when needed.
    Status Read(File* file, uint32_t recno, uint32_t record_count, char* out);
    // Record recno was written with these bytes.
    void Written(uint32_t recno, const char* bytes);
    // Forgets every record (the file changed in bulk).
    void Clear();

  private:
    struct Block {
        char* data = nullptr;  // per_block_ records in the arena, the first count valid
        uint32_t count = 0;
    };
    // Room for one more group in a table of record_count records.
    void MakeRoom(uint32_t record_count);
    void FreeArena();

    uint32_t length_ = 0;
    uint64_t first_offset_ = 0;
    uint32_t per_block_ = 1;
    size_t block_bytes_ = 0;
    // Blocks by number: a read finds its record with one index into a vector.
    std::vector<Block> blocks_;
    char* arena_ = nullptr;
    size_t arena_slots_ = 0;
    size_t slots_used_ = 0;
};

}  // namespace sde

#endif  // SDE61_DBF_RECORD_CACHE_H
