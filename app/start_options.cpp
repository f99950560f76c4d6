#include "app/start_options.h"

#include <string_view>

#include "platform/version.h"

namespace quorvel::app {
namespace {

constexpr std::string_view usage =
    "Usage: quorvel [--version] [--help] [Qt options]\n"
    "\n"
    "Opens the Quorvel window, which harvests the related keywords of the Taobao\n"
    "marketplace for seed keywords and exports them as XLSX or CSV. quorvel-cli does\n"
    "the same from scripts and on machines without a desktop.\n"
    "\n"
    "Options:\n"
    "  --version   Print the version and exit\n"
    "  -h, --help  Print this help and exit\n"
    "\n"
    "Qt's own options, such as -platform offscreen or -style NAME, are passed on to Qt.\n"
    "The journal, the session and the log are in $XDG_DATA_HOME/quorvel/\n"
    "(~/.local/share/quorvel/ when XDG_DATA_HOME is unset).\n";

}  // namespace

std::optional<std::string> early_answer(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--version") {
            return std::string("quorvel ") + quorvel::version_text + "\n";
        }
        if (argument == "--help" || argument == "-h") {
            return std::string(usage);
        }
    }
    return std::nullopt;
}

}  // namespace quorvel::app
