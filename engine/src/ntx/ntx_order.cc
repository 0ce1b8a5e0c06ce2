// NTX indexes as table orders: key computation, maintenance, movement, builds.
#include "ntx/ntx_order.h"

#include <algorithm>
#include <cstring>

#include "dbf/table.h"
#include "ntx/ntx_build.h"

namespace sde {

namespace {

// Records read per block while a build collects keys.
constexpr size_t kBuildReadBytes = 4 << 20;

std::string TableNameOf(const std::string& path) {
    std::string base = BaseName(path);
    size_t dot = base.rfind('.');
    if (dot != std::string::npos && dot > 0) base.resize(dot);
    return base;
}

Status ExpressionError(const std::string& path, const std::string& what, const Status& s) {
    return Status::InvalidArgument("Index file " + path + ": " + what + ": " + s.message());
}

}  // namespace

// ---- opening -------------------------------------------------------------------

NtxOrder::NtxOrder(OrderHost* host, std::unique_ptr<NtxIndex> index)
    : index_(std::move(index)),
      cursor_(index_.get()),
      source_(host->fields(), std::string_view(), 0, TableNameOf(host->path()),
              dynamic_cast<Table*>(host)) {}

NtxOrder::~NtxOrder() {
    (void)index_->Flush();
}

Status NtxOrder::Compile() {
    const NtxHeader& h = index_->header();
    auto key = Expression::Compile(h.key_expression, source_);
    if (!key.ok()) return ExpressionError(path(), "key expression cannot be used", key.status());
    key_ = std::move(*key);
    if (!h.for_expression.empty()) {
        auto condition = Expression::Compile(h.for_expression, source_);
        if (!condition.ok()) {
            return ExpressionError(path(), "FOR condition cannot be used", condition.status());
        }
        if ((*condition)->type() != ExprType::kLogical) {
            return Status::InvalidArgument("Index file " + path() +
                                           ": FOR condition is not a logical expression");
        }
        condition_ = std::move(*condition);
    }
    return Status::OK();
}

Result<std::unique_ptr<NtxOrder>> NtxOrder::Open(OrderHost* host, const std::string& path) {
    Env* env = host->env();
    std::string resolved = env->Resolve(path);
    if (!env->Exists(resolved)) {
        return Status::NotFound("Index file " + path + " does not exist");
    }
    auto file =
        env->Open(resolved, host->is_read_only() ? FileAccess::kReadOnly : FileAccess::kReadWrite);
    if (!file.ok()) return file.status();
    Status lock =
        (*file)->SetOpenLock(host->is_shared() ? OpenLock::kShared : OpenLock::kExclusive);
    if (!lock.ok()) {
        return Status::Locked("Index file " + resolved + " is in use by another program");
    }
    auto index = NtxIndex::Open(std::move(*file), host->is_shared(), env == DefaultEnv());
    if (!index.ok()) return index.status();
    (*index)->set_record_limit([host] {
        auto count = host->CurrentRecordCount();
        return count.ok() ? *count : 0u;
    });
    std::unique_ptr<NtxOrder> order(new NtxOrder(host, std::move(*index)));
    SDE_RETURN_IF_ERROR(order->Compile());
    return order;
}

// ---- keys and maintenance ------------------------------------------------------

Status NtxOrder::KeyOf(uint32_t recno, std::string_view record, std::string* key, bool* included) {
    source_.Reset(record, recno);
    *included = true;
    if (condition_) {
        Value v;
        SDE_RETURN_IF_ERROR(condition_->Evaluate(source_, &v));
        *included = v.logical;
        if (!*included) return Status::OK();
    }
    const NtxHeader& h = index_->header();
    return key_->EvaluateKey(source_, h.key_size, h.decimals, key);
}

Status NtxOrder::OnAppend(uint32_t recno, const std::string& record) {
    bool included = false;
    SDE_RETURN_IF_ERROR(KeyOf(recno, record, &key_buffer_, &included));
    if (!included) return Status::OK();
    return index_->Insert(key_buffer_, recno);
}

Status NtxOrder::OnUpdate(uint32_t recno, const std::string& old_record,
                          const std::string& new_record) {
    bool old_in = false, new_in = false;
    SDE_RETURN_IF_ERROR(KeyOf(recno, old_record, &old_key_buffer_, &old_in));
    SDE_RETURN_IF_ERROR(KeyOf(recno, new_record, &key_buffer_, &new_in));
    if (old_in && new_in) {
        if (old_key_buffer_ == key_buffer_) return Status::OK();
        return index_->Replace(old_key_buffer_, key_buffer_, recno);
    }
    if (old_in) return index_->Remove(old_key_buffer_, recno);
    if (new_in) return index_->Insert(key_buffer_, recno);
    return Status::OK();
}

Status NtxOrder::OnZap() {
    return index_->Clear();
}

Status NtxOrder::Flush(bool sync) {
    SDE_RETURN_IF_ERROR(index_->Flush());
    if (sync) SDE_RETURN_IF_ERROR(index_->file()->Sync());
    return Status::OK();
}

// ---- movement ------------------------------------------------------------------

Result<uint32_t> NtxOrder::First() {
    SDE_RETURN_IF_ERROR(cursor_.First());
    return Current();
}

Result<uint32_t> NtxOrder::Last() {
    SDE_RETURN_IF_ERROR(cursor_.Last());
    return Current();
}

// Puts the cursor on the entry of record recno, or on the entry behind where
// it would be (a record the FOR condition leaves out); true when on it.
Result<uint32_t> NtxOrder::Position(uint32_t recno, const std::string& record) {
    // The record's key as it is now: after a change of the current record the
    // walk goes on from its new place.
    const NtxHeader& h = index_->header();
    source_.Reset(record, recno);
    SDE_RETURN_IF_ERROR(key_->EvaluateKey(source_, h.key_size, h.decimals, &key_buffer_));
    if (!cursor_.eof() && cursor_.recno() == recno && cursor_.key() == key_buffer_) return 1u;
    bool found = false;
    SDE_RETURN_IF_ERROR(cursor_.SeekEntry(key_buffer_, recno, &found));
    return found ? 1u : 0u;
}

Result<uint32_t> NtxOrder::Next(uint32_t recno, const std::string& record) {
    auto on = Position(recno, record);
    if (!on.ok()) return on.status();
    if (*on) SDE_RETURN_IF_ERROR(cursor_.Next());
    return Current();
}

Result<uint32_t> NtxOrder::Prev(uint32_t recno, const std::string& record) {
    auto on = Position(recno, record);
    if (!on.ok()) return on.status();
    SDE_RETURN_IF_ERROR(cursor_.Prev());
    return Current();
}

Result<SeekResult> NtxOrder::Seek(std::string_view key) {
    const NtxHeader& h = index_->header();
    std::string_view wanted = key.substr(0, h.key_size);
    if (key_->type() == ExprType::kNumeric) {
        // A numeric index is sought by the number the text gives.
        Value v;
        v.type = ExprType::kNumeric;
        v.number = ParseNumber(key);
        Status s = KeyBytes(v, h.key_size, h.decimals, &key_buffer_);
        if (!s.ok()) return SeekResult{};  // cannot be in the index
        wanted = key_buffer_;
    }
    bool found = false;
    SDE_RETURN_IF_ERROR(cursor_.Seek(wanted, &found));
    SeekResult result;
    result.found = found;
    result.recno = Current();
    return result;
}

// ---- building ------------------------------------------------------------------

Result<std::unique_ptr<NtxOrder>> NtxOrder::Build(OrderHost* host, const std::string& path,
                                                  const std::string& expression,
                                                  const std::string& condition, bool unique,
                                                  bool descend, const NtxProgress& progress) {
    int reported = -1;
    auto report = [&](int percent) {
        if (progress && percent != reported) {
            reported = percent;
            progress(percent);
        }
    };
    if (expression.empty() || expression.size() > kNtxMaxExpressionLength) {
        return Status::InvalidArgument("Invalid index expression [" + expression + "]");
    }
    if (condition.size() > kNtxMaxExpressionLength) {
        return Status::InvalidArgument("Invalid index condition [" + condition + "]");
    }
    Table* table = dynamic_cast<Table*>(host);
    RecordView source(host->fields(), std::string_view(), 0, TableNameOf(host->path()), table);
    auto key = Expression::Compile(expression, source);
    if (!key.ok()) {
        return Status::InvalidArgument("Invalid index expression [" + expression +
                                       "]: " + key.status().message());
    }
    std::unique_ptr<Expression> cond;
    if (!condition.empty()) {
        auto c = Expression::Compile(condition, source);
        if (!c.ok() || (*c)->type() != ExprType::kLogical) {
            return Status::InvalidArgument("Invalid index condition [" + condition + "]");
        }
        cond = std::move(*c);
    }
    auto count = host->CurrentRecordCount();
    if (!count.ok()) return count.status();
    report(0);

    // The key width: fixed by the expression, else what the first record gives.
    std::string first_record;
    if (*count > 0) {
        SDE_RETURN_IF_ERROR(host->ReadStoredRecord(1, &first_record));
    } else {
        first_record.assign(host->record_length(), ' ');
    }
    source.Reset(first_record, *count > 0 ? 1 : 0);
    auto shape = (*key)->KeyShape(source);
    if (!shape.ok()) {
        return Status::InvalidArgument("Invalid index expression [" + expression +
                                       "]: " + shape.status().message());
    }
    if (shape->width < 1 || shape->width > kNtxMaxKeySize) {
        return Status::InvalidArgument("Index key of expression [" + expression + "] is " +
                                       std::to_string(shape->width) + " bytes long; at most " +
                                       std::to_string(kNtxMaxKeySize) + " are possible");
    }
    int decimals = shape->type == ExprType::kNumeric ? shape->decimals : 0;
    NtxHeader header = NewNtxHeader(expression, condition, shape->width, decimals, unique, descend);
    NtxBuilder builder(header);
    builder.Reserve(*count);

    // Collect the keys of all records: in large blocks straight from the
    // file when the table stores plain records, else record by record.
    std::string key_bytes;
    auto add = [&](uint32_t recno, std::string_view record) -> Status {
        source.Reset(record, recno);
        if (cond) {
            Value v;
            SDE_RETURN_IF_ERROR(cond->Evaluate(source, &v));
            if (!v.logical) return Status::OK();
        }
        SDE_RETURN_IF_ERROR(
            (*key)->EvaluateKey(source, header.key_size, header.decimals, &key_bytes));
        builder.Add(recno, reinterpret_cast<const uint8_t*>(key_bytes.data()));
        return Status::OK();
    };
    const uint32_t total = *count;
    if (table != nullptr && !table->has_cipher() && !table->encrypted()) {
        SDE_RETURN_IF_ERROR(table->FlushPending());
        auto data = host->env()->Open(host->path(), FileAccess::kReadOnly);
        if (!data.ok()) return data.status();
        const size_t length = host->record_length();
        const size_t per_block = std::max<size_t>(1, kBuildReadBytes / length);
        std::string block;
        for (uint32_t first = 1; first <= total;) {
            size_t n = std::min<size_t>(per_block, total - first + 1);
            block.resize(n * length);
            SDE_RETURN_IF_ERROR((*data)->ReadExact(table->header().RecordOffset(first),
                                                   block.data(), block.size()));
            for (size_t i = 0; i < n; ++i) {
                SDE_RETURN_IF_ERROR(
                    add(first + uint32_t(i), std::string_view(block.data() + i * length, length)));
            }
            first += uint32_t(n);
            report(int(uint64_t(first - 1) * 50 / std::max<uint32_t>(total, 1)));
        }
    } else {
        std::string record;
        for (uint32_t recno = 1; recno <= total; ++recno) {
            SDE_RETURN_IF_ERROR(host->ReadStoredRecord(recno, &record));
            SDE_RETURN_IF_ERROR(add(recno, record));
            if (recno % 4096 == 0) report(int(uint64_t(recno) * 50 / total));
        }
    }
    report(50);
    SDE_RETURN_IF_ERROR(builder.WriteFile(
        host->env(), host->env()->Resolve(path), [&](double f) { report(50 + int(f * 49.0)); },
        host->commit_full()));
    auto order = Open(host, path);
    if (!order.ok()) return order.status();
    report(100);
    return order;
}

}  // namespace sde
