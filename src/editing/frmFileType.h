#pragma once

#include "FileHandler.h"

#include <QDialog>

#include <optional>

class FileHandlerOwner;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The modal dialog that creates or edits one file-type handler. The caller
// makes a fresh instance per use, shows it with ShowNew or ShowEdit, then
// reads SaveTag() ("*" after Save) and takes GetHandler().
class frmFileType : public QDialog
{
    Q_OBJECT

public:
    explicit frmFileType(QWidget *parent = nullptr);

    FileHandler GetHandler() const { return m_resultHandler; }
    // Shown modally; the owner checks the new handler for duplicates.
    void ShowNew(FileHandlerOwner *owner);
    // Shown modally, filled from `handler`; the handler itself is not changed.
    void ShowEdit(FileHandlerOwner *owner, const FileHandler &handler);

    // The answer: "*" after Save, empty after Cancel or closing.
    QString SaveTag() const { return m_saveTag; }

    // Prepares the dialog without showing it (ShowNew / ShowEdit do this and
    // then run it modally).
    void PrepareNew(FileHandlerOwner *owner);
    void PrepareEdit(FileHandlerOwner *owner, const FileHandler &handler);

    QLineEdit *txtPattern = nullptr;
    QComboBox *CboAction = nullptr;
    QLineEdit *txtAppPath = nullptr;
    QPushButton *CmdFile = nullptr;
    QLineEdit *txtTitle = nullptr;
    QLineEdit *txtArg = nullptr;
    QCheckBox *Check1 = nullptr;
    QCheckBox *Check2 = nullptr;
    QPushButton *CmdOK = nullptr;
    QPushButton *CmdCnc = nullptr;

private:
    void UpdateSaveButton();
    void CmdFile_Click();
    void CmdOK_Click();
    void CmdCnc_Click();
    // True when the owner's checks let `candidate` through; otherwise tells why.
    bool PassesDuplicateChecks(const FileHandler &candidate);

    FileHandlerOwner *m_owner = nullptr;
    std::optional<FileHandler> m_sourceHandler;
    bool m_isNew = true;
    FileHandler m_resultHandler;
    QString m_saveTag;
};
