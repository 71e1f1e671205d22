#pragma once

#include <QString>
#include <QTreeView>

class QMimeData;

// A pane's file list. Rows dragged from it carry only the name of the pane
// they come from, in a type of our own, so drags go between the panes of
// this program and nowhere else; it takes drops from the panes it is told to.
class FileListView : public QTreeView
{
    Q_OBJECT
public:
    static QString MimeType() { return QStringLiteral("application/x-ftpqor-pane"); }

    explicit FileListView(QWidget *parent = nullptr);

    // The name this list's drags carry ("" makes it no drag source).
    void setDragSourceName(const QString &name);
    QString DragSourceName() const { return m_sourceName; }
    // The pane names whose rows may be dropped here.
    void setAcceptedSources(const QStringList &names);

    // What a drag from this list carries; nullptr when it is no drag source.
    QMimeData *makeDragData() const;
    // The pane name a drop carries when this list takes it, else "".
    QString acceptedSource(const QMimeData *data, const QObject *dragSource) const;

    // A new listing starts at the left edge, whatever the last one was scrolled to.
    void reset() override;

signals:
    // Rows of the named pane were dropped on this list.
    void rowsDropped(const QString &sourceName);

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // Accepts a drag or drop this list takes as a copy; ignores the others.
    bool takeDrag(QDropEvent *event) const;

    QString m_sourceName;
    QStringList m_accepted;
};
