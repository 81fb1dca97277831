// Context help: enters Qt's What's This mode (the pointer becomes a question mark; clicking a
// widget or menu item shows its help text) and shows a fixed text in the status pane for as
// long as the mode lasts, the idle text once it ends, however it ends (a click, Esc, leave()).
// Also notices the mode entered by other means (a What's This button) while it lives.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class ContextHelpMode : public QObject {
    Q_OBJECT
public:
    // `modeText` goes to `status` (the status pane) while the mode is on, `idleText` after it
    // ends.
    ContextHelpMode(const QString& modeText, const QString& idleText,
                    std::function<void(const QString&)> status, QObject* parent = nullptr);
    ~ContextHelpMode() override;

    // Enters the mode (no-op when it is already on).
    void enter();
    // Leaves the mode (no-op when it is off).
    void leave();
    static bool isActive();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Shows the mode text (on) or the idle text (off) once per change of mode.
    void showModeText(bool on);

    QString m_modeText;
    QString m_idleText;
    std::function<void(const QString&)> m_status;
    bool m_shown = false;
};
