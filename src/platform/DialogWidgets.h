#pragma once

#include <QStringList>

class QLineEdit;
class QPushButton;
class QString;
class QWidget;

// Text for a label that may hold a server's name or path: long runs without
// a space get invisible break points, so the label can wrap anywhere.
QString BreakableText(const QString &text);

// Keeps a dialog within the width of its screen: its labels wrap and it is
// never wider than the screen's available width, whatever names it shows.
void FitToScreen(QWidget *dialog);

// The width a window's title bar needs to show the longest of `captions`
// whole: with the program's name after it, as the platform adds it, in the
// title font (drawn bold by many window managers), beside the bar's icon and
// buttons.
int WholeCaptionWidth(const QWidget *window, const QStringList &captions);

// Makes a window at least WholeCaptionWidth wide for `captions` (its own
// title when none are given), but never wider than its screen. Call it once
// the title is set.
void KeepCaptionWhole(QWidget *window, const QStringList &captions = {});

// A named dialog button that Enter does not press unless the dialog makes it
// the default.
QPushButton *MakeDialogButton(const QString &name, const QString &caption, QWidget *parent);

// A named line edit; maxLength 0 or less keeps the unlimited length.
QLineEdit *MakeLineEdit(const QString &name, int maxLength, QWidget *parent);
