#pragma once

#include <QString>
#include <QStyledItemDelegate>

// An item delegate for lists whose rows all have the height of one row
// (uniform row heights) and no icon: a name in a script the list's font does
// not hold is drawn in a fallback font whose line is taller, and a row only
// as tall as the list's own font would cut its lower part ("_", descenders).
// The list tells it the texts it shows; every row is then as tall as the
// tallest of their lines, and a row with a check box fits the box.
class TallestLineDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit TallestLineDelegate(QObject *parent = nullptr);

    // Notes a text the list shows. Only a text with characters beyond the
    // Latin scripts is measured: those are what fallback fonts draw.
    void Measure(const QString &text, const QFont &font);
    // Forgets the texts measured (the list was cleared).
    void Clear();

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    QString m_tallest; // the text with the tallest line measured so far
    int m_tallestHeight = 0;
};
