// The demo data set of the host stand-in: a folder that looks like a small
// shop's installation, so that the interfaces dialog has something to work
// on.  It holds the host's data folder with the wholesaler article pool and
// its five indexes, a Fowis transfer folder with a price list, a DGH archive
// and an output folder for the archive imports.  The host's parameter table
// belongs into the program directory.  Nothing that exists is overwritten.
#ifndef ZER1_HOST_DEMO_DATA_H
#define ZER1_HOST_DEMO_DATA_H

#include <string>
#include <vector>

namespace jevhost {

// Where the demo's parts lie; every directory ends with "/".
struct DemoPaths {
    std::string data_path;         // DIR/data/: JEVDBF.DBF, JE1.NTX .. JE5.NTX
    std::string fowis_directory;   // DIR/fowis/: TRFOWIS.SDF
    std::string dgh_archive;       // DIR/dgh/dgh_artikel.zip
    std::string output_directory;  // DIR/ausgabe/: where the archive imports write
};

// The demo's paths below `root` (made absolute).
DemoPaths DemoPathsFor(const std::string& root);

// Creates whatever of the demo set is missing below `root`, and in
// `program_directory` the parameter table VUROZE.LIC (again when the engine
// cannot open the one there, which is kept as VUROZE.LIC.alt) and, when there is no
// zer1.ini yet, one that remembers the demo's archive and output folder.
// Returns false with the reason in `problem` when a part cannot be made.
bool MakeDemoData(const std::string& root, const std::string& program_directory, DemoPaths& paths,
                  std::string& problem);

// The parts, each written only when its file is missing.
// The pool JEVDBF.DBF (texts in the DOS code page) with a few articles, and
// each of JE1.NTX .. JE5.NTX that is missing, built through the engine.
void WriteDemoPool(const std::string& data_path);
// TRFOWIS.SDF: lines of 402 characters in the columns of the staging table.
void WriteDemoFowisList(const std::string& file);
// A ZIP archive whose article member is UTF-16LE text with ";" columns.
void WriteDemoDghArchive(const std::string& file);

// The demo's article lines as the DGH member holds them (without terminators).
const std::vector<std::string>& DemoDghLines();
// The demo's Fowis price list lines (402 characters each, without terminators).
std::vector<std::string> DemoFowisLines();

}  // namespace jevhost

#endif  // ZER1_HOST_DEMO_DATA_H
