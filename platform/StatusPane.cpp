#include "StatusPane.h"

#include <utility>

namespace {
std::function<void(const QString&)>& Sink() {
    static std::function<void(const QString&)> sink;
    return sink;
}
} // namespace

namespace StatusPane {

void SetText(const QString& text) {
    const auto& sink = Sink();
    if (sink) {
        sink(text);
    }
}

void SetSink(std::function<void(const QString&)> sink) {
    Sink() = std::move(sink);
}

} // namespace StatusPane
