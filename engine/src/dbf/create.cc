#include "dbf/create.h"

#include <atomic>

#include "dbf/memo.h"

namespace sde {

std::string TemporaryNameBeside(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return path + ".tmp" + std::to_string(CurrentProcessId()) + "_" + std::to_string(counter++);
}

std::string WithTableExtension(const std::string& path) {
    std::string base = BaseName(path);
    if (base.empty() || base.find('.') != std::string::npos) return path;
    return path + ".DBF";
}

Status CreateTableFiles(Env* env, const std::string& path, std::vector<FieldDesc> fields,
                        const uint8_t* engine_mark) {
    if (fields.empty()) return Status::InvalidArgument("a table needs at least one field: " + path);
    if (fields.size() > 1000) return Status::InvalidArgument("too many fields for " + path);
    DbfHeader header;
    header.fields = std::move(fields);
    header.record_length = LayoutFields(&header.fields);
    if (header.record_length > 65535) {
        return Status::InvalidArgument("the fields of " + path + " are too wide for one record");
    }
    header.header_length = HeaderLengthFor(header.fields.size());
    header.version = header.has_memo() ? kDbfVersionMemo : kDbfVersionPlain;
    if (engine_mark != nullptr) {
        std::copy(engine_mark, engine_mark + kEngineMarkSize, header.engine_mark);
    }
    std::string bytes = BuildDbfHeader(header);
    bytes.push_back(char(kEndOfFile));

    std::string table_path = env->Resolve(WithTableExtension(path));
    std::string table_tmp = TemporaryNameBeside(table_path);
    std::string memo_path = env->Resolve(MemoPathFor(table_path));
    std::string memo_tmp = TemporaryNameBeside(memo_path);
    auto cleanup = [&] {
        env->Delete(table_tmp);
        if (header.has_memo()) env->Delete(memo_tmp);
    };
    {
        auto file = env->Create(table_tmp);
        if (!file.ok()) return file.status();
        Status s = (*file)->WriteAt(0, bytes.data(), bytes.size());
        if (!s.ok()) {
            file->reset();
            cleanup();
            return s;
        }
    }
    if (header.has_memo()) {
        Status s = MemoFile::CreateEmpty(env, memo_tmp);
        if (s.ok()) s = env->Rename(memo_tmp, memo_path);
        if (!s.ok()) {
            cleanup();
            return s;
        }
    }
    Status s = env->Rename(table_tmp, table_path);
    if (!s.ok()) cleanup();
    return s;
}

Status TableDefinition::AddField(const std::string& name, const std::string& type, int width,
                                 int decimals) {
    FieldDesc field;
    SDE_RETURN_IF_ERROR(ValidateFieldDefinition(name, type, width, decimals, &field));
    if (int(fields_.size()) >= field_count_) {
        return Status::InvalidArgument("more fields than announced (" +
                                       std::to_string(field_count_) + ") for " + path_);
    }
    for (const FieldDesc& f : fields_) {
        if (FieldNameEquals(f.name, field.name)) {
            return Status::InvalidArgument("field " + field.name + " is defined twice");
        }
    }
    fields_.push_back(std::move(field));
    return Status::OK();
}

Status TableDefinition::CheckComplete() const {
    if (fields_.empty()) return Status::InvalidArgument("no fields defined for " + path_);
    if (int(fields_.size()) != field_count_) {
        return Status::InvalidArgument(std::to_string(field_count_) + " fields announced, " +
                                       std::to_string(fields_.size()) + " defined for " + path_);
    }
    return Status::OK();
}

}  // namespace sde
