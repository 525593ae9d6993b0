#pragma once
// The indexer's side of the filter host (see FilterHost.h): starts
// "quorvane-index filter-host" without a window, at low priority, in a job
// object that bounds its memory and CPU time, forbids it other processes and
// ends it with the job; hands it one file at a time and waits for the answer
// no longer than the file's time limit. A host that dies, hangs or answers
// out of turn is ended, and the next file starts a new one.

#include <windows.h>

#include <cstdint>
#include <string>

#include "common/Holders.h"
#include "service/filters/FilterProtocol.h"

namespace qv::service {

struct FilterHostLimits {
  DWORD startMs = 30000;   // until a new host says it is ready
  DWORD fileMs = 30000;    // one file, from the request to the end of the answer
  SIZE_T memoryBytes = 512 * 1024 * 1024;  // committed memory of the host
  // CPU time of one host (the job's limit), and the share after which the
  // host is replaced before the next file rather than risk the limit mid-file.
  std::uint64_t cpuLimitMs = 10 * 60 * 1000;
  std::uint64_t cpuRecycleMs = 8 * 60 * 1000;
  unsigned filesPerHost = 1000;
};

// What new hosts use from now on: the tool to start (empty: quorvane-index.exe
// beside this module) and their limits. Tests shorten the limits.
void SetFilterHostOptions(const std::wstring& tool, const FilterHostLimits& limits);

enum class FilterOutcome {
  Answered,     // `status` and `text` hold the host's answer
  Failed,       // the host crashed, hung, ran out of its limits or answered nonsense
  Unavailable,  // no host could be started: try the file again later
};

class FilterHostProcess {
 public:
  FilterHostProcess();
  FilterHostProcess(const FilterHostProcess&) = delete;
  FilterHostProcess& operator=(const FilterHostProcess&) = delete;
  ~FilterHostProcess();

  FilterOutcome Filter(const CLSID& filter, const std::wstring& path, std::uint32_t textLimit, FilterStatus* status,
                       std::string* text);

 private:
  bool Start();
  void Stop();
  bool DueForReplacement() const;
  // Moves bytes over the pipe by the deadline (a GetTickCount64 value).
  bool Transfer(bool write, void* data, DWORD size, ULONGLONG deadline);

  std::wstring tool_;
  FilterHostLimits limits_;
  UniqueHandle job_;
  UniqueHandle process_;
  UniqueHandle pipe_;
  UniqueHandle ioDone_;
  unsigned filesServed_ = 0;
};

}  // namespace qv::service
