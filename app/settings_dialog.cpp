#include "app/settings_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSettings>
#include <QSpinBox>

#include "app/qt_text.h"
#include "shell/texts.h"

namespace quorvel::app {
namespace {

constexpr auto interval_key = "harvest/request_interval_ms";
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
    return settings;
}

void WindowSettings::save() const {
    QSettings file = stored();
    file.setValue(interval_key, static_cast<int>(request_interval.count()));
    file.sync();
}

SettingsDialog::SettingsDialog(const WindowSettings& settings, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SettingsDialog"));
    setWindowTitle(qt_from_utf8(shell::texts::settings_caption));
    interval_ = new QSpinBox(this);
    interval_->setObjectName(QStringLiteral("intervalSpin"));
    interval_->setRange(0, longest_interval_ms);
    interval_->setSingleStep(100);
    interval_->setSuffix(QStringLiteral(" ") + qt_from_utf8(shell::texts::interval_unit));
    interval_->setValue(static_cast<int>(settings.request_interval.count()));
    interval_->setToolTip(qt_from_utf8(shell::texts::interval_hint));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow(qt_from_utf8(shell::texts::interval_label), interval_);
    form->addRow(buttons);
}

WindowSettings SettingsDialog::settings() const {
    WindowSettings settings;
    settings.request_interval = std::chrono::milliseconds(interval_->value());
    return settings;
}

}  // namespace quorvel::app
