#include "service/filters/FilterHostProcess.h"

#include <string>

#include "service/ServicePaths.h"

namespace qv::service {
namespace {

struct HostOptions {
  SRWLOCK lock = SRWLOCK_INIT;
  std::wstring tool;
  FilterHostLimits limits;
};
HostOptions g_options;

// A pipe name no other process chose: this process, a moment and a count.
std::wstring NewPipeName() {
  static volatile LONG count = 0;
  return L"\\\\.\\pipe\\quorvane-filter-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(InterlockedIncrement(&count));
}

std::uint64_t UserTimeMs(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return ((static_cast<std::uint64_t>(user.dwHighDateTime) << 32) | user.dwLowDateTime) / 10000;
}

}  // namespace

void SetFilterHostOptions(const std::wstring& tool, const FilterHostLimits& limits) {
  ExclusiveLock guard(g_options.lock);
  g_options.tool = tool;
  g_options.limits = limits;
}

FilterHostProcess::FilterHostProcess() {
  {
    SharedLock guard(g_options.lock);
    tool_ = g_options.tool;
    limits_ = g_options.limits;
  }
  if (tool_.empty()) tool_ = IndexToolPath();
}

FilterHostProcess::~FilterHostProcess() { Stop(); }

void FilterHostProcess::Stop() {
  // Closing the pipe lets a healthy host end by itself; the job ends it anyway.
  pipe_.Reset();
  if (process_ && WaitForSingleObject(process_.Get(), 200) != WAIT_OBJECT_0) {
    if (!job_ || !TerminateJobObject(job_.Get(), 1)) TerminateProcess(process_.Get(), 1);
    WaitForSingleObject(process_.Get(), 5000);
  }
  job_.Reset();
  process_.Reset();
  filesServed_ = 0;
}

bool FilterHostProcess::DueForReplacement() const {
  return filesServed_ >= limits_.filesPerHost || UserTimeMs(process_.Get()) >= limits_.cpuRecycleMs ||
         WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0;
}

bool FilterHostProcess::Start() {
  if (tool_.empty()) return false;
  if (!ioDone_) ioDone_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!ioDone_) return false;
  std::wstring name = NewPipeName();
  DWORD pipeMode = PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT;
  HANDLE server = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                   pipeMode | PIPE_REJECT_REMOTE_CLIENTS, 1, 64 * 1024, 64 * 1024, 0, nullptr);
  if (server == INVALID_HANDLE_VALUE) return false;
  pipe_.Reset(server);
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  UniqueHandle client = FileHandle(
      CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, 0, nullptr));
  if (!client) return false;

  job_.Reset(CreateJobObjectW(nullptr, nullptr));
  if (!job_) return false;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_MEMORY | JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE |
                                            JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION |
                                            JOB_OBJECT_LIMIT_PROCESS_TIME | JOB_OBJECT_LIMIT_ACTIVE_PROCESS |
                                            JOB_OBJECT_LIMIT_PRIORITY_CLASS;
  limits.BasicLimitInformation.PerProcessUserTimeLimit.QuadPart =
      static_cast<LONGLONG>(limits_.cpuLimitMs) * 10000;
  limits.BasicLimitInformation.ActiveProcessLimit = 1;
  limits.BasicLimitInformation.PriorityClass = BELOW_NORMAL_PRIORITY_CLASS;
  limits.ProcessMemoryLimit = limits_.memoryBytes;
  if (!SetInformationJobObject(job_.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) return false;

  std::wstring commandLine = L"\"" + tool_ + L"\" filter-host";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = client.Get();
  startup.hStdOutput = client.Get();
  startup.hStdError = nullptr;
  PROCESS_INFORMATION started = {};
  if (!CreateProcessW(tool_.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                      CREATE_NO_WINDOW | CREATE_SUSPENDED | BELOW_NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
                      &started)) {
    return false;
  }
  process_.Reset(started.hProcess);
  UniqueHandle thread(started.hThread);
  // Only the host holds the pipe's other end: when it dies, the pipe breaks.
  client.Reset();
  // No host runs outside its job.
  if (!AssignProcessToJobObject(job_.Get(), process_.Get())) {
    TerminateProcess(process_.Get(), 1);
    return false;
  }
  ResumeThread(thread.Get());
  std::uint32_t ready = 0;
  return Transfer(false, &ready, sizeof ready, GetTickCount64() + limits_.startMs) && ready == kHostReady;
}

bool FilterHostProcess::Transfer(bool write, void* data, DWORD size, ULONGLONG deadline) {
  auto* bytes = static_cast<char*>(data);
  while (size > 0) {
    OVERLAPPED io = {};
    io.hEvent = ioDone_.Get();
    ResetEvent(io.hEvent);
    DWORD moved = 0;
    BOOL done = write ? WriteFile(pipe_.Get(), bytes, size, &moved, &io) : ReadFile(pipe_.Get(), bytes, size, &moved, &io);
    if (!done) {
      if (GetLastError() != ERROR_IO_PENDING) return false;
      ULONGLONG now = GetTickCount64();
      DWORD wait = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
      if (WaitForSingleObject(io.hEvent, wait) != WAIT_OBJECT_0) {
        CancelIo(pipe_.Get());
        GetOverlappedResult(pipe_.Get(), &io, &moved, TRUE);
        return false;
      }
      if (!GetOverlappedResult(pipe_.Get(), &io, &moved, FALSE)) return false;
    }
    if (moved == 0) return false;
    bytes += moved;
    size -= moved;
  }
  return true;
}

FilterOutcome FilterHostProcess::Filter(const CLSID& filter, const std::wstring& path, std::uint32_t textLimit,
                                        FilterStatus* status, std::string* text) {
  text->clear();
  if (path.empty() || path.size() > kMaxFilterPathChars || textLimit > kMaxFilterTextBytes) return FilterOutcome::Failed;
  if (process_ && DueForReplacement()) Stop();
  if (!process_ && !Start()) {
    Stop();
    return FilterOutcome::Unavailable;
  }
  ++filesServed_;
  ULONGLONG deadline = GetTickCount64() + limits_.fileMs;
  std::string request = EncodeFilterRequest({filter, textLimit, path});
  char header[kReplyHeaderBytes];
  std::optional<FilterReplyHeader> reply;
  if (Transfer(true, request.data(), static_cast<DWORD>(request.size()), deadline) &&
      Transfer(false, header, sizeof header, deadline)) {
    reply = DecodeFilterReplyHeader(header, textLimit);
  }
  if (reply) {
    text->resize(reply->textBytes);
    if (Transfer(false, text->data(), reply->textBytes, deadline)) {
      *status = reply->status;
      return FilterOutcome::Answered;
    }
  }
  // Dead, hung past the file's limit, or out of step: this host is done.
  text->clear();
  Stop();
  return FilterOutcome::Failed;
}

}  // namespace qv::service
