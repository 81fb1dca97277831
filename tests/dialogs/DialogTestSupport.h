// Shared helpers for the dialog tests: finding controls by id, answering modal dialogs from
// the event loop (never by sleeping), and services with a fixed clock.
#pragma once

#include <QApplication>
#include <QDateTime>
#include <QFontDatabase>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <cstring>
#include <functional>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "AppServices.h"
#include "CDia_Point.h"
#include "PointRecord.h"

namespace dialogtest {

template <class T> T* Control(const QWidget& dialog, int id) {
    return dialog.findChild<T*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

// Runs `answer` on the first modal dialog of type T to become active, from the event loop of
// whatever runs it modally. Polls once per turn of the event loop; after `turns` turns without
// such a dialog it records a failure.
template <class T> void AnswerModal(std::function<void(T*)> answer, int turns = 10000) {
    QTimer::singleShot(0, qApp, [answer, turns] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            answer(dialog);
        } else if (turns > 0) {
            AnswerModal<T>(answer, turns - 1);
        } else {
            ADD_FAILURE() << "no modal " << T::staticMetaObject.className() << " appeared";
        }
    });
}

// An installed family, other than `except`, that has an italic or oblique style, so tests that
// pick italic do not depend on which fonts the machine happens to have.
inline QString FamilyWithItalic(const QString& except = QString()) {
    for (const QString& family : QFontDatabase::families()) {
        if (family == except || QFontDatabase::isPrivateFamily(family)) {
            continue;
        }
        for (const QString& style : QFontDatabase::styles(family)) {
            if (QFontDatabase::italic(family, style)) {
                return family;
            }
        }
    }
    return except;
}

inline bool SameBytes(const PointRecord& a, const PointRecord& b) {
    return std::memcmp(&a, &b, sizeof(PointRecord)) == 0;
}

// What the view hands the dialog: its copies of the record and the three texts.
struct Caller {
    PointRecord rec = FactoryDefaults();
    std::string label;
    std::string sinceText;
    std::string memo;
};

// A dialog shown (which fills it) on the caller's copies, as the view runs it; an OK writes
// its result back into the caller and keeps the two requests.
class OpenDialog {
public:
    OpenDialog(Caller& caller, const AppServices& services) : dialog(services) {
        dialog.setShown({caller.rec, caller.label, caller.sinceText, caller.memo});
        QObject::connect(&dialog, &QDialog::accepted, [this, &caller] {
            const PointDialogResult& r = dialog.edited();
            caller = {r.entry.rec, r.entry.label, r.entry.sinceText, r.entry.memo};
            result = r;
        });
        dialog.show();
    }
    void click(int id) { Control<QPushButton>(dialog, id)->click(); }
    void clickOk() { click(1); }

    CDia_Point dialog;
    std::optional<PointDialogResult> result; // set by OK
};

// A fixed "now" (local 2024-03-15 12:34:56) in the services the dialogs get.
class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_now = QDateTime(QDate(2024, 3, 15), QTime(12, 34, 56));
        const std::int64_t seconds = m_now.toSecsSinceEpoch();
        m_services.setClock([seconds] { return seconds; });
    }

    QDateTime m_now;
    AppServices m_services{std::string()};
};

} // namespace dialogtest
