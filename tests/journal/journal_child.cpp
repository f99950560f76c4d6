// The journal tests' second process.
//   hold FILE   begins a run over the seeds "a" and "b", stores two words of
//               "a", writes the run's id on a line, then sleeps until killed.
//   open FILE   opens the journal as an ordinary user (giving up root's
//               rights first, if it has them) and writes "opened" or the
//               kind of error on a line.

#include <grp.h>
#include <unistd.h>

#include <cstdio>
#include <string_view>

#include "journal/journal.h"

using namespace quorvel;

namespace {

const char* kind_name(journal::JournalError::Kind kind) {
    using Kind = journal::JournalError::Kind;
    switch (kind) {
        case Kind::cannot_open:
            return "cannot_open";
        case Kind::newer_version:
            return "newer_version";
        case Kind::storage_failed:
            return "storage_failed";
        case Kind::no_such_run:
            return "no_such_run";
        case Kind::run_in_use:
            return "run_in_use";
        case Kind::not_resumable:
            return "not_resumable";
    }
    return "?";
}

int hold(const char* file) {
    auto opened = journal::Journal::open(file);
    if (!opened) {
        std::printf("%s\n", opened.error().message.c_str());
        return 1;
    }
    auto recorder = opened->begin_run(harvest::KindSet::all(), "a\r\nb\r\n");
    if (!recorder) {
        std::printf("%s\n", recorder.error().message.c_str());
        return 1;
    }
    (*recorder)->word_recorded(harvest::KeywordSource::PcDropdown, 0, "a", "a1", "1000");
    (*recorder)->word_recorded(harvest::KeywordSource::PcDropdown, 0, "a", "a2", "1001");
    (*recorder)->reply_processed(harvest::RequestKind::pc_suggest);
    (*recorder)->flush();
    std::printf("%lld\n", static_cast<long long>((*recorder)->run_id()));
    std::fflush(stdout);
    for (;;) {
        pause();
    }
}

int open_as_user(const char* file) {
    constexpr gid_t nobody = 65534;
    if (geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0)) {
        std::printf("cannot give up root's rights\n");
        return 1;
    }
    auto opened = journal::Journal::open(file);
    std::printf("%s\n", opened ? "opened" : kind_name(opened.error().kind));
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc == 3 && std::string_view(argv[1]) == "hold") {
        return hold(argv[2]);
    }
    if (argc == 3 && std::string_view(argv[1]) == "open") {
        return open_as_user(argv[2]);
    }
    std::fprintf(stderr, "usage: %s hold|open FILE\n", argv[0]);
    return 2;
}
