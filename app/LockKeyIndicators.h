// The CAP, NUM and SCRL panes of the status bar: each shows its text while its lock key is on
// and is blank otherwise, or always blank where the platform cannot tell (no X11, offscreen).
// The states are read cheaply after key events and on a slow timer, as the keys can also change
// while another program has the keyboard.
#pragma once

#include <QObject>
#include <QTimer>

#include <optional>

#include "XkbLockKeys.h"

class QLabel;

class LockKeyIndicators : public QObject {
    Q_OBJECT
public:
    LockKeyIndicators(QLabel* caps, QLabel* num, QLabel* scroll, QObject* parent = nullptr);

    // The lock states where the platform can tell them.
    static std::optional<LockKeyStates> Query();

    // Shows `states` (nothing known: all blank).
    void Show(const std::optional<LockKeyStates>& states);
    void Refresh() { Show(Query()); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* m_caps;
    QLabel* m_num;
    QLabel* m_scroll;
    QTimer m_poll;
    bool m_refreshQueued = false;
};
