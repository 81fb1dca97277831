// The message pane (pane 0) of the main window's status bar, reached from the view.
// The main frame installs the sink; without one, texts go nowhere (tests may install their own).
#pragma once

#include <QString>

#include <functional>

namespace StatusPane {
void SetText(const QString& text);
void SetSink(std::function<void(const QString&)> sink);
} // namespace StatusPane
