// Status: the result of an engine operation.  An ok status carries nothing;
// a failure carries its kind and a message that names the file and what was
// wrong, in the words a user can act on.  Engine code returns Status (or
// Result<T>) instead of throwing, so that nothing is thrown across the C API.
#ifndef SDE61_BASE_STATUS_H
#define SDE61_BASE_STATUS_H

#include <memory>
#include <string>
#include <utility>
#include <variant>

namespace sde {

class Status {
public:
    // The numbers are those of the SX_ERR_ codes in sde61.h.
    enum class Code {
        kOk = 0,
        kNotFound,         // a file or field that does not exist
        kCorruption,       // a file whose contents do not fit its format
        kIOError,          // the operating system refused a read, write or sync
        kLocked,           // another user holds the file or record
        kInvalidArgument,  // a call whose arguments make no sense
        kNotSupported,     // a valid file feature the engine does not handle
    };

    Status() = default;
    Status(const Status& other) : failure_(other.failure_ ? new Failure(*other.failure_) : nullptr) {}
    Status(Status&& other) noexcept = default;
    Status& operator=(const Status& other) {
        if (this != &other) failure_.reset(other.failure_ ? new Failure(*other.failure_) : nullptr);
        return *this;
    }
    Status& operator=(Status&& other) noexcept = default;

    static Status OK() { return Status(); }
    static Status NotFound(std::string msg) { return Status(Code::kNotFound, std::move(msg)); }
    static Status Corruption(std::string msg) { return Status(Code::kCorruption, std::move(msg)); }
    // The one wording for a file whose bytes do not fit its format:
    // "file <path> is damaged: <what>".
    static Status Corruption(const std::string& file, const std::string& what) {
        return Corruption("file " + file + " is damaged: " + what);
    }
    static Status IOError(std::string msg) { return Status(Code::kIOError, std::move(msg)); }
    static Status Locked(std::string msg) { return Status(Code::kLocked, std::move(msg)); }
    static Status InvalidArgument(std::string msg) {
        return Status(Code::kInvalidArgument, std::move(msg));
    }
    static Status NotSupported(std::string msg) {
        return Status(Code::kNotSupported, std::move(msg));
    }

    bool ok() const { return failure_ == nullptr; }
    Code code() const { return failure_ ? failure_->code : Code::kOk; }
    const std::string& message() const {
        static const std::string kNone;
        return failure_ ? failure_->message : kNone;
    }

private:
    // Only a failure has a body: an ok status is one null pointer, so the
    // statuses passed up and down every call cost next to nothing.
    struct Failure {
        Code code;
        std::string message;
    };
    Status(Code code, std::string msg) : failure_(new Failure{code, std::move(msg)}) {}
    std::unique_ptr<Failure> failure_;
};

// A value or the Status that explains why there is none.
template <typename T>
class Result {
public:
    Result(T value) : value_(std::move(value)) {}          // NOLINT: implicit on purpose
    Result(Status status) : value_(std::move(status)) {}   // NOLINT: implicit on purpose

    bool ok() const { return std::holds_alternative<T>(value_); }
    const Status& status() const {
        static const Status kOk;
        return ok() ? kOk : std::get<Status>(value_);
    }
    T& value() { return std::get<T>(value_); }
    const T& value() const { return std::get<T>(value_); }
    T* operator->() { return &value(); }
    T& operator*() { return value(); }

private:
    std::variant<T, Status> value_;
};

}  // namespace sde

// Returns the status from the current function when it is a failure.
#define SDE_RETURN_IF_ERROR(expr)                    \
    do {                                             \
        ::sde::Status sde_status_ = (expr);          \
        if (!sde_status_.ok()) return sde_status_;   \
    } while (0)

#endif  // SDE61_BASE_STATUS_H
