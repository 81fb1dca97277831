// Lets pictures be dropped onto a window. Of the dragged URLs (text/uri-list), the local files
// that are not folders are accepted; after the drop `open` gets their paths, in the order
// dragged, from the event loop, so that a message about a file that cannot be opened never
// holds up the program the drag came from. Other URLs are ignored; a drag with no local file
// is refused (the pointer shows that nothing would happen).
#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

class QMimeData;
class QWidget;

class FileDropTarget : public QObject {
    Q_OBJECT
public:
    using Opener = std::function<void(const QStringList& paths)>;

    // Makes `window` accept drops, handled by a target that `window` owns.
    static void Install(QWidget& window, Opener open);

    // The local files among the URLs of `mime` (none when it carries no URLs).
    static QStringList LocalFiles(const QMimeData* mime);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FileDropTarget(QWidget& window, Opener open);

    Opener m_open;
};
