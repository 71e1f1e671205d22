#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;

// Chooses the permission bits of a remote item: nine boxes (read, write,
// execute for owner, group and others) kept in step with a three-digit octal
// text that takes octal digits only.
class PermissionDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PermissionDialog(QWidget *parent = nullptr);

    // Names the item the permissions are for.
    void setItemName(const QString &name);

    // Presets the boxes from a listing's attribute text such as "drwxr-xr-x".
    void setAttributes(const QString &attributes);
    // The chosen bits as three octal digits held in an integer (rwxr-xr-x is 755).
    int permission() const;

    QCheckBox *box(int who, int what) const { return m_boxes[who][what]; } // who: 0 owner..2 others; what: 0 r, 1 w, 2 x
    QLabel *lblItem = nullptr;
    QLineEdit *txtOctal = nullptr;
    QDialogButtonBox *buttons = nullptr;

private:
    void boxesChanged();
    void octalEdited(const QString &text);
    int bits() const;
    void showBits(int value);

    QCheckBox *m_boxes[3][3] = {};
    bool m_syncing = false;
};

// The permission dialog's entry: the chosen permission as a three-digit octal
// value held in an integer, or 65535 when the user cancelled.
int GetNewPermisssion(QWidget *owner, const QString &attributes, const QString &name = QString());

// Cancelled answer of GetNewPermisssion.
constexpr int kPermissionCancelled = 65535;
