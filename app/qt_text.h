#pragma once
// Conversion between the core's code-page text and Qt's UTF-16 strings: the
// only place where text crosses into or out of the widgets.

#include <QString>
#include <string>
#include <string_view>

namespace quorvel::app {

QString qt_from_code_page(std::string_view text);
std::string code_page_from_qt(const QString& text);
// The program's own UTF-8 texts and names.
QString qt_from_utf8(std::string_view text);

// A file dialog's filter as the windows keep it, "Description|pattern|...",
// as Qt's "Description (pattern);;...". A pattern already shown in a
// description is replaced by the real one, since Qt takes the patterns from
// the parentheses; "*.*" means every file, as on Windows.
QString qt_file_filters(const QString& filter);

}  // namespace quorvel::app
