#include "service/IndexWatcher.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <vector>

#include "common/Holders.h"
#include "service/Indexer.h"
#include "service/PathText.h"
#include "service/ExclusionList.h"
#include "service/RootList.h"
#include "service/ServiceDatabase.h"
#include "service/ServicePaths.h"
#include "service/SqliteDatabase.h"

namespace qv::service {
namespace {

constexpr DWORD kChangeFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;
// A root's subtree watch sees every change under it; a single folder's far fewer.
constexpr std::size_t kRootBufferBytes = 64 * 1024;
constexpr std::size_t kFolderBufferBytes = 4 * 1024;
// After a failed write (another pass holds the index) the batch is tried again.
constexpr DWORD kBusyRetryMs = 1000;

UniqueHandle OpenFolderForWatching(const std::wstring& folder) {
  HANDLE handle = CreateFileW(ForFileApi(folder).c_str(), FILE_LIST_DIRECTORY,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
  return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

bool IsFolder(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(ForFileApi(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The folders under `folder` (not itself), skipping junctions and links.
void CollectSubfolders(const std::wstring& folder, std::vector<std::wstring>& found, std::size_t limit) {
  std::vector<std::wstring> queue{folder};
  while (!queue.empty() && found.size() < limit) {
    std::wstring current = std::move(queue.back());
    queue.pop_back();
    std::wstring prefix = SubtreePrefix(current);
    WIN32_FIND_DATAW entry;
    FindSearch find = FindSearchHandle(FindFirstFileExW(ForFileApi(prefix + L"*").c_str(), FindExInfoBasic, &entry,
                                                        FindExSearchLimitToDirectories, nullptr, 0));
    if (!find) continue;
    do {
      std::wstring name = entry.cFileName;
      if (name == L"." || name == L".." || !(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
          (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        continue;
      }
      found.push_back(prefix + name);
      queue.push_back(prefix + name);
    } while (found.size() < limit && FindNextFileW(find.Get(), &entry));
  }
}

class WatchSession;

// Thrown from an index pass's progress report when the watcher is asked to
// stop: the pass ends at once, keeping the batches it committed.
struct StopRequested {};

// One outstanding ReadDirectoryChangesW on one folder. The OVERLAPPED comes
// first so the completion routine finds its watch.
struct FolderWatch {
  OVERLAPPED overlapped = {};
  WatchSession* session = nullptr;
  std::wstring folder;
  std::wstring root;
  bool subtree = false;
  bool pending = false;  // a read is outstanding: the buffer belongs to the system
  UniqueHandle handle;
  std::vector<DWORD> buffer;  // DWORD-aligned, as the call requires
};

class WatchSession {
 public:
  WatchSession(const WatcherSettings& settings, WatchMode mode)
      : settings_(settings), mode_(mode), dataFolder_(NormalizeFolderPath(DataFolder())) {}

  ~WatchSession() {
    for (auto& [key, watch] : watches_) Retire(std::move(watch));
    watches_.clear();
    // Let the cancelled reads complete before their buffers go.
    for (int i = 0; i < 50 && std::any_of(retired_.begin(), retired_.end(), [](auto& w) { return w->pending; }); ++i) {
      SleepEx(10, TRUE);
    }
    // A read the system never finished keeps its memory: freeing it could let
    // a late completion write into freed memory.
    for (auto& watch : retired_) {
      if (watch->pending) watch.release();
    }
  }

  void Run(HANDLE stop, HANDLE rootsChanged) {
    stop_ = stop;
    LoadRoots(/*recheckNew=*/false);
    try {
      CatchUp();
    } catch (const StopRequested&) {
      return;
    }
    HANDLE events[2] = {stop, rootsChanged};
    for (;;) {
      DWORD timeout = NextTimeout();
      DWORD result = WaitForMultipleObjectsEx(2, events, FALSE, timeout, TRUE);
      if (result == WAIT_OBJECT_0) break;
      if (result == WAIT_OBJECT_0 + 1) LoadRoots(/*recheckNew=*/true);
      if (result == WAIT_FAILED) Sleep(100);
      ULONGLONG now = GetTickCount64();
      if (retryAt_ && now >= retryAt_) RetryUnreachableRoots();
      if (IsBatchDue(now)) {
        try {
          Flush();
        } catch (const StopRequested&) {
          return;
        }
      }
      FreeFinishedWatches();
    }
    if (!pending_.empty()) {
      // What is pending is written; a root re-check waits for the next start,
      // whose catch-up pass does the same.
      recheck_.clear();
      removedRoots_ = false;
      try {
        Flush();
      } catch (const StopRequested&) {
      }
    }
  }

  static void CALLBACK OnChanges(DWORD error, DWORD bytes, OVERLAPPED* overlapped) {
    auto* watch = reinterpret_cast<FolderWatch*>(overlapped);
    watch->pending = false;
    if (watch->session) watch->session->Changed(*watch, error, bytes);
  }

 private:
  // --- roots and watches ---

  void LoadRoots(bool recheckNew) {
    std::vector<std::wstring> roots;
    try {
      roots = RootList().All();
    } catch (const SqliteError&) {
      return;
    }
    std::set<std::wstring> wanted;
    for (const std::wstring& root : roots) wanted.insert(FoldPathCase(root));
    ExclusionRules exclusions = ExclusionRules::Load();
    if (!(exclusions == exclusions_)) {
      // What the exclusions now cover leaves, and what they no longer cover
      // comes in, with a whole pass; folders are watched anew by the new rules.
      exclusions_ = exclusions;
      if (recheckNew) {
        for (const auto& [key, root] : roots_) {
          RetireUnder(root);
          if (!WatchRoot(root)) unreachable_.insert(key);
        }
        removedRoots_ = true;
      }
    }
    // Roots removed: stop watching them; the pass takes their files out.
    std::vector<std::wstring> gone;
    for (const auto& [key, root] : roots_) {
      if (!wanted.count(key)) gone.push_back(key);
    }
    for (const std::wstring& key : gone) {
      RetireUnder(roots_[key]);
      unreachable_.erase(key);
      roots_.erase(key);
      removedRoots_ = true;
    }
    for (const std::wstring& root : roots) {
      std::wstring key = FoldPathCase(root);
      if (roots_.count(key)) continue;
      roots_[key] = root;
      if (!WatchRoot(root)) {
        unreachable_.insert(key);
        ScheduleRetry();
      }
      if (recheckNew) Recheck(root);
    }
    if (removedRoots_) MarkDue();
  }

  bool WatchRoot(const std::wstring& root) {
    if (!IsFolder(root)) return false;
    if (mode_ == WatchMode::Subtree) return Watch(root, root, true);
    if (!Watch(root, root, false)) return false;
    WatchFoldersUnder(root, root);
    return true;
  }

  void WatchFoldersUnder(const std::wstring& folder, const std::wstring& root) {
    std::vector<std::wstring> folders;
    std::size_t room = settings_.maxFolderWatches > watches_.size() ? settings_.maxFolderWatches - watches_.size() : 0;
    CollectSubfolders(folder, folders, room);
    for (const std::wstring& sub : folders) {
      if (!IsIgnored(sub) && !exclusions_.ExcludesUnder(root, sub)) Watch(sub, root, false);
    }
  }

  bool Watch(const std::wstring& folder, const std::wstring& root, bool subtree) {
    std::wstring key = FoldPathCase(folder);
    if (watches_.count(key)) return true;
    if (watches_.size() >= settings_.maxFolderWatches) return false;
    auto watch = std::make_unique<FolderWatch>();
    watch->session = this;
    watch->folder = folder;
    watch->root = root;
    watch->subtree = subtree;
    watch->handle = OpenFolderForWatching(folder);
    if (!watch->handle.Get()) return false;
    watch->buffer.resize((subtree ? kRootBufferBytes : kFolderBufferBytes) / sizeof(DWORD));
    if (!Issue(*watch)) return false;
    watches_[key] = std::move(watch);
    return true;
  }

  bool Issue(FolderWatch& watch) {
    watch.overlapped = OVERLAPPED{};
    if (!ReadDirectoryChangesW(watch.handle.Get(), watch.buffer.data(),
                               static_cast<DWORD>(watch.buffer.size() * sizeof(DWORD)), watch.subtree ? TRUE : FALSE,
                               kChangeFilter, nullptr, &watch.overlapped, &WatchSession::OnChanges)) {
      return false;
    }
    watch.pending = true;
    return true;
  }

  void Retire(std::unique_ptr<FolderWatch> watch) {
    watch->session = nullptr;
    if (watch->pending) CancelIoEx(watch->handle.Get(), &watch->overlapped);
    watch->handle.Reset();
    retired_.push_back(std::move(watch));
  }

  // Stops the watches of a folder and everything under it. The watches are
  // ordered by folded path, so those under the folder are one run of keys
  // ("folder\" up to "folder]"): removing many folders costs each a lookup,
  // not a look at every watch.
  void RetireUnder(const std::wstring& folder) {
    std::wstring key = FoldPathCase(folder);
    auto own = watches_.find(key);
    if (own != watches_.end()) {
      Retire(std::move(own->second));
      watches_.erase(own);
    }
    std::wstring first = SubtreePrefix(key);
    std::wstring last = first;
    last.back() = static_cast<wchar_t>(L'\\' + 1);
    auto begin = watches_.lower_bound(first);
    auto end = watches_.lower_bound(last);
    for (auto it = begin; it != end; ++it) Retire(std::move(it->second));
    watches_.erase(begin, end);
  }

  void FreeFinishedWatches() {
    retired_.erase(std::remove_if(retired_.begin(), retired_.end(), [](auto& w) { return !w->pending; }),
                   retired_.end());
  }

  void ScheduleRetry() {
    if (!retryAt_) retryAt_ = GetTickCount64() + settings_.retryMs;
  }

  void RetryUnreachableRoots() {
    retryAt_ = 0;
    std::vector<std::wstring> back;
    for (const std::wstring& key : unreachable_) {
      if (WatchRoot(roots_[key])) back.push_back(key);
    }
    for (const std::wstring& key : back) {
      unreachable_.erase(key);
      // What changed while it was away.
      Recheck(roots_[key]);
    }
    if (!unreachable_.empty()) ScheduleRetry();
  }

  // --- changes ---

  void Changed(FolderWatch& watch, DWORD error, DWORD bytes) {
    if (error == ERROR_OPERATION_ABORTED) return;
    std::wstring key = FoldPathCase(watch.folder);
    if (error == ERROR_SUCCESS && bytes == 0) {
      // The buffer overflowed: the changes are lost, so the root is looked at whole.
      Recheck(watch.root);
    } else if (error == ERROR_NOTIFY_ENUM_DIR) {
      Recheck(watch.root);
    } else if (error != ERROR_SUCCESS) {
      LostWatch(key);
      return;
    } else {
      ReadNotifications(watch, bytes);
    }
    // The read may have retired the watch (its folder went away).
    auto it = watches_.find(key);
    if (it == watches_.end() || it->second.get() != &watch) return;
    if (!Issue(watch)) LostWatch(key);
  }

  // A folder that can no longer be watched was deleted or its root went away.
  void LostWatch(const std::wstring& key) {
    auto it = watches_.find(key);
    if (it == watches_.end()) return;
    std::wstring folder = it->second->folder;
    std::wstring root = it->second->root;
    RetireUnder(folder);
    auto rootKey = FoldPathCase(root);
    if (FoldPathCase(folder) == rootKey || !IsFolder(root)) {
      RetireUnder(root);
      unreachable_.insert(rootKey);
      ScheduleRetry();
    } else {
      Add(folder);
    }
  }

  void ReadNotifications(FolderWatch& watch, DWORD bytes) {
    const BYTE* base = reinterpret_cast<const BYTE*>(watch.buffer.data());
    std::wstring prefix = SubtreePrefix(watch.folder);
    std::wstring root = watch.root;
    bool eachFolder = !watch.subtree;
    // Copy the entries first: starting watches for new folders changes the maps.
    std::vector<std::pair<DWORD, std::wstring>> entries;
    for (DWORD offset = 0; offset < bytes;) {
      auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(base + offset);
      if (offset + sizeof(FILE_NOTIFY_INFORMATION) > bytes ||
          offset + offsetof(FILE_NOTIFY_INFORMATION, FileName) + info->FileNameLength > bytes) {
        break;
      }
      entries.emplace_back(info->Action, prefix + std::wstring(info->FileName, info->FileNameLength / sizeof(WCHAR)));
      if (info->NextEntryOffset == 0) break;
      offset += info->NextEntryOffset;
    }
    for (auto& [action, path] : entries) {
      if (IsIgnored(path)) continue;
      // Inside an excluded folder nothing is indexed; an excluded name itself
      // still goes to the index, which takes it out.
      if (exclusions_.ExcludesUnder(root, path.substr(0, path.find_last_of(L'\\')))) continue;
      switch (action) {
        case FILE_ACTION_MODIFIED:
          // A folder is "modified" when its entries change; they report themselves.
          if (IsFolder(path)) continue;
          break;
        case FILE_ACTION_ADDED:
        case FILE_ACTION_RENAMED_NEW_NAME:
          if (eachFolder && IsFolder(path) && !exclusions_.ExcludesUnder(root, path)) {
            Watch(path, root, false);
            WatchFoldersUnder(path, root);
          }
          break;
        case FILE_ACTION_REMOVED:
        case FILE_ACTION_RENAMED_OLD_NAME:
          if (eachFolder) RetireUnder(path);
          break;
        default:
          break;
      }
      Add(path);
    }
  }

  bool IsIgnored(const std::wstring& path) const {
    // The index's own files change with every batch written.
    return !dataFolder_.empty() && IsInsideFolder(path, dataFolder_);
  }

  void Add(const std::wstring& path) {
    if (pending_.size() >= settings_.maxPendingPaths) {
      // Too many to keep one by one: look at the roots they belong to instead.
      for (const auto& [key, pendingPath] : pending_) {
        for (const auto& [rootKey, root] : roots_) {
          if (IsInsideFolder(pendingPath, root)) recheck_.insert(rootKey);
        }
      }
      pending_.clear();
    }
    pending_.emplace(FoldPathCase(path), path);
    MarkDue();
  }

  void Recheck(const std::wstring& root) {
    recheck_.insert(FoldPathCase(root));
    MarkDue();
  }

  void MarkDue() {
    ULONGLONG now = GetTickCount64();
    if (!firstChange_) firstChange_ = now;
    lastChange_ = now;
  }

  bool IsBatchDue(ULONGLONG now) const {
    if (!firstChange_ || now < notBefore_) return false;
    return now - lastChange_ >= settings_.quietMs || now - firstChange_ >= settings_.maxDelayMs;
  }

  DWORD NextTimeout() const {
    ULONGLONG now = GetTickCount64();
    ULONGLONG wake = 0;
    if (firstChange_) {
      wake = std::min(lastChange_ + settings_.quietMs, firstChange_ + settings_.maxDelayMs);
      wake = std::max(wake, notBefore_);
    }
    if (retryAt_ && (!wake || retryAt_ < wake)) wake = retryAt_;
    if (!wake) return INFINITE;
    return wake <= now ? 0 : static_cast<DWORD>(wake - now);
  }

  Indexer StoppableIndexer() const {
    return Indexer([stop = stop_](const IndexProgress&) {
      if (stop && WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) throw StopRequested();
    });
  }

  void CatchUp() {
    try {
      StoppableIndexer().Run();
    } catch (const IndexBusy&) {
      // Another pass is bringing the index up to date already.
    } catch (const SqliteError&) {
      for (const auto& [key, root] : roots_) Recheck(root);
    }
  }

  void Flush() {
    std::vector<std::wstring> paths;
    for (const auto& [key, root] : roots_) {
      if (recheck_.count(key)) paths.push_back(root);
    }
    for (const auto& [key, path] : pending_) {
      bool inRechecked = false;
      for (const std::wstring& rootKey : recheck_) {
        auto root = roots_.find(rootKey);
        inRechecked = inRechecked || (root != roots_.end() && IsInsideFolder(path, root->second));
      }
      if (!inRechecked) paths.push_back(path);
    }
    try {
      if (removedRoots_) {
        // Files of removed roots leave with a whole pass.
        StoppableIndexer().Run();
        removedRoots_ = false;
      }
      if (!paths.empty()) StoppableIndexer().Update(paths);
    } catch (const IndexBusy&) {
      notBefore_ = GetTickCount64() + kBusyRetryMs;
      return;
    } catch (const SqliteError&) {
      notBefore_ = GetTickCount64() + 10 * kBusyRetryMs;
      return;
    }
    pending_.clear();
    recheck_.clear();
    firstChange_ = lastChange_ = notBefore_ = 0;
  }

  const WatcherSettings& settings_;
  WatchMode mode_;
  HANDLE stop_ = nullptr;
  std::wstring dataFolder_;
  std::map<std::wstring, std::wstring> roots_;  // folded path -> path
  ExclusionRules exclusions_;
  std::set<std::wstring> unreachable_;
  std::map<std::wstring, std::unique_ptr<FolderWatch>> watches_;  // by folded path
  std::vector<std::unique_ptr<FolderWatch>> retired_;
  std::unordered_map<std::wstring, std::wstring> pending_;
  std::set<std::wstring> recheck_;
  bool removedRoots_ = false;
  ULONGLONG firstChange_ = 0;
  ULONGLONG lastChange_ = 0;
  ULONGLONG notBefore_ = 0;
  ULONGLONG retryAt_ = 0;
};

}  // namespace

WatchMode DetectWatchMode(DWORD waitMs) {
  std::wstring probe = DataFolder() + L"watch-probe-" + std::to_wstring(GetCurrentProcessId());
  std::wstring sub = probe + L"\\sub";
  std::wstring file = sub + L"\\probe.txt";
  WatchMode mode = WatchMode::EachFolder;
  if (CreateFolderTree(sub)) {
    UniqueHandle folder = OpenFolderForWatching(probe);
    UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    DWORD buffer[1024];
    OVERLAPPED overlapped = {};
    overlapped.hEvent = event.Get();
    if (folder.Get() && event.Get() &&
        ReadDirectoryChangesW(folder.Get(), buffer, sizeof buffer, TRUE, FILE_NOTIFY_CHANGE_FILE_NAME, nullptr,
                              &overlapped, nullptr)) {
      HANDLE created = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      if (created != INVALID_HANDLE_VALUE) CloseHandle(created);
      DWORD bytes = 0;
      if (WaitForSingleObject(event.Get(), waitMs) == WAIT_OBJECT_0 &&
          GetOverlappedResult(folder.Get(), &overlapped, &bytes, FALSE) && bytes > 0) {
        auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buffer);
        std::wstring name(info->FileName, info->FileNameLength / sizeof(WCHAR));
        if (name.find(L'\\') != std::wstring::npos) mode = WatchMode::Subtree;
      } else {
        CancelIoEx(folder.Get(), &overlapped);
        GetOverlappedResult(folder.Get(), &overlapped, &bytes, TRUE);
      }
    }
  }
  DeleteFileW(file.c_str());
  RemoveDirectoryW(sub.c_str());
  RemoveDirectoryW(probe.c_str());
  return mode;
}

void IndexWatcher::Run(HANDLE stop, HANDLE rootsChanged) {
  WatchMode mode = DetectWatchMode();
  try {
    OpenServiceDatabase()
        ->Prepare("INSERT OR REPLACE INTO settings(key, value) VALUES('watch_mode', ?1)")
        .Bind(1, static_cast<std::int64_t>(mode == WatchMode::Subtree ? 1 : 2))
        .Run();
  } catch (const SqliteError&) {
    // Only status reads it.
  }
  WatchSession session(settings_, mode);
  session.Run(stop, rootsChanged);
}

std::wstring WatchModeText() {
  try {
    auto db = OpenServiceDatabase();
    SqliteStatement select = db->Prepare("SELECT value FROM settings WHERE key = 'watch_mode'");
    if (!select.Step()) return {};
    return select.Integer(0) == 1 ? L"one watch per folder tree" : L"each folder watched on its own";
  } catch (const SqliteError&) {
    return {};
  }
}

void EnterBackgroundMode() {
  if (!SetPriorityClass(GetCurrentProcess(), PROCESS_MODE_BACKGROUND_BEGIN)) {
    SetPriorityClass(GetCurrentProcess(), IDLE_PRIORITY_CLASS);
  }
}

}  // namespace qv::service
