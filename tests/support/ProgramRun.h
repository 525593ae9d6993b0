#pragma once
// Runs a program to its end, as a script would, and keeps what it printed.

#include <windows.h>

#include <string>

namespace qv::test {

struct ProgramRun {
  DWORD exitCode = 0xFFFFFFFF;  // also when the program could not be started
  std::string output;           // standard output and error together
};

// commandLine: the program (quoted when it has blanks) and its arguments, UTF-8.
ProgramRun RunProgram(const std::string& commandLine, DWORD timeoutMilliseconds = 60000);

}  // namespace qv::test
