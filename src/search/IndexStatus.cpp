#include "search/IndexStatus.h"

#include "common/ComBase.h"
#include "common/DesktopSearchInterfaces.h"
#include "search/ServiceObjects.h"

namespace qv {

bool AskIndexStatus(IndexStatus& status) {
  ComPtr<IQuorvaneIndexStatus> service;
  if (FAILED(CreateServiceObject(kQueryApiProgId, service)) || !service) return false;
  IndexStatus answer;
  if (FAILED(service->GetIndexStatus(&answer.state, &answer.files, &answer.folders))) return false;
  status = answer;
  return true;
}

}  // namespace qv
