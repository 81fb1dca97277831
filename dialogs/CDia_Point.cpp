#include "CDia_Point.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QColorDialog>
#include <QDateEdit>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "Clock.h"
#include "ColorSwatch.h"
#include "DialogTemplate.h"
#include "FontColorDialog.h"
#include "GdiConvert.h"
#include "Globals.h"
#include "Text8.h"

namespace {

// Control ids of the template; the statics and group boxes have none.
enum ControlId {
    kIdOk = 1,
    kIdCancel = 2,
    kIdShowCross = 1000,
    kIdShowRect = 1001,
    kIdLabel = 1002,
    kIdCrossSize = 1003,
    kIdRectSize = 1004,
    kIdTextFont = 1005,
    kIdTextSwatch = 1006,
    kIdTextColor = 1007,
    kIdBackSwatch = 1008,
    kIdBackColor = 1009,
    kIdRectSwatch = 1010,
    kIdRectColor = 1011,
    kIdApplyAll = 1012,
    kIdSaveSettings = 1013,
    kIdSinceDate = 1014,
    kIdSincePicker = 1015,
    kIdSinceText = 1016,
    kIdSinceFont = 1017,
    kIdFlashText = 1018,
    kIdFlashRect = 1019,
    kIdMemo = 1021,
    kNoId = -1,
};

// Reads a size field as the C library's atoi does (leading blanks, an optional sign, the
// digits up to the first other character; no digits give 0), except that values beyond the
// range of int saturate instead of being undefined.
int AtoiText(const QString& text) {
    const std::string bytes = text.toStdString();
    const long value = std::strtol(bytes.c_str(), nullptr, 10);
    return int(std::clamp<long>(value, INT_MIN, INT_MAX));
}

// The text a control hands back: the caller's own bytes when the control still shows what it
// was filled with, so that texts the user did not touch are never re-encoded.
std::string TextBack(const QString& now, const QString& shown, const std::string* original) {
    if (original != nullptr && now == shown) {
        return *original;
    }
    return ToText8(now);
}

// A text as a control shows it: up to its first NUL byte, as the status bar shows it too.
QString Shown(const std::string& text) {
    return FromText8(text.substr(0, text.find('\0')));
}

// Memos break lines with CR LF in the record's texts, as the multi-line edit of the system the
// map files come from writes them; the editor works with LF.
QString MemoForEditing(const std::string& memo) {
    return Shown(memo).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

std::string MemoForStorage(const QString& memo) {
    QString text = memo;
    return ToText8(text.replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
}

// The locale's short date format, with a four-digit year where it only has two.
QString ShortDateFormat() {
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QStringLiteral("yyyy"))) {
        format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    }
    return format;
}

SYSTEMTIME SystemTimeFromDate(const QDate& date) {
    SYSTEMTIME st{};
    st.wYear = std::uint16_t(date.year());
    st.wMonth = std::uint16_t(date.month());
    st.wDayOfWeek = std::uint16_t(date.dayOfWeek() % 7); // Sunday is 0
    st.wDay = std::uint16_t(date.day());
    return st;
}

// Keeps the picker's calendar pop-up right-aligned with the picker, inside the screen.
class RightAlignedPopup : public QObject {
public:
    RightAlignedPopup(QDateEdit* picker, QWidget* popup) : QObject(picker), m_picker(picker) {
        popup->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            auto* popup = static_cast<QWidget*>(watched);
            const QPoint bottomRight = m_picker->mapToGlobal(m_picker->rect().bottomRight());
            QPoint pos(bottomRight.x() + 1 - popup->width(), bottomRight.y() + 1);
            if (const QScreen* screen = m_picker->screen()) {
                const QRect area = screen->availableGeometry();
                pos.setX(
                    std::max(area.left(), std::min(pos.x(), area.right() + 1 - popup->width())));
                if (pos.y() + popup->height() > area.bottom() + 1) {
                    pos.setY(m_picker->mapToGlobal(QPoint(0, 0)).y() - popup->height());
                }
            }
            popup->move(pos);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QDateEdit* m_picker;
};

QLabel* MakeStatic(const QString& text, Qt::Alignment horizontal, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(horizontal | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLineEdit* MakeSizeField(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setAlignment(Qt::AlignHCenter);
    // Digits only as typed; an empty field is allowed and reads as 0.
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    return edit;
}

} // namespace

CDia_Point::CDia_Point(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Point"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setModal(true);

    DialogTemplate dlg(this, 340, 337);

    // The controls in tab order.
    m_editLabel = dlg.place(new QLineEdit(this), kIdLabel, 43, 19, 221, 14);
    auto* textFont = dlg.place(new QPushButton(tr("Font"), this), kIdTextFont, 273, 19, 50, 14);
    auto* textColor = dlg.place(new QPushButton(tr("Select"), this), kIdTextColor, 111, 55, 35, 14);
    auto* backColor = dlg.place(new QPushButton(tr("Select"), this), kIdBackColor, 111, 74, 35, 14);
    auto* rectColor = dlg.place(new QPushButton(tr("Select"), this), kIdRectColor, 111, 93, 35, 14);
    m_chkShowCross =
        dlg.place(new QCheckBox(tr("Show Cross"), this), kIdShowCross, 171, 68, 73, 10);
    m_editCrossSize = dlg.place(MakeSizeField(this), kIdCrossSize, 277, 64, 34, 14);
    m_chkShowRect =
        dlg.place(new QCheckBox(tr("Show Rectangle"), this), kIdShowRect, 171, 86, 73, 10);
    m_editRectSize = dlg.place(MakeSizeField(this), kIdRectSize, 277, 82, 34, 14);
    m_chkSinceDate = dlg.place(new QCheckBox(tr("change a view since date:"), this), kIdSinceDate,
                               29, 137, 105, 10);
    m_dtSinceDate =
        dlg.place(new QDateEdit(this), kIdSincePicker, 171, 132, 143, 15, /*enabled=*/false);
    m_editSinceText =
        dlg.place(new QLineEdit(this), kIdSinceText, 55, 156, 199, 14, /*enabled=*/false);
    m_btnSinceFont = dlg.place(new QPushButton(tr("Font"), this), kIdSinceFont, 264, 156, 50, 14,
                               /*enabled=*/false);
    m_chkFlashText = dlg.place(new QCheckBox(tr("Flasching Text"), this), kIdFlashText, 55, 178, 73,
                               10, /*enabled=*/false);
    m_chkFlashRect = dlg.place(new QCheckBox(tr("Flasching Rectangle"), this), kIdFlashRect, 171,
                               178, 83, 10, /*enabled=*/false);
    m_editMemo = dlg.place(new QPlainTextEdit(this), kIdMemo, 18, 213, 305, 83);
    m_chkSaveSettings =
        dlg.place(new QCheckBox(tr("Save Settings"), this), kIdSaveSettings, 7, 320, 71, 10);
    m_chkApplyAll =
        dlg.place(new QCheckBox(tr("Apply to all points"), this), kIdApplyAll, 113, 320, 75, 10);
    auto* cancel = dlg.place(new QPushButton(tr("Cancel"), this), kIdCancel, 223, 316, 50, 14);
    auto* ok = dlg.place(new QPushButton(tr("OK"), this), kIdOk, 283, 316, 50, 14);

    // Frames and captions: no tab stops. Group boxes go below the controls they surround.
    QGroupBox* groups[] = {
        dlg.place(new QGroupBox(this), kNoId, 7, 7, 326, 300),
        dlg.place(new QGroupBox(tr("Colors"), this), kNoId, 18, 41, 138, 75),
        dlg.place(new QGroupBox(tr("Cross and Rectangle"), this), kNoId, 164, 41, 159, 75),
        dlg.place(new QGroupBox(tr("Since date"), this), kNoId, 18, 121, 305, 75),
    };
    for (QGroupBox* group : groups) {
        group->lower();
    }
    dlg.place(MakeStatic(tr("Text:"), Qt::AlignLeft, this), kNoId, 18, 25, 24, 8);
    dlg.place(MakeStatic(tr("size:"), Qt::AlignRight, this), kNoId, 243, 70, 23, 8);
    dlg.place(MakeStatic(tr("size:"), Qt::AlignRight, this), kNoId, 243, 88, 23, 8);
    dlg.place(new ColorSwatch(&m_rec.crText, this), kIdTextSwatch, 79, 55, 24, 14);
    dlg.place(MakeStatic(tr("Text:"), Qt::AlignRight, this), kNoId, 29, 61, 42, 8);
    dlg.place(new ColorSwatch(&m_rec.crBack, this), kIdBackSwatch, 79, 74, 24, 14);
    dlg.place(MakeStatic(tr("Background:"), Qt::AlignRight, this), kNoId, 29, 80, 42, 8);
    dlg.place(new ColorSwatch(&m_rec.crRect, this), kIdRectSwatch, 79, 93, 24, 14);
    dlg.place(MakeStatic(tr("Rectangle:"), Qt::AlignRight, this), kNoId, 29, 99, 42, 8);
    dlg.place(MakeStatic(tr("Text:"), Qt::AlignLeft, this), kNoId, 29, 162, 24, 8);
    dlg.place(MakeStatic(tr("Memo:"), Qt::AlignLeft, this), kNoId, 18, 203, 24, 8);

    // The memo: Enter makes a new line, Tab moves on, lines scroll sideways instead of
    // wrapping, and the vertical scroll bar is always there.
    m_editMemo->setTabChangesFocus(true);
    m_editMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_editMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_editMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    // The picker: short date format, a calendar that drops down right-aligned, and today.
    m_dtSinceDate->setDisplayFormat(ShortDateFormat());
    m_dtSinceDate->setCalendarPopup(true);
    if (QCalendarWidget* calendar = m_dtSinceDate->calendarWidget()) {
        new RightAlignedPopup(m_dtSinceDate, calendar->window());
    }
    m_dtSinceDate->setDate(QDateTime::fromSecsSinceEpoch(Clock::Now()).date());

    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &CDia_Point::OnClickedOk);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(textFont, &QPushButton::clicked, this, &CDia_Point::OnTextFont);
    connect(textColor, &QPushButton::clicked, this, &CDia_Point::OnTextColor);
    connect(backColor, &QPushButton::clicked, this, &CDia_Point::OnBackgroundColor);
    connect(rectColor, &QPushButton::clicked, this, &CDia_Point::OnRectangleColor);
    connect(m_btnSinceFont, &QPushButton::clicked, this, &CDia_Point::OnSinceFont);
    connect(m_chkSinceDate, &QCheckBox::clicked, this, &CDia_Point::OnSinceDate);
}

bool CDia_Point::Run(QWidget* parent, PointRecord& rec, std::string& label, std::string& sinceText,
                     std::string& memo) {
    // On the heap: whatever deletes `parent` while the dialog runs deletes it exactly once.
    const QPointer<CDia_Point> dialog = new CDia_Point(parent);
    dialog->m_pRec = &rec;
    dialog->m_pLabel = &label;
    dialog->m_pSinceText = &sinceText;
    dialog->m_pMemo = &memo;
    const bool accepted = dialog->exec() == QDialog::Accepted;
    delete dialog.data();
    return accepted;
}

void CDia_Point::showEvent(QShowEvent* event) {
    if (!m_bInitialized && !event->spontaneous()) {
        m_bInitialized = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CDia_Point::OnInitDialog() {
    if (m_pRec != nullptr) {
        m_rec = *m_pRec;
    }
    m_strWork = QString::asprintf("%d", m_rec.nCrossSize);
    m_editCrossSize->setText(m_strWork);
    m_strWork = QString::asprintf("%d", m_rec.nRectSize);
    m_editRectSize->setText(m_strWork);
    m_chkShowCross->setChecked(m_rec.bShowCross != 0);
    m_chkShowRect->setChecked(m_rec.bShowRect != 0);
    if (m_pLabel != nullptr) {
        m_editLabel->setText(Shown(*m_pLabel));
    }
    if (m_pMemo != nullptr) {
        m_editMemo->setPlainText(MemoForEditing(*m_pMemo));
    }
    m_shownLabel = m_editLabel->text();
    m_shownMemo = m_editMemo->toPlainText();

    // With the since-date box clear the since controls stay as built: disabled, empty, clear,
    // the picker at today, whatever the record's since fields hold.
    if (m_rec.bSinceDate == 0) {
        return;
    }
    m_chkSinceDate->setChecked(true);
    OnSinceDate();
    if (m_pSinceText != nullptr) {
        m_editSinceText->setText(Shown(*m_pSinceText));
        m_shownSinceText = m_editSinceText->text();
        m_bSinceTextShown = true;
    }
    m_chkFlashText->setChecked(m_rec.bFlashText != 0);
    m_chkFlashRect->setChecked(m_rec.bFlashRect != 0);
    // A date the picker cannot show leaves it at today.
    const QDate since(m_rec.stSince.wYear, m_rec.stSince.wMonth, m_rec.stSince.wDay);
    if (since.isValid() && since >= m_dtSinceDate->minimumDate() &&
        since <= m_dtSinceDate->maximumDate()) {
        m_dtSinceDate->setDate(since);
    }
}

void CDia_Point::OnSinceDate() {
    const bool on = m_chkSinceDate->isChecked();
    m_editSinceText->setEnabled(on);
    m_dtSinceDate->setEnabled(on);
    m_chkFlashText->setEnabled(on);
    m_chkFlashRect->setEnabled(on);
    m_btnSinceFont->setEnabled(on);
}

void CDia_Point::OnClickedOk() {
    if (m_pLabel != nullptr) {
        *m_pLabel = TextBack(m_editLabel->text(), m_shownLabel, m_pLabel);
    }
    if (m_pMemo != nullptr) {
        const QString memo = m_editMemo->toPlainText();
        *m_pMemo = memo == m_shownMemo ? *m_pMemo : MemoForStorage(memo);
    }
    m_strWork = m_editCrossSize->text();
    m_rec.nCrossSize = AtoiText(m_strWork);
    m_strWork = m_editRectSize->text();
    m_rec.nRectSize = AtoiText(m_strWork);
    m_rec.bShowRect = m_chkShowRect->isChecked() ? 1 : 0;
    m_rec.bShowCross = m_chkShowCross->isChecked() ? 1 : 0;

    if (m_chkSinceDate->isChecked()) {
        m_rec.bSinceDate = 1;
        if (m_pSinceText != nullptr) {
            *m_pSinceText = TextBack(m_editSinceText->text(), m_shownSinceText,
                                     m_bSinceTextShown ? m_pSinceText : nullptr);
        }
        m_rec.bFlashText = m_chkFlashText->isChecked() ? 1 : 0;
        m_rec.bFlashRect = m_chkFlashRect->isChecked() ? 1 : 0;
        // The picked day from its first moment: hour, minute and second are 0.
        m_rec.stSince = SystemTimeFromDate(m_dtSinceDate->date());
    } else {
        // Only the switch: the since text, flash bytes and date keep what they came in with.
        m_rec.bSinceDate = 0;
    }

    if (m_pRec != nullptr) {
        *m_pRec = m_rec;
    }
    if (m_chkSaveSettings->isChecked() && g_pDefaults != nullptr) {
        *g_pDefaults = m_rec;
    }
    if (m_chkApplyAll->isChecked()) {
        g_bApplyToAll = true;
    }
    accept();
}

bool CDia_Point::PickFont(LOGFONTA& lf, COLORREF& color) {
    QFont font = FontFromLogFont(lf);
    QColor chosen = Qt::black;
    if (!FontColorDialog::GetFontAndColor(this, font, chosen)) {
        return false;
    }
    lf = LogFontFromFont(font);
    color = ToColorRef(chosen);
    return true;
}

void CDia_Point::OnTextFont() {
    PickFont(m_rec.lfText, m_rec.crText);
    repaint(); // swatch 1006 shows the text colour
}

void CDia_Point::OnSinceFont() {
    PickFont(m_rec.lfSince, m_rec.crSinceText);
}

void CDia_Point::PickColor(COLORREF& color) {
    const QPointer<QColorDialog> dialog = new QColorDialog(Qt::black, this);
    const bool accepted = dialog->exec() == QDialog::Accepted && !dialog.isNull();
    const QColor chosen = accepted ? dialog->selectedColor() : QColor();
    delete dialog.data();
    if (chosen.isValid()) {
        color = ToColorRef(chosen);
        repaint();
    }
}

void CDia_Point::OnTextColor() {
    PickColor(m_rec.crText);
}

void CDia_Point::OnBackgroundColor() {
    PickColor(m_rec.crBack);
}

void CDia_Point::OnRectangleColor() {
    PickColor(m_rec.crRect);
}
