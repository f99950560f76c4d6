#pragma once
// Driving the real windows from tests, tools and benchmarks: controls found
// by object name, and the main window given seeds and ticks as a user would.

#include <QCheckBox>
#include <QObject>
#include <QPlainTextEdit>
#include <QString>
#include <QWidget>
#include <QtGlobal>
#include <string>
#include <string_view>

#include "harvest/keyword_source.h"

namespace quorvel::testsupport {

inline QString u(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// The control of that object name below `root`; a test cannot go on without it.
template <typename W>
W* find_control(const QObject* root, std::string_view name) {
    W* widget = root->findChild<W*>(u(name));
    if (widget == nullptr) {
        qFatal("no control %s", std::string(name).c_str());
    }
    return widget;
}

// The check box and the result box of a kind.
inline QCheckBox* check_box(const QObject* window, harvest::KeywordSource source) {
    return find_control<QCheckBox>(window, harvest::info(source).check_box);
}
inline QPlainTextEdit* result_box(const QObject* window, harvest::KeywordSource source) {
    return find_control<QPlainTextEdit>(window, harvest::info(source).result_box);
}

// "seed0\nseed1\n...": `count` numbered seeds.
inline QString numbered_seeds(const char* stem, int count) {
    QString seeds;
    for (int i = 0; i < count; ++i) {
        seeds += u(stem) + QString::number(i) + u'\n';
    }
    return seeds;
}

// The seed box given `seeds`, and every kind ticked.
inline void seeds_and_all_kinds(QWidget& window, const QString& seeds) {
    find_control<QPlainTextEdit>(&window, harvest::seed_box)->setPlainText(seeds);
    for (harvest::KeywordSource source : harvest::all_sources) {
        check_box(&window, source)->setChecked(true);
    }
}

}  // namespace quorvel::testsupport
