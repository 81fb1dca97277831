// The one way the start-up benchmark programs tell when they have shown their picture: a
// QApplication that, once the first paint event of a chosen widget has been handled, writes
// "painted" to standard output and ends the process at once. The driver times a program from
// its start to that line, so all are measured the same way. Watched for every paint instead,
// it writes the line after each one and runs on: the driver then takes the last line before the
// program goes quiet, when a big picture's tiles have all come in and been drawn.
#pragma once

#include <QApplication>
#include <QPointer>
#include <QWidget>

class FirstPaintProbe : public QApplication {
public:
    FirstPaintProbe(int& argc, char** argv) : QApplication(argc, argv) {}

    // The widget whose first handled paint event ends the run (or, with `everyPaint`, whose
    // every paint is told).
    void watch(QWidget* widget, bool everyPaint = false) {
        m_target = widget;
        m_everyPaint = everyPaint;
    }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    QPointer<QWidget> m_target;
    bool m_everyPaint = false;
};
