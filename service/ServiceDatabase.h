#pragma once
// The service's own small database (service.db in the data folder): the
// components registered as query clients, the cookies issued to them, and the
// folders the indexer covers, and the service's settings. It is kept apart from the index so that rebuilding
// a damaged index loses neither.

#include <memory>

#include "service/SqliteDatabase.h"

namespace qv::service {

// Opens service.db, creating its tables on first use. A damaged file is moved
// aside to "service.db.damaged" and started afresh: clients then register again
// through their lost-registration path. Throws SqliteError when even that fails.
std::unique_ptr<SqliteDatabase> OpenServiceDatabase();

}  // namespace qv::service
