// The new price table of a Fowis run, built beside the old one and put in its
// place only when the whole conversion succeeded.  A run that fails half way
// (a price that is no number, a price too large for its field, an SDF append
// that fails, a write error) thus leaves FOWISPR.DBF byte for byte as it was.
//
// The old table stays open exclusively for the whole run, so no other program
// has it open while the new file is renamed over it.  The new file takes the
// old one's owner, group and permission bits as far as the system lets this
// process hand them on.
#ifndef ZER1_FOWIS_PRICE_TABLE_REPLACEMENT_H
#define ZER1_FOWIS_PRICE_TABLE_REPLACEMENT_H

#include <string>

#include "storage/apollo_table.h"

namespace zer1 {

// Name of the table being built, in the price table's directory.
inline constexpr const char* kNewPriceTableFile = "fowispr_neu.dbf";

class PriceTableReplacement {
  public:
    // `current` is the price table, open exclusively for the whole run.
    explicit PriceTableReplacement(TApolloTable& current);
    // Drops the new table when Commit has not succeeded.
    ~PriceTableReplacement();
    PriceTableReplacement(const PriceTableReplacement&) = delete;
    PriceTableReplacement& operator=(const PriceTableReplacement&) = delete;

    enum class BeginResult {
        kReady,
        // The directory does not let this process create files (no write
        // permission, read-only file system); nothing was changed.
        kDirectoryRefusesNewFiles,
        kFailed,  // any other reason the new table cannot be created or opened
    };

    // Creates the new, empty table with the structure of the current one
    // (removing what an earlier, interrupted run left behind) and opens it
    // exclusively.
    BeginResult Begin();

    // The new table; open between Begin and Commit.
    TApolloTable& Fresh() { return fresh_; }

    // Closes the new table and renames it (with its memo file, if any) over
    // the current one, which is still open; the current table object is
    // closed afterwards.  Throws Error naming the file when the rename fails;
    // the current table is then unchanged.
    void Commit();

  private:
    void Discard();

    TApolloTable& current_;
    TApolloTable fresh_;
    std::string fresh_file_;
    bool committed_ = false;
};

}  // namespace zer1

#endif  // ZER1_FOWIS_PRICE_TABLE_REPLACEMENT_H
