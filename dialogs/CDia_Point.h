// The Point dialog: edits one point's texts and its whole record on a private copy; only OK
// writes back (and may store the record as the default look or request apply-to-all).
#pragma once

#include <QDialog>

#include <string>

#include "PointRecord.h"

class CDia_Point : public QDialog {
    Q_OBJECT
public:
    explicit CDia_Point(QWidget* parent = nullptr);

    // Set by the caller before exec(): its record and its three texts (in/out).
    PointRecord* m_pRec = nullptr;
    std::string* m_pLabel = nullptr;
    std::string* m_pSinceText = nullptr;
    std::string* m_pMemo = nullptr;

    // Runs the dialog on the caller's copies; true when it closed with OK.
    static bool Run(QWidget* parent, PointRecord& rec, std::string& label,
                    std::string& sinceText, std::string& memo);
};
