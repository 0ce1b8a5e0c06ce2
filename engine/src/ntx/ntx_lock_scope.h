// The scope of one index operation: holds the index lock (shared use) from
// construction to destruction.
#ifndef SDE61_NTX_NTX_LOCK_SCOPE_H
#define SDE61_NTX_NTX_LOCK_SCOPE_H

#include "ntx/ntx_index.h"

namespace sde {

// Holds the index lock (shared use) for one operation.
class NtxLockScope {
  public:
    NtxLockScope(NtxIndex* index, bool write) : index_(index), write_(write) {
        status_ = index_->Begin(write_);
    }
    ~NtxLockScope() {
        if (status_.ok()) index_->End(write_);
    }
    const Status& status() const { return status_; }

  private:
    NtxIndex* index_;
    bool write_;
    Status status_;
};

}  // namespace sde

#endif  // SDE61_NTX_NTX_LOCK_SCOPE_H
