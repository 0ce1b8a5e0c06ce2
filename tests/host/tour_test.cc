// The scripted tour as a newcomer starts it without a display:
// "jevhost --tour DIR" makes the demo world, drives the three runs through
// the real dialog offscreen and prints each final message and a summary.
// Checked: the messages and the summary, the pictures, the host's tables
// and indexes afterwards as Perl XBase and python3-dbf read them, and that
// the host's program directory is the demo's own.
#include <gtest/gtest.h>

#include <string>

#include "host/host_tables.h"
#include "tests/support/command_output.h"
#include "tests/support/stock_world.h"
#include "tests/support/temp_dir.h"

namespace {

using zer1::testing::CommandOutput;
using zer1::testing::ExpectIndexMatchesTable;
using zer1::testing::PathExists;
using zer1::testing::ReadFile;

TEST(TourTest, DrivesTheThreeRunsAndSummarisesWhatChanged) {
    zer1::testing::TempDir root;
    const std::string dir = root.path() + "welt/";
    const std::string out = CommandOutput("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                                          std::string(JEVHOST) + " --tour " + dir +
                                          " 2>/dev/null; echo status $?");
    auto expect_line = [&](const std::string& line) {
        EXPECT_NE(out.find(line + "\n"), std::string::npos) << line << "\nin:\n" << out;
    };
    expect_line("Dialog \"JEV-Schnittstellen V1.00R18\" offen auf Seite Fowis, Datenpfad: " + dir +
                "data/");
    expect_line("Seite Fowis: Start (pbStart), alle Optionen an");
    expect_line("  (keine Meldung / no message)");
    expect_line("  Meldung [Information]: ARTIKEL.TXT nach " + dir +
                "ausgabe/ entpacken\n"
                "      Pool aktualisiert: 168 Neuanlagen,168 Änderungen\n"
                "      Lagerupdate: 112 Änderungen\n"
                "      Lagerupdate: 224 Neuanlagen\n"
                "      Update wurde vorbereitet. (JEVUPD.DBF)\n"
                "      Standarddatei wurde erstellt. (DGH.JEV)");
    expect_line("  Meldung [Information]: FOTOCO.CSV nach " + dir +
                "ausgabe/ entpacken\n"
                "      Pool aktualisiert: 38 Neuanlagen,19 Änderungen\n"
                "      Lagerupdate: 15 Änderungen\n"
                "      Lagerupdate: 42 Neuanlagen\n"
                "      Update wurde vorbereitet. (JEVUPD.DBF)\n"
                "      Standarddatei wurde erstellt. (FOTOCO.JEV)");
    expect_line("Zusammenfassung / summary (" + dir +
                "data/):\n"
                "  BEWEGZ.DBF: neu angelegt, 393 Sätze, 393 neu, 0 geändert\n"
                "  FOWISPR.DBF: neu angelegt, 41 Sätze, 41 neu, 0 geändert\n"
                "  JEVDBF.DBF: 187 -> 393 Sätze, 206 neu, 187 geändert\n"
                "  MLAGER.DBF: 133 -> 399 Sätze, 266 neu, 127 geändert\n"
                "  MLPROTO.DBF: 2 -> 395 Sätze, 393 neu, 0 geändert\n"
                "  Indizes geschrieben: JE1.NTX, JE2.NTX, JE3.NTX, JE4.NTX, JE5.NTX, "
                "MLAGER.NTX, MLBEZ.NTX, MLEKDAT.NTX, MLLIEF.NTX, MLPREIS.NTX, MLWG.NTX\n"
                "Rundgang beendet / tour done\n"
                "status 0");
    EXPECT_EQ(out.find("unerwartet"), std::string::npos) << out;

    for (const char* picture :
         {"dialog-fowis", "dialog-dgh", "dialog-fotoco", "fortschritt-fowis", "fortschritt-dgh",
          "fortschritt-fotoco"}) {
        EXPECT_EQ(ReadFile(dir + "bilder/" + picture + ".png").substr(0, 8), "\x89PNG\r\n\x1a\n")
            << picture;
    }
    // The host ran from the demo's program directory: the settings and the
    // Fowis staging table are there.
    EXPECT_TRUE(PathExists(dir + "programm/zer1.ini"));
    EXPECT_TRUE(PathExists(dir + "programm/FO_1.DBF") || PathExists(dir + "programm/fo_1.dbf"));

    // Every index of the stock master and the pool is in step with its table.
    const std::string data = dir + "data/";
    for (const auto& row : jevhost::DefaultCatalogue()) {
        if (row.dataFile == "MLAGER") {
            ExpectIndexMatchesTable(data + "MLAGER.DBF", data + row.indexName + ".NTX",
                                    row.expression);
        }
    }
    for (const auto& index : jevhost::PoolIndexes()) {
        ExpectIndexMatchesTable(data + "JEVDBF.DBF", data + index.file, index.expression);
    }
    // The movement journal has the stock master's fields; the first record
    // is the first stock item the DGH run changed, its receipts left empty.
    EXPECT_EQ(CommandOutput("/usr/bin/python3 -c 'import dbf, sys\n"
                            "t = dbf.Table(sys.argv[1], codepage=\"cp1252\"); t.open()\n"
                            "print(len(t.field_names), len(t), t[0].artnum, t[0].zuga, "
                            "t[0].artbez.strip(), t[0].libnr1.strip())' " +
                            data + "BEWEGZ.DBF 2>&1"),
              "94 393 4250124402228 None KLEINBILDFILM 100 ASA 36 AUFN. /100200\n");
}

}  // namespace
