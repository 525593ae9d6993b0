#include "service/filters/FilterProtocol.h"

#include <cstring>

namespace qv::service {
namespace {

void Put(std::string& out, std::uint32_t value) { out.append(reinterpret_cast<const char*>(&value), sizeof value); }

std::uint32_t Get(const char* bytes, std::size_t offset) {
  std::uint32_t value;
  std::memcpy(&value, bytes + offset, sizeof value);
  return value;
}

}  // namespace

std::string EncodeFilterRequest(const FilterRequest& request) {
  std::string out;
  Put(out, kRequestMagic);
  Put(out, request.textLimit);
  Put(out, static_cast<std::uint32_t>(request.path.size()));
  out.append(reinterpret_cast<const char*>(&request.filter), sizeof request.filter);
  out.append(reinterpret_cast<const char*>(request.path.data()), request.path.size() * sizeof(wchar_t));
  return out;
}

std::optional<FilterRequest> DecodeFilterRequestHeader(const char* header, std::uint32_t* pathChars) {
  static_assert(kRequestHeaderBytes == 12 + sizeof(CLSID));
  FilterRequest request;
  request.textLimit = Get(header, 4);
  *pathChars = Get(header, 8);
  if (Get(header, 0) != kRequestMagic || request.textLimit > kMaxFilterTextBytes || *pathChars == 0 ||
      *pathChars > kMaxFilterPathChars) {
    return std::nullopt;
  }
  std::memcpy(&request.filter, header + 12, sizeof request.filter);
  return request;
}

std::string EncodeFilterReplyHeader(FilterStatus status, std::uint32_t textBytes) {
  std::string out;
  Put(out, kReplyMagic);
  Put(out, static_cast<std::uint32_t>(status));
  Put(out, textBytes);
  return out;
}

std::optional<FilterReplyHeader> DecodeFilterReplyHeader(const char* header, std::uint32_t textLimit) {
  FilterReplyHeader reply;
  std::uint32_t status = Get(header, 4);
  reply.textBytes = Get(header, 8);
  if (Get(header, 0) != kReplyMagic || status > static_cast<std::uint32_t>(FilterStatus::NoFilter) ||
      reply.textBytes > textLimit) {
    return std::nullopt;
  }
  reply.status = static_cast<FilterStatus>(status);
  return reply;
}

}  // namespace qv::service
