#include "host/demo_data.h"

#include <exception>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string_view>

#include "common/file_names.h"
#include "common/text_encoding.h"
#include "fowis/table_structures.h"
#include "imports/working_record.h"
#include "run/parameter_table.h"
#include "run/remembered_inputs.h"
#include "run/settings_file.h"
#include "stock/pool_update.h"
#include "storage/apollo_table.h"
// The project's one ZIP writer lives with the ZIP tests; the demo reuses it.
#include "tests/imports/zip/zip_builder.h"

namespace jevhost {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDghArchiveName = "dgh_artikel.zip";
constexpr const char* kDghMemberName = "ARTIKEL.TXT";
constexpr const char* kFowisListName = "TRFOWIS.SDF";
// The switches of the demo's host: take over product group, supplier,
// search code and purchase price, not the sales price.
constexpr const char* kDemoSchalter = "1111000";

void WriteBytes(const std::string& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    if (!out) throw std::runtime_error("Die Datei " + file + " kann nicht geschrieben werden");
}

// ---- Pool ---------------------------------------------------------------

// The pool's fields in the host's order: FELD1 to FELD13 with the widths of
// the working table, and one field of the host's own.
struct PoolField {
    std::string name;
    int width;
};

std::vector<PoolField> PoolFields() {
    std::vector<PoolField> fields;
    for (int n : {11, 1, 2, 3, 4, 13, 5, 8, 9, 6, 7, 10, 12}) {
        fields.push_back({"FELD" + std::to_string(n), zer1::WorkingFieldWidth(n)});
    }
    fields.push_back({"NOTIZ", 30});
    return fields;
}

// Key expressions of JE1.NTX to JE5.NTX: JE1 orders by FELD1, the pool
// update's key; the others order the host's views.
constexpr const char* kPoolIndexExpressions[zer1::kPoolIndexCount] = {
    "FELD1", "UPPER(FELD2)", "FELD13", "FELD9+FELD1", "FELD11+FELD1"};

using PoolRecord = std::map<std::string, std::string>;

std::vector<PoolRecord> DemoPoolRecords() {
    return {
        {{"FELD11", "DG"},
         {"FELD1", "4250123400109"},
         {"FELD2", "KLEINBILDFILM 200 ASA 36 AUFN."},
         {"FELD3", "      5.49"},
         {"FELD4", "      3.10"},
         {"FELD13", "/100234"},
         {"FELD5", "DGH"},
         {"FELD9", "DGHFILM"},
         {"FELD6", "KLEINBILD"},
         {"FELD10", "01.12.26"},
         {"FELD12", "1"}},
        {{"FELD11", "FO"},
         {"FELD1", "4250999900011"},
         {"FELD2", "BILDERRAHMEN 13X18 BUCHE"},
         {"FELD3", "      9.99"},
         {"FELD4", "      4.20"},
         {"FELD13", "/FR1318"},
         {"FELD5", "FOTOCO"},
         {"FELD9", "FORAHMEN"},
         {"FELD6", "GRÖSSE 13X18 CM"},
         {"FELD10", "28.11.26"},
         {"FELD12", "1"},
         {"NOTIZ", "Schaufenster"}},
    };
}

void CreatePoolTable(const std::string& data_path) {
    const std::vector<PoolField> fields = PoolFields();
    zer1::TApolloTable maker;
    if (!maker.CreateNew(data_path + zer1::kPoolTableName, zer1::kTableTypeNtx,
                         static_cast<int>(fields.size()))) {
        throw std::runtime_error(std::string(zer1::kPoolTableName) +
                                 " kann nicht angelegt werden in " + data_path);
    }
    for (const PoolField& field : fields) maker.CreateField(field.name, "C", field.width, 0);
    if (!maker.CreateExec()) {
        throw std::runtime_error(std::string(zer1::kPoolTableName) +
                                 " kann nicht angelegt werden in " + data_path);
    }
    // Written as the host writes it: shared, texts in the DOS code page.
    zer1::TApolloTable pool;
    pool.SetDatabaseName(data_path);
    pool.SetTableName(zer1::kPoolTableName);
    pool.SetCommitLevel(zer1::clFull);
    pool.Open();
    pool.SetOEMTranslate(true);
    for (const PoolRecord& record : DemoPoolRecords()) {
        pool.Append();
        for (const auto& [field, value] : record) pool.FieldByName(field).SetAsString(value);
        pool.Post();
    }
    pool.Close();
}

// ---- Fowis price list -----------------------------------------------------

bool IsPriceColumn(const std::string& name) {
    if (name == "lek" || name == "uevk" || name == "rp1" || name == "rp2") return true;
    return name.size() >= 2 && (name[0] == 't' || name[0] == 'p') &&
           name.find_first_not_of("0123456789", 1) == std::string::npos;
}

// One line in the staging table's columns: texts left-aligned, prices
// right-aligned, every column filled with blanks to its width, in
// Windows-1252.
std::string FowisLine(const std::map<std::string, std::string>& values) {
    std::string line;
    for (const zer1::FieldDefinition& field : zer1::StagingTableFields()) {
        const auto found = values.find(field.name);
        std::string value =
            found == values.end() ? std::string() : zer1::Utf8ToWindows1252(found->second);
        const std::size_t width = static_cast<std::size_t>(field.width);
        if (value.size() > width) value.resize(width);
        const std::string padding(width - value.size(), ' ');
        line += IsPriceColumn(field.name) ? padding + value : value + padding;
    }
    return line;
}

// ---- DGH archive ------------------------------------------------------------

void AppendUnit(std::string& out, char32_t unit) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>((unit >> 8) & 0xFF));
}

// UTF-16LE with a byte-order mark, lines ended by CR LF.
std::string Utf16LeMember(const std::vector<std::string>& lines) {
    std::string out;
    AppendUnit(out, 0xFEFF);
    for (const std::string& line : lines) {
        std::size_t pos = 0;
        while (pos < line.size()) {
            const char32_t cp = zer1::NextCodePoint(line, pos);
            if (cp >= 0x10000) {
                AppendUnit(out, 0xD800 + ((cp - 0x10000) >> 10));
                AppendUnit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
            } else {
                AppendUnit(out, cp);
            }
        }
        AppendUnit(out, '\r');
        AppendUnit(out, '\n');
    }
    return out;
}

// The demo's parameter table is made again when the engine cannot open it
// with the library's password (one written under an earlier encryption
// scheme); the table it replaces is kept beside it as VUROZE.LIC.alt.
bool ParameterTableUsable(const std::string& program) {
    const std::string path = program + zer1::kParameterTableName;
    if (!zer1::FileExists(path)) return false;
    try {
        zer1::ParameterTable table;
        table.Open(program);
        return true;
    } catch (const zer1::EApolloError&) {
        std::error_code ignored;
        fs::rename(path, path + ".alt", ignored);
        return false;
    }
}

}  // namespace

DemoPaths DemoPathsFor(const std::string& root) {
    const std::string base =
        zer1::WithTrailingSeparator(fs::absolute(root).lexically_normal().string());
    DemoPaths paths;
    paths.data_path = base + "data/";
    paths.fowis_directory = base + "fowis/";
    paths.dgh_archive = base + "dgh/" + kDghArchiveName;
    paths.output_directory = base + "ausgabe/";
    return paths;
}

const std::vector<std::string>& DemoDghLines() {
    // Columns: text 1; text 2; order number; description; supplier; -; EAN;
    // five unused; purchase price; sales price; substitute sales price;
    // product group.
    static const std::vector<std::string> lines = {
        "Kleinbild;film;100234;Kleinbildfilm 200 ASA 36 "
        "Aufn.;dgh;x;4250123400109;;;;;;3.25;5.79;;FILM",
        "Batterie;AA 4er;100777;Batterie Mignon 4er;voltex;x;4250555500017;;;;;;2.10;3.99;;BATT",
        "Fotopapier;glänzend;100901;Fotopapier 10x15 50 Bl.;dgh;x;;;;;;;4.80;;8.49;PAPIER",
        "Speicherkarte;32 GB;101250;Speicherkarte SD 32 "
        "GB;memox;x;4250777700033;;;;;;7.90;14.95;;SPEICHER",
    };
    return lines;
}

std::vector<std::string> DemoFowisLines() {
    return {
        FowisLine({{"firma", "LUMA"},
                   {"kapitel", "0100"},
                   {"artnr1", "4711"},
                   {"rf_nr", "10"},
                   {"artikel", "Kompaktkamera LX 20"},
                   {"ean", "4250123400017"},
                   {"lek", "89,90"},
                   {"uevk", "149,00"},
                   {"rp1", "5,00"},
                   {"rf2", "A"},
                   {"rp2", "2,50"},
                   {"g1", "1"},
                   {"t1", "139,00"},
                   {"g2", "5"},
                   {"t2", "129,00"},
                   {"v1", "VK1"},
                   {"p1", "145,00"}}),
        FowisLine({{"firma", "LUMA"},
                   {"kapitel", "0100"},
                   {"artnr1", "4712"},
                   {"artikel", "Objektiv 50 mm 1:1.8"},
                   {"ean", "4250123400024"},
                   {"lek", "120.00"},
                   {"uevk", "199.00"},
                   {"g1", "1"},
                   {"t1", "189.00"}}),
        FowisLine({{"firma", "FOTX"},
                   {"kapitel", "0220"},
                   {"artnr1", "815"},
                   {"artikel", "Fotobuch A4 quer"},
                   {"lek", "12,-"},
                   {"uevk", "24,95"}}),
        FowisLine({{"firma", "FOTX"},
                   {"kapitel", "0220"},
                   {"artnr1", "816"},
                   {"artikel", "Bilderrahmen 13x18 Buche"},
                   {"ean", "4250999900011"},
                   {"lek", "4,20"},
                   {"uevk", "9,99"},
                   {"g1", "1"},
                   {"t1", "-"}}),
        FowisLine({{"firma", "FOTX"},
                   {"kapitel", "0230"},
                   {"artnr1", "901"},
                   {"artikel", "Passbild-Mappe grün"},
                   {"ean", "4250999900028"},
                   {"lek", "0,35"},
                   {"uevk", "0,90"}}),
    };
}

void WriteDemoPool(const std::string& data_path) {
    const std::string directory = zer1::WithTrailingSeparator(data_path);
    if (!zer1::FileExists(directory + zer1::kPoolTableName)) CreatePoolTable(directory);
    zer1::TApolloTable pool;
    pool.SetDatabaseName(directory);
    pool.SetTableName(zer1::kPoolTableName);
    for (int k = 0; k < zer1::kPoolIndexCount; ++k) {
        const std::string index = directory + zer1::kPoolIndexNames[k];
        if (zer1::FileExists(index)) continue;
        if (!pool.Active()) {
            pool.SetExclusive(true);
            pool.Open();
        }
        if (pool.Index(index, kPoolIndexExpressions[k]) <= 0) {
            throw std::runtime_error(index + " kann nicht aufgebaut werden");
        }
    }
    pool.Close();
}

void WriteDemoFowisList(const std::string& file) {
    if (zer1::FileExists(file)) return;
    std::string text;
    for (const std::string& line : DemoFowisLines()) text += line + "\r\n";
    WriteBytes(file, text);
}

void WriteDemoDghArchive(const std::string& file) {
    if (zer1::FileExists(file)) return;
    std::vector<zer1::testing::ZipEntry> entries;
    entries.emplace_back(kDghMemberName, Utf16LeMember(DemoDghLines()));
    entries.emplace_back("LIESMICH.TXT",
                         "Artikeldaten der DGH, eine Zeile je Artikel (UTF-16).\r\n");
    entries.back().method = 0;
    WriteBytes(file, zer1::testing::BuildZip(entries));
}

bool MakeDemoData(const std::string& root, const std::string& program_directory, DemoPaths& paths,
                  std::string& problem) {
    paths = DemoPathsFor(root);
    const std::string program = zer1::WithTrailingSeparator(program_directory);
    try {
        for (const std::string& directory :
             {paths.data_path, paths.fowis_directory, zer1::DirectoryPart(paths.dgh_archive),
              paths.output_directory}) {
            fs::create_directories(directory);
        }
        WriteDemoPool(paths.data_path);
        WriteDemoFowisList(paths.fowis_directory + kFowisListName);
        WriteDemoDghArchive(paths.dgh_archive);
        if (!ParameterTableUsable(program) && !zer1::CreateParameterTable(program, kDemoSchalter)) {
            throw std::runtime_error(std::string(zer1::kParameterTableName) +
                                     " kann nicht angelegt werden in " + program);
        }
        if (!zer1::FileExists(program + zer1::kSettingsFileName)) {
            zer1::SettingsFile settings(program + zer1::kSettingsFileName);
            settings.WriteString(zer1::kSettingsSection, "Quellpfad",
                                 zer1::DirectoryPart(paths.dgh_archive));
            settings.WriteString(zer1::kSettingsSection, "Quelldatei", kDghArchiveName);
            settings.WriteString(zer1::kSettingsSection, "Zielpfad", paths.output_directory);
            settings.WriteInteger(zer1::kSettingsSection, "FaktorFowis", 10000);
        }
    } catch (const std::exception& error) {
        problem = error.what();
        return false;
    }
    return true;
}

}  // namespace jevhost
