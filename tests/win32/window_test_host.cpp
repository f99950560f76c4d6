// The real Win32 main window, pointed at a local stand-in for the
// marketplace: its hosts, the addresses they resolve to and the CA file that
// signs its certificate come from the command line. quorvel.exe itself always
// asks the marketplace's own hosts.
//
//   quorvel_window_test_host.exe [--suggest-host HOST[:PORT]] [--search-host HOST[:PORT]]
//                                [--resolve HOST:PORT:ADDRESS]... [--cacert FILE]

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/http_transport.h"
#include "platform/utf8_path.h"
#include "win32/start.h"

namespace {

std::string utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

// A message box would wait for an answer no test gives: the reason goes to
// standard error, which Wine hands on to the test's log.
int usage(const std::string& why) {
    std::fputs(("quorvel_window_test_host: " + why + "\n").c_str(), stderr);
    return 2;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    int count = 0;
    wchar_t** wide_args = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) {
        args.push_back(utf8(wide_args[i]));
    }
    LocalFree(wide_args);

    quorvel::win32::WindowStart start;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (i + 1 >= args.size()) {
            return usage(option + " needs a value");
        }
        const std::string& value = args[++i];
        if (option == "--suggest-host") {
            start.hosts.suggest = value;
        } else if (option == "--search-host") {
            start.hosts.search = value;
        } else if (option == "--resolve") {
            auto entry = quorvel::platform::parse_resolve_entry(value);
            if (!entry) {
                return usage("--resolve: " + entry.error());
            }
            start.resolve.push_back(*entry);
        } else if (option == "--cacert") {
            start.extra_ca_file = quorvel::platform::path_from_utf8(value);
        } else {
            return usage("unknown option " + option);
        }
    }
    return quorvel::win32::run_main_window(instance, show, start);
}
