// The Point dialog's template, its filling from the caller's copies and what OK, Cancel and
// the keyboard write back.
#include <QAbstractButton>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <climits>
#include <optional>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CDia_Point.h"
#include "ColorSwatch.h"
#include "DialogTestSupport.h"
#include "DialogUnits.h"

using namespace dialogtest;

namespace {

// A record whose every byte matters: non-default sizes, phases, position, reserved byte 7.
PointRecord SampleRecord() {
    PointRecord rec = FactoryDefaults();
    rec.bShowRect = 1;
    rec.bShowCross = 0;
    rec.bTextPhase = 1;
    rec.bRectPhase = 1;
    rec.bReserved = 0x5A;
    rec.nRectSize = 5;
    rec.nCrossSize = 12;
    rec.dX = 123.5;
    rec.dY = 0.25;
    rec.crText = RGB(1, 2, 3);
    rec.crBack = RGB(200, 100, 50);
    rec.crRect = RGB(0, 128, 255);
    rec.crSinceText = RGB(9, 8, 7);
    return rec;
}

// A record with the since fields filled in but the since-date switch off.
PointRecord DormantSinceRecord() {
    PointRecord rec = SampleRecord();
    rec.bSinceDate = 0;
    rec.bFlashText = 1;
    rec.bFlashRect = 1;
    rec.stSince = SYSTEMTIME{2020, 7, 3, 1, 9, 30, 15, 500};
    return rec;
}

} // namespace

using PointDialogLayoutTest = DialogTest;

TEST_F(PointDialogLayoutTest, TemplateControlsPlacedNamedAndEnabledAsListed) {
    CDia_Point dialog(m_services);
    const DialogUnits du(DialogFont());
    EXPECT_EQ(dialog.windowTitle(), "Point");
    EXPECT_TRUE(dialog.isModal());
    EXPECT_EQ(dialog.size(), du.toPixels(340, 337));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "not resizable";

    struct Row {
        int id;
        const char* kind;
        const char* caption;
        QRect rect;
        bool enabled;
    };
    const std::vector<Row> rows = {
        {1002, "QLineEdit", "", {43, 19, 221, 14}, true},
        {1005, "QPushButton", "Font", {273, 19, 50, 14}, true},
        {1007, "QPushButton", "Select", {111, 55, 35, 14}, true},
        {1009, "QPushButton", "Select", {111, 74, 35, 14}, true},
        {1011, "QPushButton", "Select", {111, 93, 35, 14}, true},
        {1000, "QCheckBox", "Show Cross", {171, 68, 73, 10}, true},
        {1003, "QLineEdit", "", {277, 64, 34, 14}, true},
        {1001, "QCheckBox", "Show Rectangle", {171, 86, 73, 10}, true},
        {1004, "QLineEdit", "", {277, 82, 34, 14}, true},
        {1014, "QCheckBox", "change a view since date:", {29, 137, 105, 10}, true},
        {1015, "QDateEdit", "", {171, 132, 143, 15}, false},
        {1016, "QLineEdit", "", {55, 156, 199, 14}, false},
        {1017, "QPushButton", "Font", {264, 156, 50, 14}, false},
        {1018, "QCheckBox", "Flasching Text", {55, 178, 73, 10}, false},
        {1019, "QCheckBox", "Flasching Rectangle", {171, 178, 83, 10}, false},
        {1021, "QPlainTextEdit", "", {18, 213, 305, 83}, true},
        {1013, "QCheckBox", "Save Settings", {7, 320, 71, 10}, true},
        {1012, "QCheckBox", "Apply to all points", {113, 320, 75, 10}, true},
        {2, "QPushButton", "Cancel", {223, 316, 50, 14}, true},
        {1, "QPushButton", "OK", {283, 316, 50, 14}, true},
        {1006, "ColorSwatch", "", {79, 55, 24, 14}, true},
        {1008, "ColorSwatch", "", {79, 74, 24, 14}, true},
        {1010, "ColorSwatch", "", {79, 93, 24, 14}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        auto* control = Control<QWidget>(dialog, row.id);
        ASSERT_NE(control, nullptr);
        EXPECT_TRUE(control->inherits(row.kind)) << control->metaObject()->className();
        EXPECT_EQ(control->geometry(),
                  du.toPixels(row.rect.x(), row.rect.y(), row.rect.width(), row.rect.height()));
        EXPECT_EQ(control->isEnabled(), row.enabled);
        if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            EXPECT_EQ(button->text(), row.caption);
        }
    }

    // The 35 controls and no more: 20 with ids above plus 3 swatches, 4 frames, 8 captions.
    const auto children = dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    EXPECT_EQ(children.size(), 35);
    EXPECT_EQ(dialog.findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly).size(), 4);
    QStringList captions;
    for (QLabel* label : dialog.findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        captions << label->text();
    }
    captions.sort();
    EXPECT_EQ(captions, QStringList({"Background:", "Memo:", "Rectangle:", "Text:", "Text:",
                                     "Text:", "size:", "size:"}));

    EXPECT_TRUE(Control<QPushButton>(dialog, 1)->isDefault());
    EXPECT_FALSE(Control<QPushButton>(dialog, 2)->isDefault());
}

TEST_F(PointDialogLayoutTest, TabOrderFollowsTheTemplateAndFramesTakeNoClicks) {
    CDia_Point dialog(m_services);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    const QStringList expected = {"1002", "1005", "1007", "1009", "1011", "1000", "1003",
                                  "1001", "1004", "1014", "1015", "1016", "1017", "1018",
                                  "1019", "1021", "1013", "1012", "2",    "1"};
    QStringList order;
    QWidget* widget = dialog.m_editLabel;
    do {
        if (widget->parentWidget() == &dialog && (widget->focusPolicy() & Qt::TabFocus)) {
            order << widget->objectName();
        }
        widget = widget->nextInFocusChain();
    } while (widget != dialog.m_editLabel && order.size() < 40);
    EXPECT_EQ(order, expected);
    EXPECT_EQ(dialog.focusWidget(), dialog.m_editLabel) << "focus starts on the label";

    // The group boxes lie under the controls they frame, so a click reaches the control.
    for (int id : {1000, 1007, 1014, 1021}) {
        auto* control = Control<QWidget>(dialog, id);
        QWidget* hit = dialog.childAt(control->geometry().center());
        EXPECT_TRUE(hit == control || control->isAncestorOf(hit)) << id;
    }
}

TEST_F(PointDialogLayoutTest, ControlStyles) {
    CDia_Point dialog(m_services);
    for (QLineEdit* size : {dialog.m_editCrossSize, dialog.m_editRectSize}) {
        EXPECT_TRUE(size->alignment() & Qt::AlignHCenter);
        size->setFocus();
        size->clear();
        QTest::keyClicks(size, "1a-2 3");
        EXPECT_EQ(size->text(), "123") << "digits only as typed";
        size->clear();
        EXPECT_EQ(size->text(), "") << "empty allowed";
    }
    EXPECT_TRUE(dialog.m_editMemo->tabChangesFocus());
    EXPECT_EQ(dialog.m_editMemo->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(dialog.m_editMemo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_TRUE(dialog.m_dtSinceDate->calendarPopup());
    EXPECT_TRUE(dialog.m_dtSinceDate->displayFormat().contains("yyyy"));
    EXPECT_EQ(dialog.m_dtSinceDate->date(), m_now.date()) << "the picker starts at today";

    // The calendar drops down under the picker, right edges aligned.
    QDateEdit* picker = dialog.m_dtSinceDate;
    picker->setEnabled(true);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(picker, Qt::LeftButton, {},
                      QPoint(picker->width() - 5, picker->height() / 2));
    QWidget* popup = picker->calendarWidget()->window();
    ASSERT_TRUE(popup->isVisible());
    const QPoint corner = picker->mapToGlobal(QPoint(picker->width(), picker->height()));
    EXPECT_EQ(popup->frameGeometry().right() + 1, corner.x());
    EXPECT_EQ(popup->frameGeometry().top(), corner.y());
    popup->hide();
}

using PointDialogInitTest = DialogTest;

TEST_F(PointDialogInitTest, FillsFromTheCallersCopies) {
    Caller caller{SampleRecord(), "Boiler room", "", "Key at the desk\r\nFloor 2"};
    caller.rec.nCrossSize = -4; // shown as "%d" gives it, even though it cannot be typed
    OpenDialog open(caller, m_services);
    CDia_Point& d = open.dialog;
    EXPECT_EQ(d.m_editLabel->text(), "Boiler room");
    EXPECT_EQ(d.m_editMemo->toPlainText(), "Key at the desk\nFloor 2");
    EXPECT_EQ(d.m_editCrossSize->text(), "-4");
    EXPECT_EQ(d.m_editRectSize->text(), "5");
    EXPECT_FALSE(d.m_chkShowCross->isChecked());
    EXPECT_TRUE(d.m_chkShowRect->isChecked());
    EXPECT_FALSE(d.m_chkSaveSettings->isChecked());
    EXPECT_FALSE(d.m_chkApplyAll->isChecked());
    EXPECT_TRUE(SameBytes(d.m_rec, caller.rec)) << "the working copy is the whole record";

    // A show-rect byte of 2 read from a file ticks the box as 1 does.
    Caller two{SampleRecord(), "", "", ""};
    two.rec.bShowRect = 2;
    OpenDialog openTwo(two, m_services);
    EXPECT_TRUE(openTwo.dialog.m_chkShowRect->isChecked());
}

TEST_F(PointDialogInitTest, SinceControlsFollowTheSinceSwitch) {
    // Switch off: the since controls stay as built whatever the record holds.
    Caller dormant{DormantSinceRecord(), "L", "Overdue", "M"};
    OpenDialog off(dormant, m_services);
    EXPECT_FALSE(off.dialog.m_chkSinceDate->isChecked());
    for (int id : {1015, 1016, 1017, 1018, 1019}) {
        EXPECT_FALSE(Control<QWidget>(off.dialog, id)->isEnabled()) << id;
    }
    EXPECT_EQ(off.dialog.m_editSinceText->text(), "");
    EXPECT_FALSE(off.dialog.m_chkFlashText->isChecked());
    EXPECT_FALSE(off.dialog.m_chkFlashRect->isChecked());
    EXPECT_EQ(off.dialog.m_dtSinceDate->date(), m_now.date());

    // Switch on: everything filled in and enabled.
    Caller active = dormant;
    active.rec.bSinceDate = 1;
    active.rec.bFlashRect = 0;
    OpenDialog on(active, m_services);
    EXPECT_TRUE(on.dialog.m_chkSinceDate->isChecked());
    for (int id : {1015, 1016, 1017, 1018, 1019}) {
        EXPECT_TRUE(Control<QWidget>(on.dialog, id)->isEnabled()) << id;
    }
    EXPECT_EQ(on.dialog.m_editSinceText->text(), "Overdue");
    EXPECT_TRUE(on.dialog.m_chkFlashText->isChecked());
    EXPECT_FALSE(on.dialog.m_chkFlashRect->isChecked());
    EXPECT_EQ(on.dialog.m_dtSinceDate->date(), QDate(2020, 7, 1));

    // A date that does not convert leaves the picker at today.
    Caller bad = active;
    bad.rec.stSince = SYSTEMTIME{2021, 2, 0, 30, 0, 0, 0, 0};
    OpenDialog badOpen(bad, m_services);
    EXPECT_EQ(badOpen.dialog.m_dtSinceDate->date(), m_now.date());

    // Clicking the box switches the controls without touching their contents.
    on.dialog.m_editSinceText->setText("edited");
    QTest::mouseClick(on.dialog.m_chkSinceDate, Qt::LeftButton);
    EXPECT_FALSE(on.dialog.m_dtSinceDate->isEnabled());
    EXPECT_FALSE(Control<QWidget>(on.dialog, 1017)->isEnabled());
    EXPECT_EQ(on.dialog.m_editSinceText->text(), "edited");
    EXPECT_TRUE(on.dialog.m_chkFlashText->isChecked());
}

using PointDialogOkTest = DialogTest;

TEST_F(PointDialogOkTest, SinceBoxClearKeepsStoredSinceFields) {
    Caller caller{DormantSinceRecord(), "Label", "Overdue", "Memo"};
    const PointRecord before = caller.rec;
    OpenDialog open(caller, m_services);
    open.clickOk();
    EXPECT_EQ(open.dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(SameBytes(caller.rec, before)) << "only bSinceDate = 0 written, already 0";
    EXPECT_EQ(caller.sinceText, "Overdue");

    // A record that had the switch on, whose since controls were edited and then the box
    // unticked: the edits are discarded, only the switch goes off.
    Caller on{DormantSinceRecord(), "Label", "Overdue", "Memo"};
    on.rec.bSinceDate = 1;
    PointRecord expected = on.rec;
    expected.bSinceDate = 0;
    OpenDialog edit(on, m_services);
    edit.dialog.m_editSinceText->setText("Changed");
    edit.dialog.m_chkFlashText->setChecked(false);
    edit.dialog.m_chkFlashRect->setChecked(false);
    edit.dialog.m_dtSinceDate->setDate(QDate(2030, 1, 1));
    QTest::mouseClick(edit.dialog.m_chkSinceDate, Qt::LeftButton);
    edit.clickOk();
    EXPECT_TRUE(SameBytes(on.rec, expected));
    EXPECT_EQ(on.sinceText, "Overdue");
}

TEST_F(PointDialogOkTest, TickingTheSinceBoxTakesTheControlsAtMidnight) {
    // Ticked on a dormant record without touching anything: empty text, clear flash boxes,
    // today at 00:00:00.
    Caller caller{DormantSinceRecord(), "Label", "Overdue", "Memo"};
    OpenDialog open(caller, m_services);
    QTest::mouseClick(open.dialog.m_chkSinceDate, Qt::LeftButton);
    EXPECT_TRUE(open.dialog.m_dtSinceDate->isEnabled());
    open.clickOk();
    EXPECT_EQ(caller.rec.bSinceDate, 1);
    EXPECT_EQ(caller.sinceText, "");
    EXPECT_EQ(caller.rec.bFlashText, 0);
    EXPECT_EQ(caller.rec.bFlashRect, 0);
    const SYSTEMTIME today = caller.rec.stSince;
    EXPECT_EQ(today.wYear, 2024);
    EXPECT_EQ(today.wMonth, 3);
    EXPECT_EQ(today.wDay, 15);
    EXPECT_EQ(today.wDayOfWeek, 5); // a Friday
    EXPECT_EQ(today.wHour + today.wMinute + today.wSecond, 0);

    // Ticked and filled in: the typed text, the boxes as 1/0 bytes, the picked day.
    Caller second{DormantSinceRecord(), "Label", "Overdue", "Memo"};
    OpenDialog fill(second, m_services);
    QTest::mouseClick(fill.dialog.m_chkSinceDate, Qt::LeftButton);
    fill.dialog.m_editSinceText->setText("Inspection due");
    fill.dialog.m_chkFlashRect->setChecked(true);
    fill.dialog.m_dtSinceDate->setDate(QDate(2024, 2, 29));
    fill.clickOk();
    EXPECT_EQ(second.sinceText, "Inspection due");
    EXPECT_EQ(second.rec.bFlashText, 0);
    EXPECT_EQ(second.rec.bFlashRect, 1);
    const SYSTEMTIME st = second.rec.stSince;
    EXPECT_EQ(st.wYear, 2024);
    EXPECT_EQ(st.wMonth, 2);
    EXPECT_EQ(st.wDay, 29);
    EXPECT_EQ(st.wDayOfWeek, 4); // a Thursday
    EXPECT_EQ(st.wHour, 0);
    EXPECT_EQ(st.wMinute, 0);
    EXPECT_EQ(st.wSecond, 0);
    EXPECT_EQ(st.wMilliseconds, 0);
}

TEST_F(PointDialogOkTest, SizesFlagsAndUntouchedFieldsOnOk) {
    Caller caller{SampleRecord(), "Label", "", "Memo"};
    OpenDialog open(caller, m_services);
    open.dialog.m_editCrossSize->clear();
    open.dialog.m_editRectSize->setText("12abc");
    open.dialog.m_chkShowCross->setChecked(true);
    open.dialog.m_chkShowRect->setChecked(false);
    open.clickOk();
    EXPECT_EQ(caller.rec.nCrossSize, 0) << "empty field stores 0";
    EXPECT_EQ(caller.rec.nRectSize, 12) << "leading digits, as atoi";
    EXPECT_EQ(caller.rec.bShowCross, 1);
    EXPECT_EQ(caller.rec.bShowRect, 0);
    // Phases, position, reserved byte, colours and fonts pass through unchanged.
    const PointRecord sample = SampleRecord();
    EXPECT_EQ(caller.rec.bTextPhase, sample.bTextPhase);
    EXPECT_EQ(caller.rec.bRectPhase, sample.bRectPhase);
    EXPECT_EQ(caller.rec.bReserved, 0x5A);
    EXPECT_EQ(caller.rec.dX, 123.5);
    EXPECT_EQ(caller.rec.dY, 0.25);
    EXPECT_EQ(std::memcmp(&caller.rec.crText, &sample.crText, 136), 0);

    // Negative sizes shown by "%d" survive an OK; an overlong field saturates.
    const struct {
        const char* text;
        int value;
    } cases[] = {{"-4", -4}, {"  7", 7}, {"99999999999", INT_MAX}, {"x1", 0}};
    for (const auto& c : cases) {
        Caller sized{SampleRecord(), "", "", ""};
        OpenDialog d(sized, m_services);
        d.dialog.m_editCrossSize->setText(c.text);
        d.clickOk();
        EXPECT_EQ(sized.rec.nCrossSize, c.value) << c.text;
    }
}

TEST_F(PointDialogOkTest, TheResultCarriesThePointAndBothRequests) {
    const struct {
        bool saveSettings;
        bool applyAll;
    } cases[] = {{false, false}, {true, false}, {false, true}, {true, true}};
    for (const auto& c : cases) {
        Caller caller{SampleRecord(), "Label", "", "Memo"};
        caller.rec.bSinceDate = 1;
        caller.sinceText = "Since";
        OpenDialog open(caller, m_services);
        open.dialog.m_editRectSize->setText("30");
        open.dialog.m_editLabel->setText("New label");
        open.dialog.m_editSinceText->setText("New since");
        open.dialog.m_editMemo->setPlainText("New memo");
        open.dialog.m_chkSaveSettings->setChecked(c.saveSettings);
        open.dialog.m_chkApplyAll->setChecked(c.applyAll);
        open.clickOk();
        ASSERT_TRUE(open.result.has_value());
        const PointDialogResult& r = *open.result;
        EXPECT_EQ(r.saveAsDefault, c.saveSettings) << c.saveSettings << c.applyAll;
        EXPECT_EQ(r.applyToAll, c.applyAll) << c.saveSettings << c.applyAll;
        EXPECT_EQ(r.entry.rec.nRectSize, 30);
        EXPECT_EQ(r.entry.rec.dX, 123.5) << "whole record, position included";
        EXPECT_EQ(r.entry.label, "New label");
        EXPECT_EQ(r.entry.sinceText, "New since");
        EXPECT_EQ(r.entry.memo, "New memo");
    }
}

TEST_F(PointDialogOkTest, SaveSettingsMakesTheLookTheDefaultThroughTheServices) {
    // The dialog itself writes nowhere; the services take a ticked "Save Settings".
    AnswerModal<CDia_Point>([](CDia_Point* d) {
        d->m_editCrossSize->setText("21");
        d->m_chkSaveSettings->setChecked(true);
        Control<QPushButton>(*d, 1)->click();
    });
    m_services.setPointDialogRunner([this](QWidget* parent, const PointEntry& shown) {
        return CDia_Point::Run(parent, m_services, shown);
    });
    const std::optional<PointDialogResult> result =
        m_services.RunPointDialog(nullptr, {SampleRecord(), "", "", ""});
    ASSERT_TRUE(result.has_value());
    EXPECT_TRUE(SameBytes(m_services.defaults(), result->entry.rec));
    EXPECT_EQ(m_services.defaults().nCrossSize, 21);
}

TEST_F(PointDialogOkTest, TextsGoBackByteForByteUnlessEdited) {
    // Bytes that are not UTF-8 (a Windows-1252 label) come back untouched when not edited.
    Caller caller{SampleRecord(), "Caf\xE9", "", "line 1\r\nline 2"};
    caller.rec.bSinceDate = 1;
    caller.sinceText = "d\xFC";
    OpenDialog open(caller, m_services);
    EXPECT_EQ(open.dialog.m_editLabel->text(), QString::fromUtf8("Caf\u00E9"));
    open.clickOk();
    EXPECT_EQ(caller.label, "Caf\xE9");
    EXPECT_EQ(caller.sinceText, "d\xFC");
    EXPECT_EQ(caller.memo, "line 1\r\nline 2");

    // A text with a NUL byte shows up to it and, untouched, keeps its tail.
    const std::string withNul("Abc\0def", 7);
    Caller nul{SampleRecord(), withNul, "", ""};
    OpenDialog openNul(nul, m_services);
    EXPECT_EQ(openNul.dialog.m_editLabel->text(), "Abc");
    openNul.clickOk();
    EXPECT_EQ(nul.label, withNul);

    // Edited texts are stored as UTF-8; memo lines break with CR LF.
    Caller edited{SampleRecord(), "Caf\xE9", "", "line 1\r\nline 2"};
    OpenDialog edit(edited, m_services);
    edit.dialog.m_editLabel->setText(QString::fromUtf8("Caf\u00E9 2"));
    edit.dialog.m_editMemo->setPlainText("a\nb\nc");
    edit.clickOk();
    EXPECT_EQ(edited.label, "Caf\xC3\xA9 2");
    EXPECT_EQ(edited.memo, "a\r\nb\r\nc");
}

TEST_F(PointDialogOkTest, KeyboardEnterEscapeAndRun) {
    Caller caller{SampleRecord(), "Label", "", ""};
    const Caller before = caller;
    {
        OpenDialog open(caller, m_services);
        // Enter in the memo makes a new line and leaves the dialog open.
        open.dialog.m_editMemo->setFocus();
        QTest::keyClicks(open.dialog.m_editMemo, "one");
        QTest::keyClick(open.dialog.m_editMemo, Qt::Key_Return);
        QTest::keyClicks(open.dialog.m_editMemo, "two");
        EXPECT_TRUE(open.dialog.isVisible());
        EXPECT_EQ(open.dialog.m_editMemo->toPlainText(), "one\ntwo");
        // Escape cancels and writes nothing.
        QTest::keyClick(&open.dialog, Qt::Key_Escape);
        EXPECT_EQ(open.dialog.result(), QDialog::Rejected);
        EXPECT_FALSE(open.dialog.isVisible());
        EXPECT_EQ(caller.memo, before.memo);
    }
    {
        // Enter in the label presses the default button: OK.
        OpenDialog open(caller, m_services);
        open.dialog.m_editLabel->setFocus();
        QTest::keyClicks(open.dialog.m_editLabel, " 2");
        QTest::keyClick(open.dialog.m_editLabel, Qt::Key_Return);
        EXPECT_EQ(open.dialog.result(), QDialog::Accepted);
        EXPECT_EQ(caller.label, "Label 2");
    }

    // Run: the modal path the view takes, answered from the dialog's own event loop.
    AnswerModal<CDia_Point>([](CDia_Point* d) {
        d->m_editLabel->setText("From Run");
        Control<QPushButton>(*d, 1)->click();
    });
    const PointEntry shown{caller.rec, caller.label, caller.sinceText, caller.memo};
    const std::optional<PointDialogResult> ran = CDia_Point::Run(nullptr, m_services, shown);
    ASSERT_TRUE(ran.has_value());
    EXPECT_EQ(ran->entry.label, "From Run");

    AnswerModal<CDia_Point>([](CDia_Point* d) {
        d->m_editLabel->setText("Discarded");
        d->close(); // the close box
    });
    EXPECT_FALSE(CDia_Point::Run(nullptr, m_services, shown).has_value());
}
