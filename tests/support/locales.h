#pragma once
// Locales for tests that need one the machine may not carry. On Linux they are
// compiled once per process with localedef into a private folder that LOCPATH
// points to; Windows has them and knows them by other names.

#include <string>

namespace quorvel::testsupport {

// Makes `name` (such as "de_DE.UTF-8", built from the source locale "de_DE")
// available to setlocale and newlocale; returns the name to pass them. Throws when
// localedef cannot build it.
std::string make_locale(const std::string& name);

}  // namespace quorvel::testsupport
