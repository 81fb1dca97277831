#include "AppTestSupport.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>
#include <QWidget>

#include "CMainFrame.h"
#include "AppServices.h"
#include "CZelvorApp.h"

void AppTest::SetUp() {
    ASSERT_TRUE(m_root.isValid());
    m_baseDir = m_root.path() + QStringLiteral("/start");
    ASSERT_TRUE(QDir().mkpath(m_baseDir + QStringLiteral("/pics")));
    m_previousDir = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(m_baseDir));
    m_settings = std::make_unique<QSettings>(m_root.path() + QStringLiteral("/settings.ini"),
                                             QSettings::IniFormat);
}

void AppTest::TearDown() {
    StopAnswering();
    Settle();
    QDir::setCurrent(m_previousDir);
}

bool AppTest::Start(CZelvorApp& app) {
    if (!app.InitInstance()) {
        return false;
    }
    // Message boxes are recorded and answered; the first ones come from the event loop.
    app.services()->setAsker([this](QWidget*, const QString& text, QMessageBox::Icon,
                                    QMessageBox::StandardButtons, QMessageBox::StandardButton) {
        m_messages.append(text);
        return m_messageAnswer;
    });
    return true;
}

std::unique_ptr<CZelvorApp> AppTest::StartApp() {
    auto app = std::make_unique<CZelvorApp>(m_settings.get());
    if (!Start(*app)) {
        return nullptr;
    }
    Settle();
    return app;
}

bool AppTest::QuitApp(std::unique_ptr<CZelvorApp>& app) {
    if (!app->mainFrame()->close()) {
        return false;
    }
    Settle();
    app.reset();
    Settle();
    return true;
}

QString AppTest::WritePicture(const QString& name, QSize size, QColor color) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    const QString path = m_baseDir + QStringLiteral("/pics/") + name;
    EXPECT_TRUE(image.save(path, "PNG")) << path.toStdString();
    return path;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

namespace {
QList<QPointer<QTimer>>& Polls() {
    static QList<QPointer<QTimer>> polls;
    return polls;
}
} // namespace

void StopAnswering() {
    for (const QPointer<QTimer>& poll : Polls()) {
        if (poll) {
            poll->stop();
        }
    }
    Polls().clear();
}

void AnswerNextModal(const std::function<bool(QWidget*)>& answer, int timeoutMs) {
    auto* poll = new QTimer(qApp);
    Polls().append(poll);
    auto* remaining = new int(timeoutMs / 5);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, remaining, answer] {
        QWidget* modal = QApplication::activeModalWidget();
        if ((modal != nullptr && answer(modal)) || --*remaining <= 0) {
            poll->stop();
            poll->deleteLater();
            delete remaining;
        }
    });
    poll->start(5);
}

void Settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // The moment the event loop would wait: idle-time updates run then.
        emit QAbstractEventDispatcher::instance()->aboutToBlock();
    }
}

QList<QByteArray> PdfStreams(const QByteArray& pdf) {
    QList<QByteArray> streams;
    qsizetype from = 0;
    while (true) {
        const qsizetype start = pdf.indexOf("stream\n", from);
        if (start < 0) {
            break;
        }
        const qsizetype dataStart = start + 7;
        const qsizetype end = pdf.indexOf("endstream", dataStart);
        if (end < 0) {
            break;
        }
        QByteArray data = pdf.mid(dataStart, end - dataStart);
        const qsizetype dictStart = pdf.lastIndexOf("<<", start);
        const QByteArray dict = pdf.mid(dictStart, start - dictStart);
        if (dict.contains("/FlateDecode")) {
            QByteArray sized(4, '\0');
            const quint32 guess = quint32(data.size()) * 8 + 1024;
            sized[0] = char(guess >> 24);
            sized[1] = char(guess >> 16);
            sized[2] = char(guess >> 8);
            sized[3] = char(guess);
            data = qUncompress(sized + data);
        }
        streams.append(data);
        from = end + 9;
    }
    return streams;
}

int PdfPageCount(const QByteArray& pdf) {
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
    return int(QString::fromLatin1(pdf).count(page));
}
