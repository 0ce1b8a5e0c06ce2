#include "faulty_env.h"

namespace sde {

namespace {

// A file of a FaultyEnv: writes count against the Env's budget.
class FaultyFile : public File {
  public:
    FaultyFile(std::unique_ptr<File> base, FaultyEnv* env) : base_(std::move(base)), env_(env) {}

    Status ReadAt(uint64_t offset, void* buf, size_t n, size_t* read) override {
        return base_->ReadAt(offset, buf, n, read);
    }
    Status WriteAt(uint64_t offset, const void* buf, size_t n) override {
        if (!env_->TakeWrite()) return Status::IOError("injected write failure: " + path());
        return base_->WriteAt(offset, buf, n);
    }
    Result<uint64_t> Size() override { return base_->Size(); }
    Status Truncate(uint64_t size) override {
        if (!env_->TakeWrite()) return Status::IOError("injected truncate failure: " + path());
        return base_->Truncate(size);
    }
    Status Sync() override {
        if (env_->writes_left() <= 0) return Status::IOError("injected sync failure: " + path());
        return base_->Sync();
    }
    Status SetOpenLock(OpenLock mode) override { return base_->SetOpenLock(mode); }
    Status LockRange(uint64_t offset, uint64_t len, RangeLock kind, LockWait wait) override {
        return base_->LockRange(offset, len, kind, wait);
    }
    Status UnlockRange(uint64_t offset, uint64_t len) override {
        return base_->UnlockRange(offset, len);
    }
    const std::string& path() const override { return base_->path(); }
    bool writable() const override { return base_->writable(); }

  private:
    std::unique_ptr<File> base_;
    FaultyEnv* env_;
};

}  // namespace

bool FaultyEnv::TakeWrite() {
    if (writes_left_ <= 0) return false;
    --writes_left_;
    return true;
}

Result<std::unique_ptr<File>> FaultyEnv::Open(const std::string& path, FileAccess access) {
    auto file = base_->Open(path, access);
    if (!file.ok()) return file.status();
    return std::unique_ptr<File>(new FaultyFile(std::move(file.value()), this));
}

Result<std::unique_ptr<File>> FaultyEnv::Create(const std::string& path) {
    if (!TakeWrite()) return Status::IOError("injected create failure: " + path);
    auto file = base_->Create(path);
    if (!file.ok()) return file.status();
    return std::unique_ptr<File>(new FaultyFile(std::move(file.value()), this));
}

Status FaultyEnv::Rename(const std::string& from, const std::string& to) {
    if (!TakeWrite()) return Status::IOError("injected rename failure: " + to);
    return base_->Rename(from, to);
}

}  // namespace sde
