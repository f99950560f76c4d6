#pragma once
// The program's fixed texts and addresses, kept in one place. The contact
// number and link are placeholders that reach no one.

#include <QString>

namespace quorvel::app {

inline constexpr char product_name[] = "Quorvel";
inline constexpr char version_text[] = "  --【版本 V6.00  】  有问题请联系QQ";
inline constexpr char contact_number[] = "00000000";
inline constexpr char contact_link[] = "tencent://message/?uin=00000000&Site=quorvel&Menu=yes";
// The wholesale marketplace's keyword index page shown by the index window.
inline constexpr char index_page[] = "http://index.1688.com/";

// Product name, version text, contact number, 11 spaces and 55 hyphens.
inline QString main_window_caption() {
    return QString::fromUtf8(product_name) + QString::fromUtf8(version_text) +
           QString::fromUtf8(contact_number) + QString(11, u' ') + QString(55, u'-');
}

}  // namespace quorvel::app
