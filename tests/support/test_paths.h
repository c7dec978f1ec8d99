// Where the tests find the source tree, the build tree and the helper programs.
#pragma once

#include <string>

namespace tavrel::testing {

std::string SourceDir();
std::string BinaryDir();
// A helper program of the test suite, built into tests/programs.
std::string TestProgram(const std::string& name);

}  // namespace tavrel::testing
