#include "TallestLineDelegate.h"

#include <QFontMetrics>
#include <QStyle>
#include <QWidget>

namespace {

// Latin, its extensions and IPA: every text font holds these.
bool beyondLatin(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x0300)
            return true;
    }
    return false;
}

int lineHeight(const QString &text, const QFontMetrics &metrics)
{
    // The bounding box of a shaped line covers the fonts that drew each part.
    return qMax(metrics.height(), metrics.boundingRect(text).height());
}

} // namespace

TallestLineDelegate::TallestLineDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

void TallestLineDelegate::Measure(const QString &text, const QFont &font)
{
    if (!beyondLatin(text))
        return;
    const int height = lineHeight(text, QFontMetrics(font));
    if (height > m_tallestHeight) {
        m_tallestHeight = height;
        m_tallest = text;
    }
}

void TallestLineDelegate::Clear()
{
    m_tallest.clear();
    m_tallestHeight = 0;
}

QSize TallestLineDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    // A check box's frame is drawn a pixel around its indicator: a row only
    // as tall as the indicator cuts it.
    if (index.data(Qt::CheckStateRole).isValid()) {
        const QStyle *style = option.widget ? option.widget->style() : nullptr;
        if (style)
            size.setHeight(qMax(size.height(), style->pixelMetric(QStyle::PM_IndicatorHeight, &option, option.widget) + 2));
    }
    if (!m_tallest.isEmpty()) {
        // What the row's own text gets above its line's height, kept for the tallest line too.
        const int padding = qMax(0, size.height() - option.fontMetrics.height());
        size.setHeight(qMax(size.height(), lineHeight(m_tallest, option.fontMetrics) + padding));
    }
    return size;
}
