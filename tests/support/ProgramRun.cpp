#include "support/ProgramRun.h"

#include "common/Holders.h"
#include "common/Text.h"

namespace qv::test {

ProgramRun RunProgram(const std::string& commandLine, DWORD timeoutMilliseconds) {
  ProgramRun run;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  UniqueHandle reader, writer;
  if (!CreatePipe(reader.Put(), writer.Put(), &inherit, 0)) return run;
  SetHandleInformation(reader.Get(), HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup = {sizeof startup};
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writer.Get();
  startup.hStdError = writer.Get();
  // UTF-8 in, so paths in any script reach the program whole.
  std::wstring command = ToWide(commandLine);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    return run;
  }
  UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
  // Only the child holds the write end now, so reading ends when it exits.
  writer.Reset();
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(reader.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) run.output.append(buffer, read);
  WaitForSingleObject(processHandle.Get(), timeoutMilliseconds);
  GetExitCodeProcess(processHandle.Get(), &run.exitCode);
  return run;
}

}  // namespace qv::test
