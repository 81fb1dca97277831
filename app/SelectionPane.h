// The status bar's pane that tells how many points the active view has selected (empty while
// none are). It follows the active view when the event loop is about to go idle, as the
// command updates do, so it never lags behind a click or a key.
#pragma once

#include <QLabel>

#include <functional>

class CZelvorView;
class QStatusBar;

class SelectionPane : public QLabel {
    Q_OBJECT
public:
    // Adds itself to `bar` in front of the lock-key indicators.
    SelectionPane(QStatusBar* bar, std::function<CZelvorView*()> activeView);

private:
    void Refresh();

    std::function<CZelvorView*()> m_activeView;
    int m_shown = -1;
};
