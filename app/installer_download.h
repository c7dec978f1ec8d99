// The JDK installer download: the program-wide download state, the routine
// the download service reports to, and what the handlers share with tests.
#pragma once

#include <cstdint>

#include "runtime/download/download.h"
#include "runtime/value.h"

namespace tavrel::app {

// Fills the program's task record and starts the task; 1 when it started.
// connections 0 means 5.
Logical StartInstallerDownload(TextView address, TextView file, std::int32_t speedLimit, std::int32_t connections);

// The progress of the current download, 0..100.
std::int32_t DownloadPercent();

// The local file for a release selection (0: JDK 8u271, 1: JDK 11.0.9) and
// the server path, as the installer table gives them; false for any other
// selection.
struct InstallerRow {
  const char* serverPath;
  const char* localName;
};
bool ChooseInstaller(std::int32_t selection, bool system64Bit, InstallerRow* row);

// The program-wide download state, made at start-up before the window, and
// its clean-up registered with OnProgramEnd.
void CreateProgramState();

// The download state's clean-up at the end of the program: stops a running
// task and waits, within the stop's time and a short grace, for its threads;
// a file left unfinished is removed. A task still asking FileExists is left
// to the end of the process, with the state it uses kept.
void ReleaseProgramState(std::int32_t placeInList);

}  // namespace tavrel::app
