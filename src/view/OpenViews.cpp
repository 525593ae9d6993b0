#include "view/OpenViews.h"

#include <algorithm>
#include <vector>

#include "view/CShellView.h"

namespace qv {
namespace {

std::vector<CShellView*>& Views() {
  static std::vector<CShellView*> views;
  return views;
}

}  // namespace

namespace openviews {

void Add(CShellView* view) { Views().push_back(view); }

void Remove(CShellView* view) noexcept {
  auto& views = Views();
  auto found = std::find(views.begin(), views.end(), view);
  if (found != views.end()) views.erase(found);
}

int Count() noexcept { return static_cast<int>(Views().size()); }

}  // namespace openviews

void RefreshAllViews() {
  // A refresh can end in a view's release (a host browsing away while the status
  // bar is written), so every view is held for the length of the walk.
  std::vector<ComPtr<IShellView>> views;
  for (CShellView* view : Views()) views.push_back(ComPtr<IShellView>::Share(view));
  for (auto& view : views) view->Refresh();
}

CShellView* GetLastView() { return Views().empty() ? nullptr : Views().back(); }

}  // namespace qv
