#include "app/settings_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <utility>

#include "app/qt_text.h"
#include "harvest/harvest_run.h"
#include "shell/texts.h"

namespace quorvel::app {
namespace {

constexpr auto interval_key = "harvest/request_interval_ms";
constexpr auto parallel_key = "harvest/parallel_requests";
constexpr int longest_interval_ms = 60000;

QSettings stored() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quorvel"),
                     QStringLiteral("Quorvel"));
}

}  // namespace

WindowSettings WindowSettings::load() {
    WindowSettings settings;
    bool number = false;
    const int ms = stored().value(interval_key, 0).toInt(&number);
    // A hand-edited file may hold anything: out of range counts as unset.
    if (number && ms > 0 && ms <= longest_interval_ms) {
        settings.request_interval = std::chrono::milliseconds(ms);
    }
    const int parallel = stored().value(parallel_key, 1).toInt(&number);
    if (number && parallel >= 1 && parallel <= harvest::max_parallel) {
        settings.parallel_requests = parallel;
    }
    return settings;
}

void WindowSettings::save() const {
    QSettings file = stored();
    file.setValue(interval_key, static_cast<int>(request_interval.count()));
    file.setValue(parallel_key, parallel_requests);
    file.sync();
}

SettingsDialog::SettingsDialog(const WindowSettings& settings, harvest::MarketplaceHosts hosts,
                               QWidget* parent)
    : QDialog(parent), hosts_(std::move(hosts)) {
    setObjectName(QStringLiteral("SettingsDialog"));
    setWindowTitle(qt_from_utf8(shell::texts::settings_caption));
    interval_ = new QSpinBox(this);
    interval_->setObjectName(QStringLiteral("intervalSpin"));
    interval_->setRange(0, longest_interval_ms);
    interval_->setSingleStep(100);
    interval_->setSuffix(QStringLiteral(" ") + qt_from_utf8(shell::texts::interval_unit));
    interval_->setValue(static_cast<int>(settings.request_interval.count()));
    interval_->setToolTip(qt_from_utf8(shell::texts::interval_hint));
    parallel_ = new QSpinBox(this);
    parallel_->setObjectName(QStringLiteral("parallelSpin"));
    parallel_->setRange(1, harvest::max_parallel);
    parallel_->setValue(settings.parallel_requests);
    parallel_->setToolTip(qt_from_utf8(shell::texts::parallel_hint));
    check_ = new QPushButton(qt_from_utf8(shell::texts::check_connection), this);
    check_->setObjectName(QStringLiteral("checkConnectionButton"));
    check_->setAutoDefault(false);
    connect(check_, &QPushButton::clicked, this, &SettingsDialog::check_connection);
    check_lines_ = new QPlainTextEdit(this);
    check_lines_->setObjectName(QStringLiteral("checkConnectionLines"));
    check_lines_->setReadOnly(true);
    check_lines_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    check_lines_->setVisible(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow(qt_from_utf8(shell::texts::interval_label), interval_);
    form->addRow(qt_from_utf8(shell::texts::parallel_label), parallel_);
    form->addRow(check_);
    form->addRow(check_lines_);
    form->addRow(buttons);
}

void SettingsDialog::check_connection() {
    check_->setEnabled(false);
    check_lines_->setVisible(true);
    check_lines_->setPlainText(qt_from_utf8(shell::texts::checking_connection));
    // The check's thread only wakes the dialog; the dialog stops and joins
    // it before it goes, so `this` outlives the call.
    check_task_ = std::make_unique<shell::ConnectionCheckTask>(hosts_, [this] {
        QMetaObject::invokeMethod(this, &SettingsDialog::show_check, Qt::QueuedConnection);
    });
}

void SettingsDialog::show_check() {
    if (check_task_ == nullptr) {
        return;
    }
    if (auto lines = check_task_->lines()) {
        check_lines_->setPlainText(qt_from_utf8(*lines).trimmed());
        check_->setEnabled(true);
    }
}

WindowSettings SettingsDialog::settings() const {
    WindowSettings settings;
    settings.request_interval = std::chrono::milliseconds(interval_->value());
    settings.parallel_requests = parallel_->value();
    return settings;
}

}  // namespace quorvel::app
