// The update file JEVUPD.DBF and the standard file (DGH.JEV, FOTOCO.JEV): two
// complete copies of a run's working table, with their memo files, written
// into the run's output directory for the host.
#ifndef ZER1_STOCK_HANDOVER_FILES_H
#define ZER1_STOCK_HANDOVER_FILES_H

#include <string>
#include <vector>

#include "stock/step_progress.h"

namespace zer1 {

class TApolloTable;

// Both directories end with "/".
struct HandoverPaths {
    std::string programDirectory;  // where older copies are deleted
    std::string outputDirectory;   // where the new copy is written
};

// Copies the open working table to outputDirectory + "JEVUPD.DBF" and appends
// "Update wurde vorbereitet. (JEVUPD.DBF)" to report, or the line saying it
// could not be prepared.
void WriteUpdateFile(TApolloTable& working, const HandoverPaths& paths, StepProgress& progress,
                     std::vector<std::string>& report);

// Copies the open working table to outputDirectory + fileName ("DGH.JEV")
// whose memo file is baseName + ".DBT" ("DGH"), and appends "Standarddatei
// wurde erstellt. (" + fileName + ")" to report, or the line saying it could
// not be created.
void WriteStandardFile(TApolloTable& working, const HandoverPaths& paths,
                       const std::string& fileName, const std::string& baseName,
                       StepProgress& progress, std::vector<std::string>& report);

}  // namespace zer1

#endif  // ZER1_STOCK_HANDOVER_FILES_H
