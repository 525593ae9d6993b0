#pragma once
// Turning one result of the desktop search service into a result identifier's
// record.

#include "pidl/ItemIdentifier.h"
#include "search/DesktopSearchInterfaces.h"

namespace qv {

class CPidlManager;

// Fills a zeroed record of kind 1 from the result's "uri" and "title": the path
// (cut to 259 characters), the title as name (cut to 49) or, when the title is
// missing, empty, a drive path or the path itself, the path's file name; and the
// handle of the file's shell ID list from the manager (0 when the shell cannot
// parse the path, or without a manager). Throws ComError when "uri" cannot be read.
void FillResultRecord(IDesktopSearchResult* result, ResultRecord& record, CPidlManager* manager);

}  // namespace qv
