#include "DialogWidgets.h"

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QString>
#include <QStyle>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

// The window icon, three buttons and the gaps between them, each about as wide as the bar is high.
constexpr int kTitleBarButtonRoom = 5;

} // namespace

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

int WholeCaptionWidth(const QWidget *window, const QStringList &captions)
{
    // The theme's title font when it has one (else the application's), or the window's own if wider.
    QFont title = QApplication::font("QMdiSubWindowTitleBar");
    QFont own = window ? window->font() : QApplication::font();
    title.setBold(true);
    own.setBold(true);
    const QFontMetrics titleMetrics(title);
    const QFontMetrics ownMetrics(own);
    const QString program = QGuiApplication::applicationDisplayName();
    int widest = 0;
    for (QString caption : captions) {
        if (!program.isEmpty() && !caption.endsWith(program))
            caption += QStringLiteral(" \u2014 ") + program;
        widest = std::max({widest, titleMetrics.horizontalAdvance(caption), ownMetrics.horizontalAdvance(caption)});
    }
    const QStyle *style = window ? window->style() : QApplication::style();
    return widest + kTitleBarButtonRoom * style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
}

void KeepCaptionWhole(QWidget *window, const QStringList &captions)
{
    if (!window)
        return;
    int width = WholeCaptionWidth(window, captions.isEmpty() ? QStringList{window->windowTitle()} : captions);
    // The frame, borders included, stays on the screen: a caption longer than that is cut by any title bar.
    constexpr int kFrameAllowance = 16;
    const int frame = window->windowHandle() ? window->frameGeometry().width() - window->width() : 0;
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (screen)
        width = std::min(width, screen->availableGeometry().width() - std::max(frame, kFrameAllowance));
    (void)window->sizeHint(); // some dialogs build their layout only when asked for their size
    QLayout *layout = window->layout();
    // A message box fixes its size from its layout when it shows, and an input
    // box's layout sets its window's minimum and maximum: both take the room
    // as a strut in the layout, any other window as its minimum width.
    const bool layoutDecides = qobject_cast<QMessageBox *>(window)
                            || (layout && (layout->sizeConstraint() == QLayout::SetMinAndMaxSize
                                           || layout->sizeConstraint() == QLayout::SetFixedSize));
    if (!layoutDecides || !layout) {
        window->setMinimumWidth(std::max(window->minimumWidth(), width));
        return;
    }
    const QMargins margins = layout->contentsMargins();
    auto *strut = new QSpacerItem(std::max(0, width - margins.left() - margins.right()), 0, QSizePolicy::Fixed,
                                  QSizePolicy::Minimum);
    if (auto *grid = qobject_cast<QGridLayout *>(layout))
        grid->addItem(strut, grid->rowCount(), 0, 1, grid->columnCount());
    else
        layout->addItem(strut);
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
