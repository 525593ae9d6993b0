#include "service/filters/RegisteredFilters.h"

#include "service/PathText.h"
#include "service/TextExtractor.h"
#include "service/filters/FilterHostProcess.h"
#include "service/filters/FilterRegistry.h"

namespace qv::service {
namespace {

std::optional<CLSID> FilterClassFor(const std::wstring& extension) {
  if (IsTextExtension(extension)) return std::nullopt;
  return RegisteredFilterClass(extension);
}

}  // namespace

bool HasRegisteredFilter(const std::wstring& extension) { return FilterClassFor(extension).has_value(); }

RegisteredFilters::RegisteredFilters() = default;
RegisteredFilters::~RegisteredFilters() = default;

bool RegisteredFilters::Handles(const std::wstring& extension) {
  auto known = classes_.find(extension);
  if (known == classes_.end()) known = classes_.emplace(extension, FilterClassFor(extension)).first;
  return known->second.has_value();
}

ReadTextResult RegisteredFilters::Read(const std::wstring& path, const std::wstring& extension, std::size_t limit,
                                       std::string* text) {
  text->clear();
  if (!Handles(extension)) return ReadTextResult::NotText;
  if (!host_) host_ = std::make_unique<FilterHostProcess>();
  FilterStatus status = FilterStatus::Damaged;
  // The filter opens the file itself, by a path it can open however long.
  switch (host_->Filter(*classes_[extension], ForFileApi(path), static_cast<std::uint32_t>(limit), &status, text)) {
    case FilterOutcome::Unavailable:
      return ReadTextResult::Unreadable;
    case FilterOutcome::Failed:
      return ReadTextResult::FilterFailed;
    case FilterOutcome::Answered:
      break;
  }
  switch (status) {
    case FilterStatus::Read:
      return ReadTextResult::Read;
    case FilterStatus::CutOff:
      return ReadTextResult::CutOff;
    case FilterStatus::Encrypted:
      return ReadTextResult::Encrypted;
    case FilterStatus::Unreadable:
      return ReadTextResult::Unreadable;
    case FilterStatus::NoFilter:
      return ReadTextResult::NotText;
    case FilterStatus::Damaged:
      break;
  }
  return ReadTextResult::Damaged;
}

}  // namespace qv::service
