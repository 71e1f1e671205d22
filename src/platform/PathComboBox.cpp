#include "PathComboBox.h"

#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace {

// The gap the style leaves between the icon and the text, and at the text's ends.
constexpr int kIconGap = 4;
constexpr int kTextMargin = 2;

} // namespace

PathComboBox::PathComboBox(QWidget *parent) : QComboBox(parent)
{
    connect(this, &QComboBox::currentTextChanged, this, [this](const QString &text) { setToolTip(text); });
}

QRect PathComboBox::textRect(const QStyleOptionComboBox &option) const
{
    QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    if (!option.currentIcon.isNull())
        field.setLeft(field.left() + option.iconSize.width() + kIconGap);
    return field.adjusted(kTextMargin, 0, -kTextMargin, 0);
}

QString PathComboBox::shownText() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    return fontMetrics().elidedText(option.currentText, Qt::ElideLeft, textRect(option).width());
}

void PathComboBox::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    if (!isEditable()) {
        option.currentText = fontMetrics().elidedText(option.currentText, Qt::ElideLeft, textRect(option).width());
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
    }
}
