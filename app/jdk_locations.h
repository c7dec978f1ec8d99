// Where installed JDKs are registered, read by both the detection and the
// configuration, so that whatever the window shows can be configured.
#pragma once

#include <optional>

#include "runtime/value.h"

namespace tavrel::app {

// The release the registry reports, as the registry names it: the
// "CurrentVersion" of the first JavaSoft key that opens (possibly empty);
// only when neither opens, the newest version registered by another
// distribution. Nothing when no JDK is registered.
std::optional<Text> FindInstalledJdk();

// The installation folder of the release the detection showed: for "1.8" and
// "11.0.9" their own JavaSoft key, for any other release the key the
// detection finds it under. Empty when no folder is registered.
Text JdkHomeOfRelease(TextView release);

// Whether version a is newer than b: the runs of digits compare as numbers,
// left to right ("17.0.10" is newer than "17.0.9"), a longer list wins a tie.
bool IsNewerVersion(TextView a, TextView b);

}  // namespace tavrel::app
