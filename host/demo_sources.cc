// The demo's wholesaler files: the DGH archive (UTF-16 member), the Fotoco
// archive (Windows-1252 member with a header line) and the Fowis price list
// TRFOWIS.SDF (402-character lines).
#include <fstream>
#include <map>
#include <stdexcept>

#include "common/file_names.h"
#include "common/text_encoding.h"
#include "fowis/table_structures.h"
#include "host/demo_articles.h"
#include "host/demo_data.h"
#include "host/zip_writer.h"

namespace jevhost {
namespace {

constexpr const char* kDghMemberName = "ARTIKEL.TXT";
constexpr const char* kFotocoMemberName = "FOTOCO.CSV";

void WriteBytes(const std::string& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    if (!out) throw std::runtime_error("Die Datei " + file + " kann nicht geschrieben werden");
}

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

// A price of `cents` as the Fowis list writes it, with a decimal comma.
std::string FowisPrice(long cents) {
    std::string text = std::to_string(cents / 100) + ",";
    if (cents % 100 < 10) text += "0";
    return text + std::to_string(cents % 100);
}

// Further lines of the list: cameras and lenses of two makers, some with
// quantity prices.
std::vector<std::string> GeneratedFowisLines() {
    static const char* const kinds[] = {"Kompaktkamera", "Systemkamera", "Objektiv",
                                        "Fernglas",      "Blitzgerät",   "Bilderrahmen"};
    static const char* const details[] = {"schwarz",      "silber",        "Set mit Tasche",
                                          "Zoom 3-fach",  "wetterfest",    "Einsteigerpaket",
                                          "für Brillenträger"};
    std::vector<std::string> lines;
    for (int i = 0; i < 36; ++i) {
        const long purchase = 1990 + (i * 3671) % 42000;
        const long retail = purchase * 17 / 10 / 100 * 100 + 99;
        std::map<std::string, std::string> values{
            {"firma", i % 2 ? "FOTX" : "LUMA"},
            {"kapitel", i % 3 ? "0100" : "0230"},
            {"artnr1", std::to_string(5000 + 13 * i)},
            {"artikel", std::string(kinds[i % 6]) + " " + details[i % 7] + " " +
                            std::to_string(10 + i)},
            {"lek", FowisPrice(purchase)},
            {"uevk", FowisPrice(retail)}};
        if (i % 4 != 3) values["ean"] = "42509999" + std::to_string(10000 + 37 * i);
        if (i % 3 == 0) {
            values["g1"] = "1";
            values["t1"] = FowisPrice(retail - 100);
            values["g2"] = "5";
            values["t2"] = FowisPrice(retail - 300);
        }
        lines.push_back(FowisLine(values));
    }
    return lines;
}

// Windows-1252, lines ended by CR LF.
std::string AnsiMember(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += zer1::Utf8ToWindows1252(line) + "\r\n";
    return out;
}

}  // namespace

const std::vector<std::string>& DemoDghLines() {
    // Columns: text 1; text 2; order number; description; supplier; -; EAN;
    // five unused; purchase price; sales price; substitute sales price;
    // product group.
    static const std::vector<std::string> lines = [] {
        std::vector<std::string> made;
        for (const DemoArticle& a : DemoDghArticles()) {
            made.push_back(a.extra_text + ";" + a.extra_text_2 + ";" + a.order_number + ";" +
                           a.description + ";" + a.supplier + ";x;" + a.ean + ";;;;;;" +
                           a.purchase + ";" + a.sales + ";" + a.substitute + ";" + a.group);
        }
        return made;
    }();
    return lines;
}

std::vector<std::string> DemoFotocoLines() {
    // Fields: 0 order number; 1 description; 2 second text line; 3 purchase
    // price; 4, 5 unit and pack size; 6 merchandise group; 7 to 15 the
    // wholesaler's own; 16 EAN; 17 sales price.
    std::vector<std::string> lines{
        "Artikelnr;Bezeichnung;Zusatztext;EK-Preis;Einheit;VE;Warengruppe;Lager;Rabatt;"
        "Neu;Auslauf;Bild;Gewicht;Breite;Höhe;Tiefe;EAN;VK-Preis"};
    for (const DemoArticle& a : DemoFotocoArticles()) {
        lines.push_back(a.order_number + ";" + a.description + ";" + a.extra_text + ";" +
                        a.purchase + ";Stk;1;" + a.group + ";J;0;N;N;;0,2;;;;" + a.ean + ";" +
                        a.sales);
    }
    return lines;
}

std::vector<std::string> DemoFowisLines() {
    std::vector<std::string> lines{
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
    for (std::string& line : GeneratedFowisLines()) lines.push_back(std::move(line));
    return lines;
}

void WriteDemoFowisList(const std::string& file) {
    if (zer1::FileExists(file)) return;
    std::string text;
    for (const std::string& line : DemoFowisLines()) text += line + "\r\n";
    WriteBytes(file, text);
}

void WriteDemoDghArchive(const std::string& file) {
    if (zer1::FileExists(file)) return;
    WriteZipArchive(file, {{kDghMemberName, Utf16LeMember(DemoDghLines()), true},
                           {"LIESMICH.TXT",
                            "Artikeldaten der DGH, eine Zeile je Artikel (UTF-16).\r\n"}});
}

void WriteDemoFotocoArchive(const std::string& file) {
    if (zer1::FileExists(file)) return;
    WriteZipArchive(file, {{kFotocoMemberName, AnsiMember(DemoFotocoLines()), true}});
}

}  // namespace jevhost
