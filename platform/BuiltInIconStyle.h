// The application's style, except that the standard icons the main window and its document
// windows ask for while they are made (the toolbar's extension arrows, the Maximize icon of a
// document window's menu, the clear button of the Points panel's filter box) are read from Qt's
// own PNG files with the built-in PNG reader. The Fusion style reads those files through the
// general image reader, which first offers each file to every image plugin installed: the first
// window would load all the plugins and the libraries they need. The icons are the same pixels
// either way.
//
// Install() wraps the application's style once, and only when it is Fusion (Qt's own style on
// Linux), whose icons those files are; any other style stays as it is. Every other icon, and
// one whose files cannot be read, comes from the wrapped style.
#pragma once

#include <QProxyStyle>

class BuiltInIconStyle : public QProxyStyle {
    Q_OBJECT
public:
    // Wraps a new Fusion style.
    BuiltInIconStyle();

    // Needs a QApplication; call before the first window is made.
    static void Install();

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};
