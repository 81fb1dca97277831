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
#include <QSize>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <utility>

#include "ColorSwatch.h"
#include "DialogTemplate.h"
#include "FontColorDialog.h"
#include "GdiConvert.h"
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

// Where the template puts each control, in dialog units.
struct Box {
    int x;
    int y;
    int w;
    int h;
};
constexpr QSize kDialogSize(340, 337);
constexpr Box kLabelBox{43, 19, 221, 14};
constexpr Box kTextFontBox{273, 19, 50, 14};
constexpr Box kTextColorBox{111, 55, 35, 14};
constexpr Box kBackColorBox{111, 74, 35, 14};
constexpr Box kRectColorBox{111, 93, 35, 14};
constexpr Box kShowCrossBox{171, 68, 73, 10};
constexpr Box kCrossSizeBox{277, 64, 34, 14};
constexpr Box kShowRectBox{171, 86, 73, 10};
constexpr Box kRectSizeBox{277, 82, 34, 14};
constexpr Box kSinceDateBox{29, 137, 105, 10};
constexpr Box kSincePickerBox{171, 132, 143, 15};
constexpr Box kSinceTextBox{55, 156, 199, 14};
constexpr Box kSinceFontBox{264, 156, 50, 14};
constexpr Box kFlashTextBox{55, 178, 73, 10};
constexpr Box kFlashRectBox{171, 178, 83, 10};
constexpr Box kMemoBox{18, 213, 305, 83};
constexpr Box kSaveSettingsBox{7, 320, 71, 10};
constexpr Box kApplyAllBox{113, 320, 75, 10};
constexpr Box kCancelBox{223, 316, 50, 14};
constexpr Box kOkBox{283, 316, 50, 14};
constexpr Box kFrameBox{7, 7, 326, 300};
constexpr Box kColorsBox{18, 41, 138, 75};
constexpr Box kCrossAndRectBox{164, 41, 159, 75};
constexpr Box kSinceGroupBox{18, 121, 305, 75};
constexpr Box kLabelCaptionBox{18, 25, 24, 8};
constexpr Box kCrossSizeCaptionBox{243, 70, 23, 8};
constexpr Box kRectSizeCaptionBox{243, 88, 23, 8};
constexpr Box kTextSwatchBox{79, 55, 24, 14};
constexpr Box kTextColorCaptionBox{29, 61, 42, 8};
constexpr Box kBackSwatchBox{79, 74, 24, 14};
constexpr Box kBackCaptionBox{29, 80, 42, 8};
constexpr Box kRectSwatchBox{79, 93, 24, 14};
constexpr Box kRectCaptionBox{29, 99, 42, 8};
constexpr Box kSinceTextCaptionBox{29, 162, 24, 8};
constexpr Box kMemoCaptionBox{18, 203, 24, 8};
// The since controls are created disabled; the since-date box enables them.
constexpr bool kDisabled = false;

template <class Control>
Control* Place(DialogTemplate& dlg, Control* control, int id, const Box& box, bool enabled = true) {
    return dlg.place(control, id, box.x, box.y, box.w, box.h, enabled);
}

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
    constexpr int kDaysInWeek = 7; // Qt counts Monday 1 to Sunday 7
    SYSTEMTIME st{};
    st.wYear = std::uint16_t(date.year());
    st.wMonth = std::uint16_t(date.month());
    st.wDayOfWeek = std::uint16_t(date.dayOfWeek() % kDaysInWeek); // Sunday is 0
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

CDia_Point::CDia_Point(const AppServices& services, QWidget* parent)
    : QDialog(parent), m_services(services) {
    setWindowTitle(tr("Point"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setModal(true);
    BuildControls();
    SetUpMemoAndPicker();
    ConnectButtons();
}

void CDia_Point::BuildControls() {
    DialogTemplate dlg(this, kDialogSize.width(), kDialogSize.height());

    // The controls in tab order.
    m_editLabel = Place(dlg, new QLineEdit(this), kIdLabel, kLabelBox);
    m_btnTextFont = Place(dlg, new QPushButton(tr("Font"), this), kIdTextFont, kTextFontBox);
    m_btnTextColor = Place(dlg, new QPushButton(tr("Select"), this), kIdTextColor, kTextColorBox);
    m_btnBackColor = Place(dlg, new QPushButton(tr("Select"), this), kIdBackColor, kBackColorBox);
    m_btnRectColor = Place(dlg, new QPushButton(tr("Select"), this), kIdRectColor, kRectColorBox);
    m_chkShowCross = Place(dlg, new QCheckBox(tr("Show Cross"), this), kIdShowCross, kShowCrossBox);
    m_editCrossSize = Place(dlg, MakeSizeField(this), kIdCrossSize, kCrossSizeBox);
    m_chkShowRect =
        Place(dlg, new QCheckBox(tr("Show Rectangle"), this), kIdShowRect, kShowRectBox);
    m_editRectSize = Place(dlg, MakeSizeField(this), kIdRectSize, kRectSizeBox);
    m_chkSinceDate = Place(dlg, new QCheckBox(tr("change a view since date:"), this), kIdSinceDate,
                           kSinceDateBox);
    m_dtSinceDate = Place(dlg, new QDateEdit(this), kIdSincePicker, kSincePickerBox, kDisabled);
    m_editSinceText = Place(dlg, new QLineEdit(this), kIdSinceText, kSinceTextBox, kDisabled);
    m_btnSinceFont =
        Place(dlg, new QPushButton(tr("Font"), this), kIdSinceFont, kSinceFontBox, kDisabled);
    m_chkFlashText = Place(dlg, new QCheckBox(tr("Flasching Text"), this), kIdFlashText,
                           kFlashTextBox, kDisabled);
    m_chkFlashRect = Place(dlg, new QCheckBox(tr("Flasching Rectangle"), this), kIdFlashRect,
                           kFlashRectBox, kDisabled);
    m_editMemo = Place(dlg, new QPlainTextEdit(this), kIdMemo, kMemoBox);
    m_chkSaveSettings =
        Place(dlg, new QCheckBox(tr("Save Settings"), this), kIdSaveSettings, kSaveSettingsBox);
    m_chkApplyAll =
        Place(dlg, new QCheckBox(tr("Apply to all points"), this), kIdApplyAll, kApplyAllBox);
    m_btnCancel = Place(dlg, new QPushButton(tr("Cancel"), this), kIdCancel, kCancelBox);
    m_btnOk = Place(dlg, new QPushButton(tr("OK"), this), kIdOk, kOkBox);
    BuildCaptions(dlg);
}

void CDia_Point::BuildCaptions(DialogTemplate& dlg) {
    // Frames and captions: no tab stops. Group boxes go below the controls they surround.
    QGroupBox* groups[] = {
        Place(dlg, new QGroupBox(this), kNoId, kFrameBox),
        Place(dlg, new QGroupBox(tr("Colors"), this), kNoId, kColorsBox),
        Place(dlg, new QGroupBox(tr("Cross and Rectangle"), this), kNoId, kCrossAndRectBox),
        Place(dlg, new QGroupBox(tr("Since date"), this), kNoId, kSinceGroupBox),
    };
    for (QGroupBox* group : groups) {
        group->lower();
    }
    Place(dlg, MakeStatic(tr("Text:"), Qt::AlignLeft, this), kNoId, kLabelCaptionBox);
    Place(dlg, MakeStatic(tr("size:"), Qt::AlignRight, this), kNoId, kCrossSizeCaptionBox);
    Place(dlg, MakeStatic(tr("size:"), Qt::AlignRight, this), kNoId, kRectSizeCaptionBox);
    Place(dlg, new ColorSwatch(&m_rec.crText, this), kIdTextSwatch, kTextSwatchBox);
    Place(dlg, MakeStatic(tr("Text:"), Qt::AlignRight, this), kNoId, kTextColorCaptionBox);
    Place(dlg, new ColorSwatch(&m_rec.crBack, this), kIdBackSwatch, kBackSwatchBox);
    Place(dlg, MakeStatic(tr("Background:"), Qt::AlignRight, this), kNoId, kBackCaptionBox);
    Place(dlg, new ColorSwatch(&m_rec.crRect, this), kIdRectSwatch, kRectSwatchBox);
    Place(dlg, MakeStatic(tr("Rectangle:"), Qt::AlignRight, this), kNoId, kRectCaptionBox);
    Place(dlg, MakeStatic(tr("Text:"), Qt::AlignLeft, this), kNoId, kSinceTextCaptionBox);
    Place(dlg, MakeStatic(tr("Memo:"), Qt::AlignLeft, this), kNoId, kMemoCaptionBox);
}

void CDia_Point::SetUpMemoAndPicker() {
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
    m_dtSinceDate->setDate(QDateTime::fromSecsSinceEpoch(m_services.now()).date());
}

void CDia_Point::ConnectButtons() {
    m_btnOk->setDefault(true);
    connect(m_btnOk, &QPushButton::clicked, this, &CDia_Point::OnClickedOk);
    connect(m_btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_btnTextFont, &QPushButton::clicked, this, &CDia_Point::OnTextFont);
    connect(m_btnTextColor, &QPushButton::clicked, this, &CDia_Point::OnTextColor);
    connect(m_btnBackColor, &QPushButton::clicked, this, &CDia_Point::OnBackgroundColor);
    connect(m_btnRectColor, &QPushButton::clicked, this, &CDia_Point::OnRectangleColor);
    connect(m_btnSinceFont, &QPushButton::clicked, this, &CDia_Point::OnSinceFont);
    connect(m_chkSinceDate, &QCheckBox::clicked, this, &CDia_Point::OnSinceDate);
}

std::optional<PointDialogResult> CDia_Point::Run(QWidget* parent, const AppServices& services,
                                                 const PointEntry& shown) {
    // On the heap: whatever deletes `parent` while the dialog runs deletes it exactly once.
    const QPointer<CDia_Point> dialog = new CDia_Point(services, parent);
    dialog->setShown(shown);
    const bool accepted = dialog->exec() == QDialog::Accepted && !dialog.isNull();
    std::optional<PointDialogResult> result;
    if (accepted) {
        result = dialog->edited();
    }
    delete dialog.data();
    return result;
}

void CDia_Point::showEvent(QShowEvent* event) {
    if (!m_bInitialized && !event->spontaneous()) {
        m_bInitialized = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CDia_Point::OnInitDialog() {
    m_rec = m_shown.rec;
    m_strWork = QString::asprintf("%d", m_rec.nCrossSize);
    m_editCrossSize->setText(m_strWork);
    m_strWork = QString::asprintf("%d", m_rec.nRectSize);
    m_editRectSize->setText(m_strWork);
    m_chkShowCross->setChecked(m_rec.bShowCross != 0);
    m_chkShowRect->setChecked(m_rec.bShowRect != 0);
    m_editLabel->setText(Shown(m_shown.label));
    m_editMemo->setPlainText(MemoForEditing(m_shown.memo));
    m_shownLabel = m_editLabel->text();
    m_shownMemo = m_editMemo->toPlainText();
    // With the since-date box clear the since controls stay as built: disabled, empty, clear,
    // the picker at today, whatever the record's since fields hold.
    if (m_rec.bSinceDate != 0) {
        FillSinceControls();
    }
}

void CDia_Point::FillSinceControls() {
    m_chkSinceDate->setChecked(true);
    OnSinceDate();
    m_editSinceText->setText(Shown(m_shown.sinceText));
    m_shownSinceText = m_editSinceText->text();
    m_bSinceTextShown = true;
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
    PointDialogResult result;
    PointEntry& entry = result.entry;
    entry.label = TextBack(m_editLabel->text(), m_shownLabel, &m_shown.label);
    const QString memo = m_editMemo->toPlainText();
    entry.memo = memo == m_shownMemo ? m_shown.memo : MemoForStorage(memo);
    // Only a ticked since box takes the since text; otherwise it keeps what it came in with.
    entry.sinceText = m_shown.sinceText;

    m_strWork = m_editCrossSize->text();
    m_rec.nCrossSize = AtoiText(m_strWork);
    m_strWork = m_editRectSize->text();
    m_rec.nRectSize = AtoiText(m_strWork);
    m_rec.bShowRect = m_chkShowRect->isChecked() ? 1 : 0;
    m_rec.bShowCross = m_chkShowCross->isChecked() ? 1 : 0;
    TakeSinceControls(result);

    entry.rec = m_rec;
    result.saveAsDefault = m_chkSaveSettings->isChecked();
    result.applyToAll = m_chkApplyAll->isChecked();
    m_result = std::move(result);
    accept();
}

void CDia_Point::TakeSinceControls(PointDialogResult& result) {
    if (!m_chkSinceDate->isChecked()) {
        // Only the switch: the since text, flash bytes and date keep what they came in with.
        m_rec.bSinceDate = 0;
        return;
    }
    m_rec.bSinceDate = 1;
    result.entry.sinceText = TextBack(m_editSinceText->text(), m_shownSinceText,
                                      m_bSinceTextShown ? &m_shown.sinceText : nullptr);
    m_rec.bFlashText = m_chkFlashText->isChecked() ? 1 : 0;
    m_rec.bFlashRect = m_chkFlashRect->isChecked() ? 1 : 0;
    // The picked day from its first moment: hour, minute and second are 0.
    m_rec.stSince = SystemTimeFromDate(m_dtSinceDate->date());
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
