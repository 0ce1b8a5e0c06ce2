#include "common/version_text.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "common/file_names.h"
#include "common/file_version_note.h"
#include "common/little_endian.h"

namespace zer1 {
namespace {

// Reads byte ranges of one file, refusing every range that does not lie
// wholly inside it.
class RangeReader {
  public:
    explicit RangeReader(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        struct stat st;
        if (fd_ >= 0 && ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) size_ = uint64_t(st.st_size);
    }
    ~RangeReader() {
        if (fd_ >= 0) ::close(fd_);
    }
    RangeReader(const RangeReader&) = delete;
    RangeReader& operator=(const RangeReader&) = delete;

    bool Read(uint64_t offset, uint64_t length, std::vector<uint8_t>& out) const {
        if (fd_ < 0 || offset > size_ || length > size_ - offset) return false;
        out.resize(length);
        std::size_t done = 0;
        while (done < length) {
            const ssize_t n = ::pread(fd_, out.data() + done, length - done, off_t(offset + done));
            if (n <= 0) return false;
            done += std::size_t(n);
        }
        return true;
    }

  private:
    int fd_;
    uint64_t size_ = 0;
};

// ELF header fields used here (little-endian files only):
//
//   offset  size      meaning
//   0       4         magic 7F 'E' 'L' 'F'
//   4       1         class: 1 = 32-bit, 2 = 64-bit
//   5       1         data encoding: 1 = little-endian
//   32/40   4/8       e_shoff: file offset of the section header table (32-/64-bit)
//   46/58   2         e_shentsize: size of one section header
//   48/60   2         e_shnum: number of section headers (0: see section 0's sh_size)
//   50/62   2         e_shstrndx: index of the section-name table (0xFFFF: section 0's sh_link)
//
// Section header fields (32-bit offset/size, 64-bit offset/size):
//   sh_name 0/4 and 0/4, sh_type 4/4 and 4/4, sh_link 24/4 and 40/4,
//   sh_offset 16/4 and 24/8, sh_size 20/4 and 32/8.
struct SectionHeader {
    uint32_t name = 0;
    uint32_t type = 0;
    uint32_t link = 0;
    uint64_t offset = 0;
    uint64_t size = 0;
};

constexpr uint32_t kSectionTypeNoBits = 8;
constexpr uint64_t kMaxSections = 65536;
constexpr uint64_t kMaxNameTableSize = 1 << 20;
constexpr uint64_t kMaxVersionSectionSize = 4096;

class ElfSections {
  public:
    explicit ElfSections(const RangeReader& file) : file_(file) {}

    bool Load() {
        std::vector<uint8_t> ident;
        if (!file_.Read(0, 64, ident) && !file_.Read(0, 52, ident)) return false;
        if (std::memcmp(ident.data(),
                        "\x7F"
                        "ELF",
                        4) != 0 ||
            ident[5] != 1)
            return false;
        if (ident[4] == 2 && ident.size() >= 64) {
            wide_ = true;
            table_offset_ = GetU64(&ident[40]);
            entry_size_ = GetU16(&ident[58]);
            count_ = GetU16(&ident[60]);
            names_index_ = GetU16(&ident[62]);
        } else if (ident[4] == 1) {
            wide_ = false;
            table_offset_ = GetU32(&ident[32]);
            entry_size_ = GetU16(&ident[46]);
            count_ = GetU16(&ident[48]);
            names_index_ = GetU16(&ident[50]);
        } else {
            return false;
        }
        if (table_offset_ == 0 || entry_size_ < (wide_ ? 64u : 40u)) return false;
        if (count_ == 0 || names_index_ == 0xFFFF) {  // extended numbering lives in section 0
            SectionHeader first;
            if (!Header(0, first)) return false;
            if (count_ == 0) count_ = first.size;
            if (names_index_ == 0xFFFF) names_index_ = first.link;
        }
        if (count_ == 0 || count_ > kMaxSections || names_index_ >= count_) return false;
        SectionHeader names;
        if (!Header(names_index_, names) || names.type == kSectionTypeNoBits ||
            names.size > kMaxNameTableSize) {
            return false;
        }
        return file_.Read(names.offset, names.size, name_table_);
    }

    // Contents of the first section called `wanted`.
    bool Find(std::string_view wanted, std::vector<uint8_t>& contents) const {
        for (uint64_t i = 1; i < count_; ++i) {
            SectionHeader header;
            if (!Header(i, header)) return false;
            if (Name(header) != wanted) continue;
            if (header.type == kSectionTypeNoBits || header.size > kMaxVersionSectionSize) {
                return false;
            }
            return file_.Read(header.offset, header.size, contents);
        }
        return false;
    }

  private:
    bool Header(uint64_t index, SectionHeader& header) const {
        std::vector<uint8_t> raw;
        if (index > kMaxSections ||
            !file_.Read(table_offset_ + index * entry_size_, entry_size_, raw)) {
            return false;
        }
        header.name = GetU32(&raw[0]);
        header.type = GetU32(&raw[4]);
        if (wide_) {
            header.offset = GetU64(&raw[24]);
            header.size = GetU64(&raw[32]);
            header.link = GetU32(&raw[40]);
        } else {
            header.offset = GetU32(&raw[16]);
            header.size = GetU32(&raw[20]);
            header.link = GetU32(&raw[24]);
        }
        return true;
    }

    std::string_view Name(const SectionHeader& header) const {
        if (header.name >= name_table_.size()) return {};
        const char* start = reinterpret_cast<const char*>(name_table_.data()) + header.name;
        const std::size_t limit = name_table_.size() - header.name;
        return std::string_view(start, strnlen(start, limit));
    }

    const RangeReader& file_;
    bool wide_ = false;
    uint64_t table_offset_ = 0;
    uint64_t entry_size_ = 0;
    uint64_t count_ = 0;
    uint64_t names_index_ = 0;
    std::vector<uint8_t> name_table_;
};

// "1.0.0.18" -> {1, 0, 0, 18}; exactly four parts of 0 to 65535.
std::optional<FileVersion> ParseVersion(std::string_view text) {
    FileVersion version{};
    for (int part = 0; part < 4; ++part) {
        uint16_t value = 0;
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end == text.data()) return std::nullopt;
        version[part] = value;
        text.remove_prefix(std::size_t(end - text.data()));
        if (part < 3) {
            if (text.empty() || text.front() != '.') return std::nullopt;
            text.remove_prefix(1);
        }
    }
    if (!text.empty()) return std::nullopt;
    return version;
}

struct LoadedSearch {
    std::string wanted;
    std::string found;
};

int MatchLoadedObject(dl_phdr_info* info, size_t, void* data) {
    auto* search = static_cast<LoadedSearch*>(data);
    if (info->dlpi_name == nullptr || info->dlpi_name[0] == '\0') return 0;
    const std::string path = info->dlpi_name;
    if (FileNamePart(path) != search->wanted) return 0;
    search->found = path;
    return 1;
}

}  // namespace

std::optional<FileVersion> ReadFileVersion(const std::string& path) {
    RangeReader file(path);
    ElfSections sections(file);
    std::vector<uint8_t> contents;
    if (!sections.Load() || !sections.Find(ZER1_FILE_VERSION_SECTION, contents)) {
        return std::nullopt;
    }
    std::string_view text(reinterpret_cast<const char*>(contents.data()), contents.size());
    constexpr std::string_view kMarker = ZER1_FILE_VERSION_MARKER;
    const std::size_t marker = text.find(kMarker);
    if (marker == std::string_view::npos) return std::nullopt;
    text.remove_prefix(marker + kMarker.size());
    text = text.substr(0, text.find('\0'));
    return ParseVersion(text);
}

std::optional<std::string> FindLibraryFile(const std::string& name) {
    if (name.empty()) return std::nullopt;
    if (name.find('/') != std::string::npos) return ResolveFileName(name);

    LoadedSearch search{name, {}};
    if (dl_iterate_phdr(MatchLoadedObject, &search) != 0) return search.found;

    // Let the loader search its path; the handle is dropped again at once.
    void* handle = ::dlopen(name.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (handle == nullptr) return std::nullopt;
    std::optional<std::string> path;
    link_map* map = nullptr;
    if (::dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr &&
        map->l_name[0] != '\0') {
        path = map->l_name;
    }
    ::dlclose(handle);
    return path;
}

std::string FormatVersionText(const FileVersion& version) {
    char text[64];
    std::snprintf(text, sizeof text, "V%d.%d%dR%d", version[0], version[1], version[2], version[3]);
    return text;
}

std::string VersionText(const std::string& file_name) {
    const std::optional<std::string> path = FindLibraryFile(file_name);
    if (!path) return "";
    const std::optional<FileVersion> version = ReadFileVersion(*path);
    return version ? FormatVersionText(*version) : "";
}

}  // namespace zer1
