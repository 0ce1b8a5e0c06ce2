// The DGH import run: the archive road (archive_run.h) with the DGH page's
// controls and settings keys, the working table TMPDGH.DBF, the UTF-16 member
// reading with its line conversion, and the standard file DGH.JEV.
#ifndef ZER1_IMPORTS_DGH_RUN_H
#define ZER1_IMPORTS_DGH_RUN_H

namespace zer1 {

class RunHost;

void RunDghImport(RunHost& host);

}  // namespace zer1

#endif  // ZER1_IMPORTS_DGH_RUN_H
