#include "shell/window_journal.h"

namespace quorvel::shell {

WindowJournal open_window_journal() {
    WindowJournal opened;
    auto path = journal::Journal::default_path();
    if (!path) {
        opened.trouble = path.error().message;
        return opened;
    }
    journal::OpenNotes notes;
    auto journal = journal::Journal::open(*path, &notes);
    if (!journal) {
        opened.trouble = journal.error().message;
        return opened;
    }
    opened.journal.emplace(std::move(*journal));
    opened.moved_aside = notes.moved_aside;
    return opened;
}

}  // namespace quorvel::shell
