#include "folders/FileStamp.h"

#include "common/Holders.h"

namespace qv {

bool FileStamp::Read(const std::wstring& path, FileStamp& stamp) {
  stamp = FileStamp();
  if (path.empty()) return true;
  // No read or write access is asked for: the stamp can be taken while another
  // program holds the file open without sharing it.
  UniqueHandle file = FileHandle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  BY_HANDLE_FILE_INFORMATION information = {};
  if (!GetFileInformationByHandle(file.Get(), &information)) return false;
  stamp.exists = true;
  stamp.volumeSerial = information.dwVolumeSerialNumber;
  stamp.fileIndex = (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
  stamp.lastWrite = (static_cast<std::uint64_t>(information.ftLastWriteTime.dwHighDateTime) << 32) |
                    information.ftLastWriteTime.dwLowDateTime;
  stamp.size = (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
  return true;
}

bool FileGlance::Read(const std::wstring& path, FileGlance& glance) {
  glance = FileGlance();
  if (path.empty()) return true;
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  glance.exists = true;
  glance.created = (static_cast<std::uint64_t>(data.ftCreationTime.dwHighDateTime) << 32) |
                   data.ftCreationTime.dwLowDateTime;
  glance.lastWrite = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                     data.ftLastWriteTime.dwLowDateTime;
  glance.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

}  // namespace qv
