#include "DialogWidgets.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QString>
#include <QWidget>

QString BreakableText(const QString &text)
{
    constexpr int kLongestRun = 24;
    const QChar zeroWidthSpace(0x200B);
    QString out;
    out.reserve(text.size() + text.size() / kLongestRun);
    int run = 0;
    for (const QChar ch : text) {
        out += ch;
        run = (ch.isSpace() || ch == zeroWidthSpace) ? 0 : run + 1;
        if (run >= kLongestRun || ch == QLatin1Char('/')) {
            out += zeroWidthSpace;
            run = 0;
        }
    }
    return out;
}

void FitToScreen(QWidget *dialog)
{
    if (!dialog)
        return;
    QScreen *screen = dialog->screen() ? dialog->screen() : QGuiApplication::primaryScreen();
    if (screen)
        dialog->setMaximumWidth(screen->availableGeometry().width());
    for (QLabel *label : dialog->findChildren<QLabel *>()) {
        if (label->pixmap().isNull() && label->textFormat() != Qt::RichText) {
            label->setWordWrap(true);
            label->setText(BreakableText(label->text()));
        }
    }
    // A list of long names must not widen the dialog: the field scrolls instead.
    for (QComboBox *combo : dialog->findChildren<QComboBox *>()) {
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        if (combo->minimumContentsLength() == 0)
            combo->setMinimumContentsLength(20);
    }
}

QPushButton *MakeDialogButton(const QString &name, const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QLineEdit *MakeLineEdit(const QString &name, int maxLength, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    if (maxLength > 0)
        edit->setMaxLength(maxLength);
    return edit;
}
