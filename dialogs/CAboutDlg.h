// The About box: the program's icon, "Zelvor Version 1.2" and OK. OK, Escape and the close box
// close it.
#pragma once

#include <QDialog>

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
