// A file layer for tests that makes writes fail: FaultyEnv passes everything
// to another Env but lets only a budget of writes succeed.
#ifndef SDE61_TESTS_FAULTY_ENV_H
#define SDE61_TESTS_FAULTY_ENV_H

#include <memory>
#include <string>

#include "platform/file.h"

namespace sde {

// An Env for tests: passes everything to `base`, but after `writes_left`
// successful writes (counted over all its files) every further write, truncate
// and sync fails with an I/O error.
class FaultyEnv : public Env {
  public:
    explicit FaultyEnv(Env* base, long writes_left) : base_(base), writes_left_(writes_left) {}

    Result<std::unique_ptr<File>> Open(const std::string& path, FileAccess access) override;
    Result<std::unique_ptr<File>> Create(const std::string& path) override;
    bool Exists(const std::string& path) override { return base_->Exists(path); }
    Status Delete(const std::string& path) override { return base_->Delete(path); }
    Status Rename(const std::string& from, const std::string& to) override;
    std::string Resolve(const std::string& path) override { return base_->Resolve(path); }

    void set_writes_left(long n) { writes_left_ = n; }
    long writes_left() const { return writes_left_; }
    // Takes one write from the budget; false once it is spent.
    bool TakeWrite();

  private:
    Env* base_;
    long writes_left_;
};

}  // namespace sde

#endif  // SDE61_TESTS_FAULTY_ENV_H
