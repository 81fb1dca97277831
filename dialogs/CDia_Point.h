// The Point dialog: edits one point's three texts and its whole record on a private copy of
// the point it is shown. Only OK gives a result: the edited point, with whether "Save Settings"
// (make this look the default) and "Apply to all points" were ticked; the caller acts on them.
// Cancel, Escape and the close box give none. Texts the user did not touch come back byte for
// byte. "Today" for the date picker comes from the services' clock.
#pragma once

#include <QDialog>
#include <QString>

#include <optional>

#include "AppServices.h"
#include "PointList.h"
#include "PointRecord.h"

class DialogTemplate;
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
    // picker at today (from the services' clock).
    explicit CDia_Point(const AppServices& services, QWidget* parent = nullptr);

    // The point to edit; set before the dialog is first shown.
    void setShown(const PointEntry& shown) { m_shown = shown; }
    // What the last OK gave (valid once the dialog was accepted).
    const PointDialogResult& edited() const { return m_result; }

    // Runs the dialog modally on `shown`; the result when it closed with OK.
    static std::optional<PointDialogResult> Run(QWidget* parent, const AppServices& services,
                                                const PointEntry& shown);

    QString m_strWork;                   // scratch text for reading and formatting controls
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

protected:
    // Fills the controls from the shown point the first time the dialog is shown (by
    // exec(), open() or show()), after the caller has set it.
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
    // Builds the controls in tab order, then the frames and captions.
    void BuildControls();
    void BuildCaptions(DialogTemplate& dlg);
    void ConnectButtons();
    // Sets up the memo editor and the date picker.
    void SetUpMemoAndPicker();
    // The since controls' share of OnInitDialog and of OnClickedOk.
    void FillSinceControls();
    void TakeSinceControls(PointDialogResult& result);

    // Opens the font-and-colour picker on `lf`, starting at black; on OK stores both.
    bool PickFont(LOGFONTA& lf, COLORREF& color);
    // Opens the colour dialog starting at black; on OK stores the colour and repaints.
    void PickColor(COLORREF& color);

    const AppServices& m_services;
    QPushButton* m_btnSinceFont = nullptr; // 1017, enabled with the since-date box
    QPushButton* m_btnTextFont = nullptr;  // 1005
    QPushButton* m_btnTextColor = nullptr; // 1007
    QPushButton* m_btnBackColor = nullptr; // 1009
    QPushButton* m_btnRectColor = nullptr; // 1011
    QPushButton* m_btnOk = nullptr;        // 1
    QPushButton* m_btnCancel = nullptr;    // 2
    PointEntry m_shown;                    // the point as the caller gave it
    PointDialogResult m_result;            // what OK made of it
    bool m_bInitialized = false;
    // What the text controls were filled with, so untouched texts go back byte for byte.
    QString m_shownLabel;
    QString m_shownSinceText;
    QString m_shownMemo;
    bool m_bSinceTextShown = false;
};
