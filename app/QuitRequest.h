// Ends the program on request (a termination signal) as File > Exit does, safely from wherever
// the request arrives: every modal window and popup menu open at the time is first ended as if
// cancelled (nothing from an unfinished dialog is applied), and the main window is closed only
// once control is back in the main event loop, so no window goes away under a dialog whose
// loop is still on the stack.
#pragma once

#include <QObject>

#include <functional>

class QuitRequest : public QObject {
    Q_OBJECT
public:
    // `closeMainWindow` closes the main window as File > Exit does.
    explicit QuitRequest(std::function<void()> closeMainWindow, QObject* parent = nullptr);

    // Starts ending the program; a second request while one is pending changes nothing.
    void request();
    // True from a request until the main window has been asked to close.
    bool pending() const { return m_pending; }

    // Ends every visible modal window (a dialog is rejected, any other window closed) and popup
    // menu; true when there was one.
    static bool CancelModalWindows();

private:
    void step();

    std::function<void()> m_closeMainWindow;
    bool m_pending = false;
};
