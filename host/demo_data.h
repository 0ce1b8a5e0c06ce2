// The demo world of the host stand-in: a folder that looks like a small
// photo shop's installation, so that the interfaces dialog has something
// real to work on.  It holds the program directory (where the host lies,
// with its parameter table, index catalogue and settings file), the host's
// data folder with the article pool, the stock master with its indexes and
// the stock log, a Fowis transfer folder with a price list, a DGH and a
// Fotoco archive and an output folder for the archive imports.  Everything
// is made by this code from fixed data; nothing that exists is overwritten.
#ifndef ZER1_HOST_DEMO_DATA_H
#define ZER1_HOST_DEMO_DATA_H

#include <string>
#include <vector>

namespace jevhost {

// Where the demo's parts lie; every directory ends with "/".
struct DemoPaths {
    std::string program_directory;  // DIR/programm/: the host, VUROZE.LIC, INDEXES.DBF, zer1.ini
    std::string data_path;          // DIR/data/: JEVDBF.DBF, MLAGER.DBF, MLPROTO.DBF, indexes
    std::string fowis_directory;    // DIR/fowis/: TRFOWIS.SDF
    std::string dgh_archive;        // DIR/dgh/dgh_artikel.zip
    std::string fotoco_archive;     // DIR/fotoco/fotoco_artikel.zip
    std::string output_directory;   // DIR/ausgabe/: where the archive imports write
};

// The demo's paths below `root` (made absolute).
DemoPaths DemoPathsFor(const std::string& root);

// Creates whatever of the demo world is missing below `root`, with the
// program directory's files in `program_directory`: the parameter table
// VUROZE.LIC (again when the engine cannot open the one there, which is
// kept as VUROZE.LIC.alt), the index catalogue INDEXES.DBF and, when there
// is no zer1.ini yet, one that remembers the demo's archives, output folder,
// Fowis list and factor, with every option on.  Returns false with the
// reason in `problem` when a part cannot be made.
bool MakeDemoData(const std::string& root, const std::string& program_directory, DemoPaths& paths,
                  std::string& problem);

// The parts, each written only when its file is missing.
// The pool JEVDBF.DBF (texts in the DOS code page) with the articles an
// earlier import left there, and each of JE1.NTX .. JE5.NTX that is missing.
void WriteDemoPool(const std::string& data_path);
// The stock master MLAGER.DBF (94 fields) with MLAGER.NTX and the other
// indexes the catalogue lists for it, the stock log MLPROTO.DBF with a few
// older lines, and the catalogue INDEXES.DBF in the program directory.
void WriteDemoStock(const std::string& data_path, const std::string& program_directory);
// TRFOWIS.SDF: lines of 402 characters in the columns of the staging table.
void WriteDemoFowisList(const std::string& file);
// A ZIP archive whose article member is UTF-16LE text with ";" columns.
void WriteDemoDghArchive(const std::string& file);
// A ZIP archive whose article member is Windows-1252 text with a header line.
void WriteDemoFotocoArchive(const std::string& file);

// The demo's article lines as the DGH member holds them (without terminators).
const std::vector<std::string>& DemoDghLines();
// The Fotoco member's lines, header first (UTF-8, without terminators).
std::vector<std::string> DemoFotocoLines();
// The demo's Fowis price list lines (402 characters each, without terminators).
std::vector<std::string> DemoFowisLines();

}  // namespace jevhost

#endif  // ZER1_HOST_DEMO_DATA_H
