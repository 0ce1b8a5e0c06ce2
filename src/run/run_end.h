// RunEnd: what has to happen however a run ends once it has begun to work.
// The run's progress window is released first, then the tables the run
// named are closed, and the start and close buttons are enabled again; the
// start button stays disabled while the run works.  Free of Qt, like the
// runs that use it.
#ifndef ZER1_RUN_RUN_END_H
#define ZER1_RUN_RUN_END_H

#include <memory>
#include <vector>

#include "run/run_host.h"
#include "storage/apollo_table.h"

namespace zer1 {

class RunEnd {
  public:
    explicit RunEnd(RunHost& host) : host_(host) {
        host_.SetEnabled(DialogControl::kPbStart, false);
    }
    ~RunEnd() {
        progress.reset();
        for (TApolloTable* table : tables_to_close_) CloseQuietly(*table);
        host_.SetEnabled(DialogControl::kPbStart, true);
        host_.SetEnabled(DialogControl::kPbClose, true);
    }
    RunEnd(const RunEnd&) = delete;
    RunEnd& operator=(const RunEnd&) = delete;

    // Closes `table` when the run ends.
    void CloseAtEnd(TApolloTable& table) { tables_to_close_.push_back(&table); }

    std::unique_ptr<ProgressWindow> progress;

  private:
    static void CloseQuietly(TApolloTable& table) {
        try {
            table.Close();
        } catch (...) {
            // Closing fails only when the engine is gone; nothing is left to do.
        }
    }

    RunHost& host_;
    std::vector<TApolloTable*> tables_to_close_;
};

}  // namespace zer1

#endif  // ZER1_RUN_RUN_END_H
