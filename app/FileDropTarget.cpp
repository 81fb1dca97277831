#include "FileDropTarget.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>

FileDropTarget::FileDropTarget(QWidget& window, Opener open)
    : QObject(&window), m_open(std::move(open)) {}

void FileDropTarget::Install(QWidget& window, Opener open) {
    window.setAcceptDrops(true);
    window.installEventFilter(new FileDropTarget(window, std::move(open)));
}

QStringList FileDropTarget::LocalFiles(const QMimeData* mime) {
    QStringList files;
    if (mime == nullptr || !mime->hasUrls()) {
        return files;
    }
    for (const QUrl& url : mime->urls()) {
        const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
        if (!path.isEmpty() && !QFileInfo(path).isDir()) {
            files.append(path);
        }
    }
    return files;
}

bool FileDropTarget::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (LocalFiles(drag->mimeData()).isEmpty()) {
            drag->ignore();
        } else {
            drag->acceptProposedAction();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList files = LocalFiles(drop->mimeData());
        if (files.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        QTimer::singleShot(0, this, [this, files] { m_open(files); });
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}
