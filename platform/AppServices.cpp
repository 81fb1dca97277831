#include "AppServices.h"

#include <QCoreApplication>

#include <utility>

#include "Clock.h"
#include "MessageBox.h"

AppServices::AppServices(std::string baseDir) : m_baseDir(std::move(baseDir)) {}

FileResult AppServices::LoadDefaults() {
    return m_defaults.Load(m_baseDir);
}

void AppServices::SetDefaults(const PointRecord& look) {
    if (StorageImage(look) == StorageImage(m_defaults.record())) {
        return;
    }
    m_defaults.record() = look;
    SaveDefaults();
}

void AppServices::SaveDefaults() {
    // A Defaults.map that could not be read at start-up is left as it is; the user was told.
    if (!m_defaults.mayOverwrite()) {
        return;
    }
    const FileResult saved = m_defaults.Save();
    if (!saved.ok()) {
        showStatus(QCoreApplication::translate("AppServices", "The default look was not saved: %1")
                       .arg(QString::fromLocal8Bit(saved.message)));
    }
}

std::int64_t AppServices::now() const {
    return m_clock ? m_clock() : Clock::Now();
}

QMessageBox::StandardButton AppServices::ask(QWidget* parent, const QString& text,
                                             QMessageBox::Icon icon,
                                             QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton defaultButton) const {
    if (m_asker) {
        return m_asker(parent, text, icon, buttons, defaultButton);
    }
    return MessageBox::Show(parent, text, icon, buttons, defaultButton);
}

void AppServices::showStatus(const QString& text) const {
    if (m_status) {
        m_status(text);
    }
}

std::optional<PointDialogResult> AppServices::RunPointDialog(QWidget* parent,
                                                             const PointEntry& shown) {
    // A copy: the runner may replace itself while the dialog is open.
    const PointDialogRunner runner = m_runner;
    if (!runner) {
        return std::nullopt;
    }
    std::optional<PointDialogResult> result = runner(parent, shown);
    if (result && result->saveAsDefault) {
        SetDefaults(result->entry.rec);
    }
    return result;
}
