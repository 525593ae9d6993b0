#pragma once
// "quorvane-index filter-host": the process that runs other programs' filters
// for the indexer, so that a filter that crashes, hangs or runs wild costs only
// this process and the one file it was reading. The indexer starts it with one
// pipe as its standard input and output (see FilterProtocol.h), in a job
// object that bounds its memory and time, and ends it when a file takes too
// long. It serves files one after another until the pipe closes.

#include <cstddef>
#include <string>

#include "service/filters/FilterProtocol.h"

namespace qv::service {

// Serves the pipe of standard input and output; returns the exit code.
int RunFilterHost();

// Reads one file's text chunks through the filter of class `filter`, as UTF-8
// of at most `limit` bytes. Runs the filter in this process: only the host
// calls it.
FilterStatus ReadWithFilter(const CLSID& filter, const std::wstring& path, std::size_t limit, std::string* text);

}  // namespace qv::service
