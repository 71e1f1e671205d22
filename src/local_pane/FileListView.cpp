#include "FileListView.h"

#include "CutCellToolTips.h"
#include "ErrorLog.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>

namespace {

// The drag picture: a stack of sheets, the same for every pane.
QPixmap dragPicture()
{
    QPixmap picture(24, 24);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 2; i >= 0; --i) {
        const QRectF sheet(2 + 3 * i, 2 + 3 * i, 14, 16);
        painter.setBrush(i == 0 ? QColor(255, 255, 255) : QColor(225, 230, 240));
        painter.setPen(QColor(70, 90, 130));
        painter.drawRect(sheet);
    }
    return picture;
}

} // namespace

FileListView::FileListView(QWidget *parent) : QTreeView(parent)
{
    // A type or date cut where the name column has no room left to give reads whole in its tool tip.
    CutCellToolTips::Install(this);
}

void FileListView::reset()
{
    QTreeView::reset();
    horizontalScrollBar()->setValue(horizontalScrollBar()->minimum());
}

void FileListView::setDragSourceName(const QString &name)
{
    m_sourceName = name;
    setDragEnabled(!name.isEmpty());
}

void FileListView::setAcceptedSources(const QStringList &names)
{
    m_accepted = names;
    setAcceptDrops(!names.isEmpty());
    viewport()->setAcceptDrops(!names.isEmpty());
    setDropIndicatorShown(false);
}

QMimeData *FileListView::makeDragData() const
{
    if (m_sourceName.isEmpty())
        return nullptr;
    auto *data = new QMimeData;
    data->setData(MimeType(), m_sourceName.toUtf8());
    return data;
}

QString FileListView::acceptedSource(const QMimeData *data, const QObject *dragSource) const
{
    // Drags of other programs have no source object here.
    if (!data || !qobject_cast<const FileListView *>(dragSource) || dragSource == this
        || !data->hasFormat(MimeType()))
        return {};
    const QString name = QString::fromUtf8(data->data(MimeType()));
    return m_accepted.contains(name) ? name : QString();
}

void FileListView::startDrag(Qt::DropActions)
{
    try {
        if (m_sourceName.isEmpty() || !selectionModel() || !selectionModel()->hasSelection())
            return;
        auto *drag = new QDrag(this);
        drag->setMimeData(makeDragData());
        drag->setPixmap(dragPicture());
        // The desktop's drag loop runs inside exec(); a drag offers no other way (last resort).
        drag->exec(Qt::CopyAction, Qt::CopyAction);
    } catch (...) {
        LogCurrentException(QStringLiteral("frmZAVUde"), QStringLiteral("OLEStartDrag"));
    }
}

bool FileListView::takeDrag(QDropEvent *event) const
{
    if (acceptedSource(event->mimeData(), event->source()).isEmpty()) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

void FileListView::dragEnterEvent(QDragEnterEvent *event) { takeDrag(event); }

void FileListView::dragMoveEvent(QDragMoveEvent *event) { takeDrag(event); }

void FileListView::dropEvent(QDropEvent *event)
{
    try {
        if (takeDrag(event))
            emit rowsDropped(acceptedSource(event->mimeData(), event->source()));
    } catch (...) {
        LogCurrentException(QStringLiteral("frmZAVUde"), QStringLiteral("DragDrop"));
    }
}
