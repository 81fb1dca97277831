// The help page shipped with the program, in a window of its own beside the main window
// (Help Topics, F1). Links inside the page are followed; outside links open in the browser.
#pragma once

#include <QDialog>

class QTextBrowser;

class HelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows the page from its start and brings the window forward.
    void ShowContents();
    QTextBrowser* browser() const { return m_browser; }

private:
    QTextBrowser* m_browser;
};
