#include "EditCommands.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include "ActionBuilder.h"
#include "AppServices.h"
#include "CZelvorView.h"
#include "PointClipboard.h"
#include "Resources.h"
#include "Text8.h"

namespace {

// "&Undo Move Point\tCtrl+Z": the item's word, the step's name and the first shortcut.
QString StepText(const char* word, const std::string& step, const char* keys) {
    return QString::fromLatin1(word) + QLatin1Char(' ') + FromText8(step) + QLatin1Char('\t') +
           QString::fromLatin1(keys);
}

void Copy(CZelvorView& view) {
    QApplication::clipboard()->setMimeData(
        PointClipboard::Encode(view.map().map().Subset(view.selection().ids()), view.mapPath()));
}

void Paste(CZelvorView& view) {
    const PointRecord look = view.services().defaults();
    PointClipboard::Decoded decoded =
        PointClipboard::Decode(QApplication::clipboard()->mimeData(), look);
    if (decoded.entries.empty()) {
        view.services().showStatus(decoded.problem);
        return;
    }
    const int count = static_cast<int>(decoded.entries.size());
    const int onEdge = view.PasteEntries(std::move(decoded.entries), "Paste");
    if (onEdge > 0) {
        view.services().showStatus(
            QObject::tr("%n pasted point(s) lay outside the picture and were "
                        "placed on its edge.",
                        nullptr, onEdge));
    } else {
        view.services().showStatus(QObject::tr("%n point(s) pasted.", nullptr, count));
    }
}

} // namespace

namespace EditCommands {

void Register(ActionBuilder& cmd, std::function<CZelvorView*()> activeView) {
    const auto editable = [activeView]() -> CZelvorView* {
        CZelvorView* view = activeView();
        return view != nullptr && view->CanEdit() ? view : nullptr;
    };
    const auto withSelection = [editable](CommandState& state) {
        const CZelvorView* view = editable();
        state.enabled = view != nullptr && !view->selection().empty();
    };

    cmd.setHandler(ID_EDIT_UNDO, [editable] {
        if (CZelvorView* view = editable()) {
            view->OnEditUndo();
        }
    });
    cmd.setUpdateHandler(ID_EDIT_UNDO, [editable](CommandState& state) {
        CZelvorView* view = editable();
        state.enabled = view != nullptr && view->map().map().canUndo();
        if (state.enabled) {
            state.text = StepText("&Undo", view->map().map().undoName(), "Ctrl+Z");
        }
    });
    cmd.setHandler(ID_EDIT_REDO, [editable] {
        if (CZelvorView* view = editable()) {
            view->OnEditRedo();
        }
    });
    cmd.setUpdateHandler(ID_EDIT_REDO, [editable](CommandState& state) {
        CZelvorView* view = editable();
        state.enabled = view != nullptr && view->map().map().canRedo();
        if (state.enabled) {
            state.text = StepText("&Redo", view->map().map().redoName(), "Ctrl+Y");
        }
    });
    cmd.setHandler(ID_EDIT_COPY, [editable] {
        if (CZelvorView* view = editable()) {
            Copy(*view);
        }
    });
    cmd.setUpdateHandler(ID_EDIT_COPY, withSelection);
    cmd.setHandler(ID_EDIT_CUT, [editable] {
        if (CZelvorView* view = editable()) {
            // The clipboard keeps the points even when the question is answered No.
            Copy(*view);
            view->OnEditDelete("Cut");
        }
    });
    cmd.setUpdateHandler(ID_EDIT_CUT, withSelection);
    cmd.setHandler(ID_EDIT_CLEAR, [editable] {
        if (CZelvorView* view = editable()) {
            view->OnEditDelete();
        }
    });
    cmd.setUpdateHandler(ID_EDIT_CLEAR, withSelection);
    cmd.setHandler(ID_EDIT_PASTE, [editable] {
        if (CZelvorView* view = editable()) {
            Paste(*view);
        }
    });
    cmd.setUpdateHandler(ID_EDIT_PASTE, [editable](CommandState& state) {
        state.enabled = editable() != nullptr &&
                        PointClipboard::MayHold(QApplication::clipboard()->mimeData());
    });
    cmd.setHandler(ID_EDIT_SELECT_ALL, [editable] {
        if (CZelvorView* view = editable()) {
            view->OnEditSelectAll();
        }
    });
    cmd.setUpdateHandler(ID_EDIT_SELECT_ALL, [editable](CommandState& state) {
        const CZelvorView* view = editable();
        state.enabled = view != nullptr && view->points().count() > 0;
    });
}

} // namespace EditCommands
