// The dBASE III table header: its fields, how it is read from disk with every
// value range-checked against the file, and how it is written.
//
// The header (numbers little-endian).
//
// | offset  | size | meaning                                                  |
// |---------|------|----------------------------------------------------------|
// | 0       | 1    | version: 0x03 without memo file, 0x83 with a .DBT memo   |
// | 1       | 3    | date of last update: years since 1900, month, day        |
// | 4       | 4    | record count, deleted records included                   |
// | 8       | 2    | header length (records start here)                       |
// | 10      | 2    | record length: 1 flag byte + the field widths            |
// | 12      | 20   | zero; free for the engine's own marks (encryption)       |
// | 32      | 32*n | field descriptors, see below                             |
// | 32+32n  | 1-2  | 0x0D terminator (written 0x0D 0x00; others write 0x0D)   |
//
// A field descriptor.
//
// | offset | size | meaning                                                   |
// |--------|------|-----------------------------------------------------------|
// | 0      | 11   | name, NUL padded                                          |
// | 11     | 1    | type letter C N F D L M (others are read as raw bytes)    |
// | 12     | 4    | zero (some writers put the field offset here; ignored)    |
// | 16     | 1    | width (C fields: with the decimals byte as high byte when |
// |        |      | that is what makes the record length add up)              |
// | 17     | 1    | decimals                                                  |
// | 18     | 14   | zero                                                      |
//
// A record, at header length + (record number - 1) x record length; the last
// record is followed by a 0x1A end-of-file byte.
//
// | offset | size   | meaning                                                 |
// |--------|--------|---------------------------------------------------------|
// | 0      | 1      | ' ' live, '*' deleted                                   |
// | 1      | widths | the fields in descriptor order, in their stored form    |
// |        |        | (field_value.h)                                         |
#ifndef SDE61_DBF_DBF_FORMAT_H
#define SDE61_DBF_DBF_FORMAT_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/status.h"
#include "platform/file.h"

namespace sde {

constexpr size_t kDbfPrefixSize = 32;
constexpr size_t kFieldDescriptorSize = 32;
constexpr size_t kEngineMarkOffset = 12;
constexpr size_t kEngineMarkSize = 20;
constexpr uint8_t kDbfVersionPlain = 0x03;
constexpr uint8_t kDbfVersionMemo = 0x83;
constexpr uint8_t kEndOfFile = 0x1A;
constexpr uint8_t kLiveFlag = ' ';
constexpr uint8_t kDeletedFlag = '*';

struct FieldDesc {
    std::string name;  // as stored (upper case when we write it)
    char type = 'C';   // C N F D L M, or another letter read as raw bytes
    uint32_t width = 0;
    uint32_t decimals = 0;
    uint32_t offset = 0;  // position inside the record (the flag byte is at 0)
};

struct DbfHeader {
    uint8_t version = kDbfVersionPlain;
    uint32_t record_count = 0;
    uint32_t header_length = 0;
    uint32_t record_length = 0;
    uint8_t engine_mark[kEngineMarkSize] = {};
    std::vector<FieldDesc> fields;

    bool has_memo() const;
    // Byte offset of a record (1-based) inside the file.
    uint64_t RecordOffset(uint32_t recno) const {
        return header_length + uint64_t(recno - 1) * record_length;
    }
};

// Reads and checks the header of a table file.  Any value that does not fit
// the file gives a corruption status naming the file.  With `first_record`,
// the bytes of record 1 as they stand on disk come along when the one read
// of the header brought them too; it is left empty otherwise.
Status ReadDbfHeader(File* file, DbfHeader* header, std::string* first_record = nullptr);
// Checks a record count (read again in shared mode) against the file size.
Status CheckRecordCount(File* file, const DbfHeader& header, uint32_t count, uint64_t file_size);

// Header length a table of these fields gets from us.
uint32_t HeaderLengthFor(size_t field_count);
// The complete header bytes of `header` (fields, offsets and lengths as given).
std::string BuildDbfHeader(const DbfHeader& header);
// Bytes 1..7: today's date and the record count.
void EncodeDateAndCount(uint32_t record_count, uint8_t out[7]);

// Checks a field definition and fills in its canonical width; the texts are the
// ones a caller shows the user.
Status ValidateFieldDefinition(const std::string& name, const std::string& type, int width,
                               int decimals, FieldDesc* out);

// Computes the offsets and the record length of a field list.
uint32_t LayoutFields(std::vector<FieldDesc>* fields);

// Case-insensitive comparison of field names (ASCII).
bool FieldNameEquals(std::string_view a, std::string_view b);

}  // namespace sde

#endif  // SDE61_DBF_DBF_FORMAT_H
