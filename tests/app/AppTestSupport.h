// Shared set-up for the application tests: a temporary start-up directory made current for the
// test (and the previous one restored after it), a temporary settings file, pictures written by
// the test, answering modal dialogs from the event loop, and recording message boxes.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QImage>
#include <QMessageBox>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

class CZelvorApp;
class QWidget;

class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // InitInstance, with the application's message boxes recorded and answered from then on.
    bool Start(CZelvorApp& app);
    // A fresh application on the test's settings file, started; null when start-up failed.
    std::unique_ptr<CZelvorApp> StartApp();
    // Closes the main window (document windows first) and destroys the application.
    // False when the close was refused.
    bool QuitApp(std::unique_ptr<CZelvorApp>& app);

    // A picture of `size` filled with `color`, written as PNG under the start-up directory's
    // "pics" folder; returns its absolute path.
    QString WritePicture(const QString& name, QSize size, QColor color);

    QString baseDir() const { return m_baseDir; }
    QString mapsDir() const { return m_baseDir + QStringLiteral("/MAPS"); }
    QSettings& settings() { return *m_settings; }

    // Message boxes shown so far (their texts), and the answer the next ones get.
    QStringList m_messages;
    QMessageBox::StandardButton m_messageAnswer = QMessageBox::Ok;

private:
    QTemporaryDir m_root;
    QString m_baseDir;
    QString m_previousDir;
    std::unique_ptr<QSettings> m_settings;
};

// Answers the next modal dialog of type T (checked from the event loop every few
// milliseconds) by calling `answer` on it. Gives up quietly after `timeoutMs`.
void AnswerNextModal(const std::function<bool(QWidget*)>& answer, int timeoutMs = 10000);

// Stops every answer still waiting (a test's unanswered dialogs must not reach the next test).
void StopAnswering();

template <typename T> void AnswerNext(std::function<void(T*)> answer, int timeoutMs = 10000) {
    AnswerNextModal(
        [answer](QWidget* w) {
            if (auto* dialog = qobject_cast<T*>(w)) {
                answer(dialog);
                return true;
            }
            return false;
        },
        timeoutMs);
}

// A whole file's bytes (empty when it cannot be read), and writing them.
QByteArray ReadAll(const QString& path);
bool WriteAll(const QString& path, const QByteArray& bytes);

// Processes pending events and deferred deletions, and lets idle-time updates run.
void Settle();

// The streams of a PDF file, inflated where they are compressed.
QList<QByteArray> PdfStreams(const QByteArray& pdf);
// The number of page objects of a PDF file.
int PdfPageCount(const QByteArray& pdf);
