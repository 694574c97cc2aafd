#pragma once

#include "ArchiverApi.h"
#include "CommandLine.h"
#include "OperandRepair.h"
#include "Report.h"

namespace archiver::zip
{

// The switches of "-a" besides "-a" itself.
inline constexpr const char* kCreateSwitches[] = {"r", "0", "1", "2", "3",     "4",   "5",
                                                  "6", "7", "8", "9", "cp932", "utf8"};

// "-a": a new ZIP archive of the files (and with -r the folders below) under the base folder
// that the names select. Written beside the target under a temporary name and renamed over it
// only when every member was stored; any member that fails leaves no archive under the target
// name (an existing one stays as it was) and a non-zero result.
int createArchive(ArchiverWindow owner, const CommandLine& cl, const Operands& ops, Report& report);

} // namespace archiver::zip
