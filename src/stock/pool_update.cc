#include "stock/pool_update.h"

#include <array>
#include <exception>
#include <string>

#include "common/messages.h"
#include "common/text_encoding.h"
#include "common/ui_services.h"
#include "common/unfinished_run_marker.h"
#include "stock/pool_index_check.h"
#include "storage/apollo_table.h"

namespace zer1 {

namespace {

constexpr int kPoolFieldCount = 13;  // FELD1 to FELD13; FELD14 stays in the working table
constexpr int kKeyWidth = 13;        // width of FELD1 and of the JE1.NTX key
constexpr int kProgressStep = 100;
// Held while an update writes the pool; see UnfinishedRunMarker.
constexpr const char* kPoolMarkerName = "JEVDBF.zer1-lauf";

std::string FieldName(int n) {
    return "FELD" + std::to_string(n);
}

// FELD1 to FELD13 of one table, looked up once for the whole update.
using PoolFields = std::array<TApolloField*, kPoolFieldCount>;

PoolFields LookUpPoolFields(TApolloTable& table) {
    PoolFields fields{};
    for (int n = 1; n <= kPoolFieldCount; ++n) fields[n - 1] = &table.FieldByName(FieldName(n));
    return fields;
}

// FELD1 padded with blanks to the key width, counted in stored characters.
std::string PoolKey(const std::string& feld1) {
    const std::size_t chars = CodePointCount(feld1);
    std::string key = feld1;
    if (chars < kKeyWidth) key.append(kKeyWidth - chars, ' ');
    return key;
}

bool PoolIsReady(const PoolTable& pool) {
    if (!pool.table.Active()) return false;
    for (int order : pool.orders) {
        if (order <= 0) return false;
    }
    return true;
}

}  // namespace

bool OpenPool(PoolTable pool, const std::string& data_path) {
    if (PoolIsReady(pool)) return true;
    pool.table.Close();
    pool.orders.fill(0);
    std::string current_file = data_path + kPoolTableName;
    try {
        pool.table.SetDatabaseName(data_path);
        pool.table.SetTableName(kPoolTableName);
        pool.table.SetTableType(ttSXNTX);
        pool.table.SetExclusive(false);
        pool.table.SetOEMTranslate(false);
        pool.table.Open();
        for (int k = 0; k < kPoolIndexCount; ++k) {
            current_file = data_path + kPoolIndexNames[k];
            pool.orders[k] = pool.table.IndexOpen(current_file);
        }
        // Translation goes on only now, as the host's indexes expect.
        pool.table.SetOEMTranslate(true);
        return true;
    } catch (const std::exception&) {
        // A half-opened pool is never written: close it so that the next
        // update starts afresh.
        pool.table.Close();
        pool.orders.fill(0);
        ErrorMessage("Fehler beim Zugriff auf " + current_file);
        return false;
    }
}

void UpdatePool(PoolTable pool, const std::string& data_path, TApolloTable& working,
                StepProgress& progress, std::vector<std::string>& report) {
    if (!OpenPool(pool, data_path)) return;

    // An update killed in the middle may have left its last record in the
    // pool but not in every index; a run on such indexes would add that
    // article a second time.  The indexes belong to the host, which keeps
    // them open, so they are checked and, when they do not fit, the host
    // has to rebuild them: nothing is written until then.
    UnfinishedRunMarker marker(data_path + kPoolMarkerName);
    if (marker.LeftByAnEarlierRun()) {
        const std::string index = FirstPoolIndexNotMatching(pool);
        if (!index.empty()) {
            ErrorMessage("Die letzte Aktualisierung des Pools wurde nicht beendet; der Index " +
                         index + " passt nicht mehr zu " + kPoolTableName +
                         ". Bitte die Indizes des Pools im Hostprogramm neu aufbauen.");
            return;
        }
    }
    // Without the marker (a directory that refuses new files) the update
    // still runs; only a crash in it would go unnoticed.
    (void)marker.Begin();

    progress.SetInfo("Pool wird aktualisiert...");
    const long total = working.RecordCount();
    progress.SetMaximum(static_cast<int>(total));

    pool.table.SetOrder(pool.orders[0]);
    long added = 0;
    long changed = 0;

    working.First();
    // Both tables stay open through the loop, so their fields stay put.  An
    // empty working table needs none of them.
    PoolFields source{};
    PoolFields target{};
    if (!working.Eof()) {
        source = LookUpPoolFields(working);
        target = LookUpPoolFields(pool.table);
    }
    for (long counter = 1; !working.Eof(); ++counter) {
        if (counter % kProgressStep == 0) progress.SetPosition(static_cast<int>(counter));

        if (pool.table.Seek(PoolKey(source[0]->AsString()))) {
            ++changed;
            pool.table.Edit();
        } else {
            ++added;
            pool.table.Append();
        }
        try {
            for (int n = 0; n < kPoolFieldCount; ++n) {
                target[n]->Assign(*source[n]);
            }
            pool.table.Post();
        } catch (...) {
            // The pool stays open after a failed update; without this, the
            // next move in it would store the half-filled record.
            pool.table.Cancel();
            throw;
        }

        working.Next();
        ProcessPendingMessages();
    }
    progress.SetPosition(static_cast<int>(total));
    marker.Finish();

    report.push_back("Pool aktualisiert: " + std::to_string(added) + " Neuanlagen," +
                     std::to_string(changed) + " \xC3\x84nderungen\r");
}

}  // namespace zer1
