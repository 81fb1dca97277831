// What the windows, the views and the Point dialog reach of the world outside them, made once
// at start-up and handed in: the start-up folder and the default look kept in its Defaults.map,
// the clock, questions to the user, the status pane, the Point dialog, whether pictures open
// on a worker and where they open as tiles, and whether the program was asked to end. Nothing
// here is global: tests make their own, each over a temporary start-up folder, with a fixed
// clock and recorders in place of the message box and the status pane.
//
// The constructor touches no file; LoadDefaults reads Defaults.map and SaveDefaults writes it
// (DefaultsStore decides whether it may). Every sink left empty does the real thing: the system
// clock, a modal message box, nothing for the status pane, the tile readers for big pictures;
// without a Point dialog runner the dialog counts as cancelled. User-interface thread only.
#pragma once

#include <QMessageBox>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "DefaultsStore.h"
#include "FileResult.h"
#include "Picture.h"
#include "PointList.h"
#include "PointRecord.h"

class QWidget;

// What the Point dialog hands back on OK: the edited point, and the two requests of its check
// boxes ("Save Settings": the look becomes the default; "Apply to all points").
struct PointDialogResult {
    PointEntry entry;
    bool saveAsDefault = false;
    bool applyToAll = false;
};

class AppServices {
public:
    using ClockSource = std::function<std::int64_t()>;
    using Asker = std::function<QMessageBox::StandardButton(
        QWidget* parent, const QString& text, QMessageBox::Icon icon,
        QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)>;
    using StatusSink = std::function<void(const QString& text)>;
    // Runs the Point dialog over `parent` on `shown`; the result on OK, nothing on Cancel.
    using PointDialogRunner =
        std::function<std::optional<PointDialogResult>(QWidget* parent, const PointEntry& shown)>;

    // `baseDir`: the start-up folder, against which every file of the system is found.
    explicit AppServices(std::string baseDir);

    const std::string& baseDir() const { return m_baseDir; }

    // Reads <baseDir>/Defaults.map into defaults() (the factory values when it is missing or
    // cannot be read; see DefaultsStore for what a failure protects).
    FileResult LoadDefaults();
    // The look new points get.
    const PointRecord& defaults() const { return m_defaults.record(); }
    // Makes `look` the default and writes Defaults.map at once when that changes its bytes.
    void SetDefaults(const PointRecord& look);
    // Writes Defaults.map unless the file there at start-up could not be read (it is then left
    // as it is). A failure shows in the status pane.
    void SaveDefaults();
    const DefaultsStore& defaultsStore() const { return m_defaults; }

    // Seconds since 1970-01-01 00:00:00 UTC.
    std::int64_t now() const;
    void setClock(ClockSource clock) { m_clock = std::move(clock); }

    // Asks the user; NoButton when the question was ended without an answer.
    QMessageBox::StandardButton
    ask(QWidget* parent, const QString& text, QMessageBox::Icon icon,
        QMessageBox::StandardButtons buttons,
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton) const;
    void setAsker(Asker asker) { m_asker = std::move(asker); }

    // Pane 0 of the main window's status bar.
    void showStatus(const QString& text) const;
    void setStatusSink(StatusSink sink) { m_status = std::move(sink); }

    // Runs the Point dialog; on OK with "Save Settings" the edited look becomes the default
    // (SetDefaults) before the result is returned.
    std::optional<PointDialogResult> RunPointDialog(QWidget* parent, const PointEntry& shown);
    void setPointDialogRunner(PointDialogRunner runner) { m_runner = std::move(runner); }

    // Whether views open their pictures on a worker (the application's do) rather than at once.
    bool openInBackground() const { return m_openInBackground; }
    void setOpenInBackground(bool background) { m_openInBackground = background; }

    // Where views open pictures as tiles (Picture::TileOpener): empty, the application's, sends
    // big pictures to the tile readers; tests hand in an in-memory source.
    const Picture::TileOpener& tileOpener() const { return m_tileOpener; }
    void setTileOpener(Picture::TileOpener opener) { m_tileOpener = std::move(opener); }

    // Set when the program was asked to end (a termination signal): from then on nothing waits
    // for an answer, and a map that cannot be saved goes to a recovery copy instead of a
    // question.
    bool quitRequested() const { return m_quitRequested; }
    void setQuitRequested() { m_quitRequested = true; }

private:
    std::string m_baseDir;
    DefaultsStore m_defaults;
    ClockSource m_clock;
    Asker m_asker;
    StatusSink m_status;
    PointDialogRunner m_runner;
    Picture::TileOpener m_tileOpener;
    bool m_openInBackground = false;
    bool m_quitRequested = false;
};
