#include "app/qt_text.h"

#include <QStringList>

#include "platform/code_page.h"

namespace quorvel::app {

QString qt_from_code_page(std::string_view text) {
    const std::u16string wide = platform::utf16_from_code_page(text, platform::code_page_gbk);
    return QString(reinterpret_cast<const QChar*>(wide.data()),
                   static_cast<qsizetype>(wide.size()));
}

std::string code_page_from_qt(const QString& text) {
    return platform::code_page_from_utf16(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                            static_cast<std::size_t>(text.size())),
        platform::code_page_gbk);
}

QString qt_from_utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString qt_file_filters(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        if (description.endsWith(u')') && description.contains(u'(')) {
            description.truncate(description.lastIndexOf(u'('));
        }
        const QString pattern =
            parts[i + 1] == QStringLiteral("*.*") ? QStringLiteral("*") : parts[i + 1];
        filters << description.trimmed() + QStringLiteral(" (") + pattern + u')';
    }
    return filters.join(QStringLiteral(";;"));
}

}  // namespace quorvel::app
