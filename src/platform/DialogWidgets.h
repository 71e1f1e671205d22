#pragma once

class QLineEdit;
class QPushButton;
class QString;
class QWidget;

// A named dialog button that Enter does not press unless the dialog makes it
// the default.
QPushButton *MakeDialogButton(const QString &name, const QString &caption, QWidget *parent);

// A named line edit; maxLength 0 or less keeps the unlimited length.
QLineEdit *MakeLineEdit(const QString &name, int maxLength, QWidget *parent);
