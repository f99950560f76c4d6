#pragma once
// A file held open as a spreadsheet application holds an open workbook: read
// by others, but neither written nor deleted while it is open (Windows).

#include <windows.h>

#include <filesystem>

namespace quorvel::testsupport {

class HeldOpen {
  public:
    explicit HeldOpen(const std::filesystem::path& file)
        : handle_(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~HeldOpen() { CloseHandle(handle_); }
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;
    bool is_open() const { return handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_;
};

}  // namespace quorvel::testsupport
