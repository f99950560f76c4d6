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
#include "tests/support/command_line_windows.h"
#include "win32/start.h"

namespace {

// A message box would wait for an answer no test gives: the reason goes to
// standard error, which Wine hands on to the test's log.
int usage(const std::string& why) {
    std::fputs(("quorvel_window_test_host: " + why + "\n").c_str(), stderr);
    return 2;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    const std::vector<std::string> args = quorvel::testsupport::utf8_arguments();

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
