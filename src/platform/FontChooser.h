#pragma once

#include <QDialog>
#include <QFont>
#include <QList>

class QDialogButtonBox;
class QLabel;
class QListWidget;

// Chooses a font family and one of the sizes the caller allows, with a
// sample, so the user never picks a size that would not be used.
class FontChooser : public QDialog
{
    Q_OBJECT
public:
    FontChooser(const QFont &initial, const QList<int> &sizes, QWidget *parent = nullptr);

    QFont chosenFont() const;

    QListWidget *lstFamily = nullptr;
    QListWidget *lstSize = nullptr;
    QLabel *lblSample = nullptr;
    QDialogButtonBox *buttons = nullptr;

private:
    void showSample();
};
