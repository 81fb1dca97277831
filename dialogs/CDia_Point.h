// The Point dialog: edits one point's three texts and its whole record on a private copy.
// Only OK writes back: the texts and the record to the caller, the record over *g_pDefaults
// when "Save Settings" is ticked, and g_bApplyToAll when "Apply to all points" is ticked.
// Cancel, Escape and the close box write nothing.
#pragma once

#include <QDialog>
#include <QString>

#include <string>

#include "PointRecord.h"

class QCheckBox;
class QDateEdit;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QShowEvent;

class CDia_Point : public QDialog {
    Q_OBJECT
public:
    // Builds the 35 controls in tab order; the since-date controls start disabled and the date
    // picker at today (from the clock).
    explicit CDia_Point(QWidget* parent = nullptr);

    // Runs the dialog modally on the caller's copies; true when it closed with OK.
    static bool Run(QWidget* parent, PointRecord& rec, std::string& label, std::string& sinceText,
                    std::string& memo);

    QString m_strWork;                   // scratch text for reading and formatting controls
    std::string* m_pLabel = nullptr;     // the caller's label (in/out)
    std::string* m_pSinceText = nullptr; // the caller's since text (in/out)
    std::string* m_pMemo = nullptr;      // the caller's memo (in/out)
    QLineEdit* m_editLabel;              // 1002
    QLineEdit* m_editSinceText;          // 1016
    QPlainTextEdit* m_editMemo;          // 1021
    QLineEdit* m_editCrossSize;          // 1003
    QLineEdit* m_editRectSize;           // 1004
    QCheckBox* m_chkShowCross;           // 1000
    QCheckBox* m_chkShowRect;            // 1001
    QCheckBox* m_chkSaveSettings;        // 1013
    QCheckBox* m_chkApplyAll;            // 1012
    QCheckBox* m_chkSinceDate;           // 1014
    QCheckBox* m_chkFlashText;           // 1018
    QCheckBox* m_chkFlashRect;           // 1019
    QDateEdit* m_dtSinceDate;            // 1015
    PointRecord m_rec{};                 // the working copy; swatches paint from it
    PointRecord* m_pRec = nullptr;       // the caller's record (in/out), set before running

protected:
    // Fills the controls from the caller's copies the first time the dialog is shown (by
    // exec(), open() or show()), after the caller has set the pointers.
    void showEvent(QShowEvent* event) override;

    void OnInitDialog();
    // Enables or disables the since text, date, flash boxes and since font with box 1014.
    void OnSinceDate();
    void OnClickedOk();
    void OnTextFont();
    void OnSinceFont();
    void OnTextColor();
    void OnBackgroundColor();
    void OnRectangleColor();

private:
    // Opens the font-and-colour picker on `lf`, starting at black; on OK stores both.
    bool PickFont(LOGFONTA& lf, COLORREF& color);
    // Opens the colour dialog starting at black; on OK stores the colour and repaints.
    void PickColor(COLORREF& color);

    QPushButton* m_btnSinceFont; // 1017, enabled with the since-date box
    bool m_bInitialized = false;
    // What the text controls were filled with, so untouched texts go back byte for byte.
    QString m_shownLabel;
    QString m_shownSinceText;
    QString m_shownMemo;
    bool m_bSinceTextShown = false;
};
