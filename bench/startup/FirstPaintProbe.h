// The one way both start-up benchmark programs tell when they have shown their picture: a
// QApplication that, once the first paint event of a chosen widget has been handled, writes
// "painted" to standard output and ends the process at once. The driver times a program from
// its start to that line, so both are measured the same way.
#pragma once

#include <QApplication>
#include <QPointer>
#include <QWidget>

class FirstPaintProbe : public QApplication {
public:
    FirstPaintProbe(int& argc, char** argv) : QApplication(argc, argv) {}

    // The widget whose first handled paint event ends the run.
    void watch(QWidget* widget) { m_target = widget; }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    QPointer<QWidget> m_target;
};
