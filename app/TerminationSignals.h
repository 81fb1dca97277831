// Turns SIGTERM, SIGHUP and SIGINT into an orderly close of the main window, so maps and the
// defaults are saved as at File > Exit instead of being lost. A second signal ends the process
// the usual way.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    // `closeRequested` runs on the user-interface thread when a signal arrives.
    explicit TerminationSignals(std::function<void()> closeRequested, QObject* parent = nullptr);
    ~TerminationSignals() override;

private:
    void onSignal();

    std::function<void()> m_closeRequested;
    QSocketNotifier* m_notifier = nullptr;
};
