#pragma once
// Whether the bundled search service's index has changed since a view last
// asked it: the index is an SQLite database kept with a rollback journal, whose
// header counts every write (a pass, the watcher's batch of changes). Reading
// those four bytes costs one small read; another service has no such file and
// never reports a change. Any thread.

#include <cstdint>

namespace qv {

// The index's change counter, or 0 when there is no index to read. Read from
// the file at most every quarter second per process.
std::uint32_t SearchIndexStamp();

}  // namespace qv
