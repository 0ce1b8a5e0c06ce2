// The Fotoco import run: the archive road (archive_run.h) with the Fotoco
// page's controls and settings keys, the working table TMPFOTOCO.DBF, the
// Windows-1252 member reading with its line conversion, and the standard
// file FOTOCO.JEV.  Without a selected member the focus goes to the source
// archive field.
#ifndef ZER1_IMPORTS_FOTOCO_RUN_H
#define ZER1_IMPORTS_FOTOCO_RUN_H

namespace zer1 {

class RunHost;

void RunFotocoImport(RunHost& host);

}  // namespace zer1

#endif  // ZER1_IMPORTS_FOTOCO_RUN_H
