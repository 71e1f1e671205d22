#pragma once

#include <QObject>

class QAbstractItemView;

// Tool tips for a list whose columns may be narrower than their texts: a cell
// whose text the list cuts ("plain text do…") shows its whole text in its tool
// tip, a cell shown whole none. A tool tip the model gives a cell is shown as
// before. Either is shown as written: a name or a server's words that look
// like markup ("<b>x</b>") are never read as markup.
class CutCellToolTips : public QObject
{
public:
    // Serves the view's tool tips from now on, for as long as the view lives.
    static void Install(QAbstractItemView *view);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit CutCellToolTips(QAbstractItemView *view);

    QAbstractItemView *m_view;
};
