#include "SelectionPane.h"

#include <QAbstractEventDispatcher>
#include <QStatusBar>

#include "CZelvorView.h"

SelectionPane::SelectionPane(QStatusBar* bar, std::function<CZelvorView*()> activeView)
    : QLabel(bar), m_activeView(std::move(activeView)) {
    setAlignment(Qt::AlignCenter);
    // Wide enough for seven digits and a margin, so the pane does not grow as the count does.
    constexpr int kWidestCount = 8888888;
    constexpr int kMargin = 12;
    setMinimumWidth(fontMetrics().horizontalAdvance(tr("%n selected", nullptr, kWidestCount)) +
                    kMargin);
    bar->insertPermanentWidget(0, this);
    if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                &SelectionPane::Refresh);
    }
}

void SelectionPane::Refresh() {
    const CZelvorView* view = m_activeView();
    const int count = view != nullptr ? view->selection().count() : 0;
    if (count != m_shown) {
        m_shown = count;
        setText(count > 0 ? tr("%n selected", nullptr, count) : QString());
    }
}
