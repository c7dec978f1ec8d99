// Header-text routines of the web request: header-name letter case and
// cutting values out of header lines.
#pragma once

#include "runtime/value.h"

namespace tavrel {

// The first character upper-cased when it is an ASCII letter a-z; a text that
// starts with a two-byte character is returned unchanged.
Text CapitalizeFirst(TextView text);

// Capitalises the initial of each "-"-separated piece of every header name.
// Lines without a colon, empty lines and a trailing line break are dropped;
// lines are joined by CR LF.
Text NormalizeHeaderNames(TextView headers);

// The bytes between the first occurrence of startMarker and the next
// occurrence of endMarker after it; empty when either is missing. In both
// markers "#引号" stands for a double quote.
Text TextBetween(TextView text, TextView startMarker, TextView endMarker);

// Everything after the first colon, trimmed; empty without a colon.
Text ValueAfterColon(TextView text);

// The bytes before the first occurrence of separator; empty when it is missing.
Text TextBefore(TextView text, TextView separator);

}  // namespace tavrel
