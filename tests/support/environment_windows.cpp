#include <windows.h>

#include <stdlib.h>
#include <time.h>

#include "tests/support/environment.h"

namespace quorvel::testsupport {
namespace {

std::wstring wide(const std::string& utf8) {
    std::wstring out(utf8.size(), L'\0');
    out.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(),
                            static_cast<int>(out.size()))));
    return out;
}

std::string utf8(const std::wstring& wide) {
    std::string out(wide.size() * 3, '\0');
    out.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(),
                            static_cast<int>(out.size()), nullptr, nullptr)));
    return out;
}

}  // namespace

std::optional<std::string> environment_value(const std::string& name) {
    const wchar_t* value = ::_wgetenv(wide(name).c_str());
    return value != nullptr ? std::optional<std::string>(utf8(value)) : std::nullopt;
}

void set_environment(const std::string& name, const std::string& value) {
    ::_wputenv_s(wide(name).c_str(), wide(value).c_str());
}

void unset_environment(const std::string& name) {
    ::_wputenv_s(wide(name).c_str(), L"");
}

void use_time_zone(const std::string& zone) {
    set_environment("TZ", zone);
    ::_tzset();
}

}  // namespace quorvel::testsupport
