#include "dbf/dbf_format.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>

#include "base/coding.h"

namespace sde {

namespace {

// Record length when C fields take the decimals byte as the high byte of their width.
uint32_t WidthOf(const uint8_t* desc, bool long_char) {
    uint32_t width = desc[16];
    if (long_char && desc[11] == 'C') width += uint32_t(desc[17]) << 8;
    return width;
}

// The field descriptors of the last header read, the fields made of them
// and the lengths they were checked against.  A table opened again and again
// (a journal opened for each record) has the same descriptors every time:
// when the bytes just read equal these, their fields are taken as they are,
// without parsing and checking them once more.
struct ParsedDescriptors {
    std::string bytes;
    uint32_t header_length = 0;
    uint32_t record_length = 0;
    std::vector<FieldDesc> fields;
};

// Parses and checks count field descriptors into header->fields.
Status ParseFieldDescriptors(File* file, const uint8_t* descriptors, size_t count,
                             DbfHeader* header) {
    auto descriptor = [&](size_t i) { return descriptors + i * kFieldDescriptorSize; };

    // Plain widths first; long character fields only if that is what adds up.
    uint32_t plain = 1, extended = 1;
    for (size_t i = 0; i < count; ++i) {
        plain += WidthOf(descriptor(i), false);
        extended += WidthOf(descriptor(i), true);
    }
    bool long_char = false;
    if (plain != header->record_length) {
        if (extended != header->record_length) {
            return Status::Corruption(file->path(), "record length " +
                                                        std::to_string(header->record_length) +
                                                        " does not match the field widths (" +
                                                        std::to_string(plain) + ")");
        }
        long_char = true;
    }

    header->fields.clear();
    header->fields.reserve(count);
    uint32_t offset = 1;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* d = descriptor(i);
        FieldDesc f;
        size_t len = 0;
        while (len < 11 && d[len] != 0) ++len;
        f.name.assign(reinterpret_cast<const char*>(d), len);
        f.type = d[11] >= 'a' && d[11] <= 'z' ? char(d[11] - 'a' + 'A') : char(d[11]);
        f.width = WidthOf(d, long_char);
        f.decimals = (long_char && f.type == 'C') ? 0 : d[17];
        f.offset = offset;
        offset += f.width;
        // The field's description is only spelled out for a damaged field.
        auto where = [&] {
            return "field " + std::to_string(header->fields.size() + 1) + " (" + f.name + ")";
        };
        if (f.name.empty()) return Status::Corruption(file->path(), where() + " has no name");
        if (f.width == 0) return Status::Corruption(file->path(), where() + " has width 0");
        if (f.type == 'D' && f.width != 8)
            return Status::Corruption(file->path(), where() + ": a date must be 8 wide");
        if (f.type == 'L' && f.width != 1)
            return Status::Corruption(file->path(), where() + ": a logical must be 1 wide");
        if (f.type == 'M' && f.width != 10)
            return Status::Corruption(file->path(), where() + ": a memo must be 10 wide");
        if ((f.type == 'N' || f.type == 'F') && f.decimals > 0 && f.decimals + 2 > f.width) {
            return Status::Corruption(file->path(),
                                      where() + " has more decimals than its width allows");
        }
        header->fields.push_back(std::move(f));
    }
    return Status::OK();
}

Status ReadFieldDescriptors(File* file, const uint8_t* descriptors, size_t count,
                            DbfHeader* header) {
    thread_local ParsedDescriptors last;
    const size_t size = count * kFieldDescriptorSize;
    if (last.header_length == header->header_length &&
        last.record_length == header->record_length && last.bytes.size() == size &&
        std::memcmp(last.bytes.data(), descriptors, size) == 0) {
        header->fields = last.fields;
        return Status::OK();
    }
    SDE_RETURN_IF_ERROR(ParseFieldDescriptors(file, descriptors, count, header));
    last.bytes.assign(reinterpret_cast<const char*>(descriptors), size);
    last.header_length = header->header_length;
    last.record_length = header->record_length;
    last.fields = header->fields;
    return Status::OK();
}

}  // namespace

bool DbfHeader::has_memo() const {
    for (const FieldDesc& f : fields) {
        if (f.type == 'M') return true;
    }
    return false;
}

bool FieldNameEquals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

Status ReadDbfHeader(File* file, DbfHeader* header, std::string* first_record) {
    if (first_record != nullptr) first_record->clear();
    // One read brings the prefix and, but for tables of more than 254 fields,
    // the whole header with it, and mostly the first record as well.  The
    // buffer lives on the stack: tables are opened often.
    constexpr size_t kHeaderReadAhead = 8192;
    uint8_t ahead[kHeaderReadAhead];
    // A table opened again (a journal opened for every record) most likely
    // has the header and record length of its last open: only that much is
    // read, not the whole read-ahead.  Had it grown, the reads below bring
    // the rest, as for any header longer than what was read.
    thread_local std::string last_path;
    thread_local size_t last_needed = 0;
    size_t wanted = sizeof ahead;
    if (last_needed >= kDbfPrefixSize && last_needed < wanted && last_path == file->path()) {
        wanted = last_needed;
    }
    size_t got = 0;
    SDE_RETURN_IF_ERROR(file->ReadAt(0, ahead, wanted, &got));
    if (got < kDbfPrefixSize) return Status::Corruption(file->path(), "shorter than a table header");
    const uint8_t* prefix = ahead;
    // The size after the count: another program appending writes its record
    // before the new count, so this size covers every counted record even
    // while such an append runs.
    auto size = file->Size();
    if (!size.ok()) return size.status();
    const uint64_t file_size = *size;

    header->version = prefix[0];
    header->record_count = GetU32(prefix + 4);
    header->header_length = GetU16(prefix + 8);
    header->record_length = GetU16(prefix + 10);
    std::copy(prefix + kEngineMarkOffset, prefix + kEngineMarkOffset + kEngineMarkSize,
              header->engine_mark);

    if (header->header_length < kDbfPrefixSize + kFieldDescriptorSize + 1) {
        return Status::Corruption(file->path(), "header length " +
                                                    std::to_string(header->header_length) +
                                                    " leaves no room for a field");
    }
    if (header->header_length > file_size) {
        return Status::Corruption(file->path(), "header length " +
                                                    std::to_string(header->header_length) +
                                                    " is beyond the end of the file");
    }
    if (header->record_length < 2) {
        return Status::Corruption(
            file->path(),
            "record length " + std::to_string(header->record_length) + " is too small");
    }

    // Only a header longer than the read-ahead is read again, whole.
    std::string whole;
    const uint8_t* data = ahead;
    if (got < header->header_length) {
        whole.assign(header->header_length, '\0');
        SDE_RETURN_IF_ERROR(file->ReadExact(0, whole.data(), whole.size()));
        data = reinterpret_cast<const uint8_t*>(whole.data());
    }

    // Descriptors run one after the other until the 0x0D terminator or the
    // end of the header.
    const uint8_t* descriptors = data + kDbfPrefixSize;
    size_t count = 0;
    while (kDbfPrefixSize + (count + 1) * kFieldDescriptorSize <= header->header_length &&
           descriptors[count * kFieldDescriptorSize] != 0x0D) {
        ++count;
    }
    if (count == 0) return Status::Corruption(file->path(), "the header describes no fields");
    SDE_RETURN_IF_ERROR(ReadFieldDescriptors(file, descriptors, count, header));
    SDE_RETURN_IF_ERROR(CheckRecordCount(file, *header, header->record_count, file_size));
    last_path = file->path();
    last_needed = size_t(header->header_length) + header->record_length;
    if (first_record != nullptr && header->record_count > 0 && data == ahead &&
        got >= size_t(header->header_length) + header->record_length) {
        first_record->assign(reinterpret_cast<const char*>(ahead) + header->header_length,
                             header->record_length);
    }
    return Status::OK();
}

Status CheckRecordCount(File* file, const DbfHeader& header, uint32_t count, uint64_t file_size) {
    uint64_t needed = header.header_length + uint64_t(count) * header.record_length;
    if (needed > file_size) {
        return Status::Corruption(
            file->path(),
            "the header counts " + std::to_string(count) + " records, the file holds " +
                std::to_string((file_size - std::min<uint64_t>(file_size, header.header_length)) /
                               header.record_length));
    }
    return Status::OK();
}

uint32_t HeaderLengthFor(size_t field_count) {
    return uint32_t(kDbfPrefixSize + kFieldDescriptorSize * field_count + 2);
}

void EncodeDateAndCount(uint32_t record_count, uint8_t out[7]) {
    // The date is looked up at most once a minute: appends write it for every record.
    static time_t cached_minute = -1;
    static uint8_t cached_date[3];
    time_t now = time(nullptr);
    if (now / 60 != cached_minute) {
        struct tm local;
        localtime_r(&now, &local);
        cached_date[0] = uint8_t(local.tm_year % 256);
        cached_date[1] = uint8_t(local.tm_mon + 1);
        cached_date[2] = uint8_t(local.tm_mday);
        cached_minute = now / 60;
    }
    std::copy(cached_date, cached_date + 3, out);
    PutU32(out + 3, record_count);
}

std::string BuildDbfHeader(const DbfHeader& header) {
    std::string bytes(header.header_length, '\0');
    auto* p = reinterpret_cast<uint8_t*>(bytes.data());
    p[0] = header.version;
    EncodeDateAndCount(header.record_count, p + 1);
    PutU16(p + 8, uint16_t(header.header_length));
    PutU16(p + 10, uint16_t(header.record_length));
    std::copy(header.engine_mark, header.engine_mark + kEngineMarkSize, p + kEngineMarkOffset);
    size_t pos = kDbfPrefixSize;
    for (const FieldDesc& f : header.fields) {
        uint8_t* d = p + pos;
        for (size_t i = 0; i < f.name.size() && i < 10; ++i) d[i] = uint8_t(f.name[i]);
        d[11] = uint8_t(f.type);
        if (f.type == 'C' && f.width > 255) {
            d[16] = uint8_t(f.width & 0xFF);
            d[17] = uint8_t(f.width >> 8);
        } else {
            d[16] = uint8_t(f.width);
            d[17] = uint8_t(f.decimals);
        }
        pos += kFieldDescriptorSize;
    }
    p[pos] = 0x0D;
    return bytes;
}

uint32_t LayoutFields(std::vector<FieldDesc>* fields) {
    uint32_t offset = 1;
    for (FieldDesc& f : *fields) {
        f.offset = offset;
        offset += f.width;
    }
    return offset;
}

Status ValidateFieldDefinition(const std::string& name, const std::string& type, int width,
                               int decimals, FieldDesc* out) {
    if (name.empty() || !std::isalpha(static_cast<unsigned char>(name[0]))) {
        return Status::InvalidArgument("Invalid field name. Field names must begin with a letter");
    }
    for (char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') {
            return Status::InvalidArgument("Invalid field name " + name +
                                           ": only letters, digits and \"_\" are allowed");
        }
    }
    if (name.size() > 10) {
        return Status::InvalidArgument("Invalid field name " + name +
                                       ": at most 10 characters are allowed");
    }
    if (type.empty()) return Status::InvalidArgument("Invalid field type");
    char letter = char(std::toupper(static_cast<unsigned char>(type[0])));
    if (type.size() != 1 || std::string("CNFDLM").find(letter) == std::string::npos) {
        return Status::InvalidArgument("Invalid field type");
    }
    if (width <= 0) return Status::InvalidArgument("Invalid field length.");
    if (decimals < 0) return Status::InvalidArgument("Invalid field length.");
    out->name.clear();
    for (char c : name) out->name += char(std::toupper(static_cast<unsigned char>(c)));
    out->type = letter;
    out->decimals = 0;
    switch (letter) {
        case 'C':
            if (width > 65535) return Status::InvalidArgument("Invalid field length.");
            out->width = uint32_t(width);
            break;
        case 'N':
        case 'F':
            if (width > 20) return Status::InvalidArgument("Invalid field length.");
            if (decimals > 0 && decimals + 2 > width) {
                return Status::InvalidArgument("Invalid field length.");
            }
            out->width = uint32_t(width);
            out->decimals = uint32_t(decimals);
            break;
        case 'D':
            out->width = 8;
            break;
        case 'L':
            out->width = 1;
            break;
        case 'M':
            out->width = 10;
            break;
    }
    return Status::OK();
}

}  // namespace sde
