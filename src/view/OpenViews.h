#pragma once
// The module-wide list of open views, in order of construction. Views add and
// remove themselves; folder operations use it to refresh every view and to find
// the view that should start renaming a folder just created.

namespace qv {

class CShellView;

namespace openviews {
// Called by the view's constructor (throws std::bad_alloc) and destructor.
void Add(CShellView* view);
void Remove(CShellView* view) noexcept;
int Count() noexcept;
}  // namespace openviews

// Refresh on every open view, the oldest first.
void RefreshAllViews();
// The newest view still alive, or null.
CShellView* GetLastView();

}  // namespace qv
