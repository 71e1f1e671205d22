#include "frmFileType.h"

#include "AppInfo.h"
#include "ErrorLog.h"
#include "FileHandlerOwner.h"
#include "Prompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kObjectName = QStringLiteral("frmFileType");

QLabel *Hint(const QString &text)
{
    auto *label = new QLabel(text);
    label->setWordWrap(true);
    QFont small = label->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    label->setFont(small);
    return label;
}

// Each blank-separated word with a capital first letter and the rest in lower case.
QString ProperCase(const QString &text)
{
    QString result = text.toLower();
    bool wordStart = true;
    for (QChar &c : result) {
        if (c.isSpace()) {
            wordStart = true;
        } else if (wordStart) {
            c = c.toUpper();
            wordStart = false;
        }
    }
    return result;
}

} // namespace

frmFileType::frmFileType(QWidget *parent) : QDialog(parent)
{
    setObjectName(kObjectName);
    setModal(true);
    setMinimumWidth(480);

    txtPattern = new QLineEdit(this);
    CboAction = new QComboBox(this);
    for (int action = 0; action < FileHandler::ActionCount; ++action)
        CboAction->addItem(FileHandler::ActionName(action));
    CboAction->setCurrentIndex(-1);
    txtAppPath = new QLineEdit(this);
    CmdFile = new QPushButton(QStringLiteral("..."), this);
    CmdFile->setFixedWidth(32);
    txtTitle = new QLineEdit(this);
    txtArg = new QLineEdit(this);
    Check1 = new QCheckBox(QStringLiteral("Enable Quick Edit (Integrated text editor)"), this);
    Check2 = new QCheckBox(QStringLiteral("Enable Windows default Open action"), this);
    CmdOK = new QPushButton(QStringLiteral("&Save"), this);
    CmdCnc = new QPushButton(QStringLiteral("&Cancel"), this);
    CmdOK->setEnabled(false);
    CmdOK->setDefault(true);

    auto *grid = new QGridLayout;
    int row = 0;
    auto addField = [&](const QString &caption, QWidget *field, const QString &hint, QWidget *extra = nullptr) {
        auto *label = new QLabel(caption);
        label->setBuddy(field);
        grid->addWidget(label, row, 0);
        if (extra) {
            auto *box = new QHBoxLayout;
            box->addWidget(field, 1);
            box->addWidget(extra);
            grid->addLayout(box, row, 1);
        } else {
            grid->addWidget(field, row, 1);
        }
        ++row;
        if (!hint.isEmpty())
            grid->addWidget(Hint(hint), row++, 1);
    };
    addField(QStringLiteral("File Extension (s)"), txtPattern,
             QStringLiteral("( Separate multiple extension with [ ; ]  )"));
    addField(QStringLiteral("Allowed Actions"), CboAction,
             QStringLiteral("( Depending upon this choice dynamic menu command will be made available. )"));
    addField(QStringLiteral("&Application File"), txtAppPath, {}, CmdFile);
    addField(QStringLiteral("&Application Title"), txtTitle,
             QStringLiteral("(Unique application title to appear in menu. )"));
    addField(QStringLiteral("&Application flags"), txtArg,
             QStringLiteral("(Optionally you can provide additional flags required for this application to work "
                            "correctly. )"));
    grid->addWidget(Check1, row++, 0, 1, 2);
    grid->addWidget(Hint(QStringLiteral(
                        "( Enable this option for ASCII files for fail proof editing and instant upload. Upon save "
                        "the file will be uploaded automatically. Please select this option only for text file "
                        "like *.txt, *.html, *.xml etc )")),
                    row++, 0, 1, 2);
    grid->addWidget(Check2, row++, 0, 1, 2);
    grid->addWidget(Hint(QStringLiteral(
                        "( Enable this option for common file types except the executable ones. Some predefined "
                        "file types like *.exe, *.msi; *bat are not allowed) ")),
                    row++, 0, 1, 2);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CmdOK);
    buttons->addWidget(CmdCnc);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(txtPattern, &QLineEdit::textChanged, this, &frmFileType::UpdateSaveButton);
    connect(txtTitle, &QLineEdit::textChanged, this, &frmFileType::UpdateSaveButton);
    // The application path takes part in the rule, so typing it counts as a change too.
    connect(txtAppPath, &QLineEdit::textChanged, this, &frmFileType::UpdateSaveButton);
    connect(CboAction, &QComboBox::currentIndexChanged, this, &frmFileType::UpdateSaveButton);
    connect(Check1, &QCheckBox::toggled, this, &frmFileType::UpdateSaveButton);
    connect(CmdFile, &QPushButton::clicked, this, &frmFileType::CmdFile_Click);
    connect(CmdOK, &QPushButton::clicked, this, &frmFileType::CmdOK_Click);
    connect(CmdCnc, &QPushButton::clicked, this, &frmFileType::CmdCnc_Click);
}

void frmFileType::PrepareNew(FileHandlerOwner *owner)
{
    m_owner = owner;
    m_sourceHandler.reset();
    m_isNew = true;
    setWindowTitle(QStringLiteral("New File Type / Action"));
    UpdateSaveButton();
}

void frmFileType::PrepareEdit(FileHandlerOwner *owner, const FileHandler &handler)
{
    m_owner = owner;
    m_sourceHandler = handler;
    m_isNew = false;
    setWindowTitle(QStringLiteral("Edit File Type / Action"));
    txtPattern->setText(handler.FilePatterns());
    txtAppPath->setText(handler.ApplicationPath());
    txtArg->setText(handler.ApplicationFlags());
    txtTitle->setText(handler.ApplicationTitle());
    Check1->setChecked(handler.InternalEditorEnabled() == 1);
    Check2->setChecked(handler.SystemOpenEnabled() == 1);
    const int action = handler.Action();
    CboAction->setCurrentIndex(action >= 0 && action < FileHandler::ActionCount ? action : -1);
    UpdateSaveButton();
}

void frmFileType::ShowNew(FileHandlerOwner *owner)
{
    PrepareNew(owner);
    exec();
}

void frmFileType::ShowEdit(FileHandlerOwner *owner, const FileHandler &handler)
{
    PrepareEdit(owner, handler);
    exec();
}

void frmFileType::UpdateSaveButton()
{
    const bool withApplication = !txtTitle->text().isEmpty() && !txtAppPath->text().isEmpty();
    CmdOK->setEnabled(!txtPattern->text().isEmpty() && CboAction->currentIndex() >= 0
                      && (withApplication || Check1->isChecked()));
}

void frmFileType::CmdFile_Click()
{
    try {
        FileRequest request;
        request.kind = FileRequest::Kind::OpenFile;
        request.title = QStringLiteral("Select Application");
        request.filter = QStringLiteral("Applications (*)");
        const auto chosen = Prompts::current().chooseFile(this, request);
        if (!chosen || chosen->isEmpty())
            return;
        txtAppPath->setText(*chosen);
        if (txtTitle->text().isEmpty()) {
            QString name = QFileInfo(*chosen).fileName();
            const qsizetype exe = name.indexOf(QStringLiteral(".exe"), 0, Qt::CaseInsensitive);
            if (exe >= 0)
                name.remove(exe, 4);
            txtTitle->setText(ProperCase(name));
        }
        UpdateSaveButton();
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("CmdFile_Click"));
    }
}

bool frmFileType::PassesDuplicateChecks(const FileHandler &candidate)
{
    if (!m_owner)
        return true;
    const bool testKey = m_isNew || !m_sourceHandler || candidate.UniqueID() != m_sourceHandler->UniqueID();
    if (testKey && m_owner->FileHandlerExist(candidate.UniqueID())) {
        ShowMessage(this, PromptIcon::Exclamation, PromptButtons::Ok, QStringLiteral("File Handler Already Exists"),
                    QStringLiteral("This file handler already exists! \n\n"
                                   "This criteria is based on file pattern and application path."));
        return false;
    }
    const bool testTitle =
        m_isNew || !m_sourceHandler || candidate.ApplicationTitle() != m_sourceHandler->ApplicationTitle();
    if (testTitle && m_owner->AppTitleExist(candidate.ApplicationTitle())) {
        ShowMessage(this, PromptIcon::Exclamation, PromptButtons::Ok,
                    QStringLiteral("Application Title is not unique"),
                    QStringLiteral("This Application Title is already in use! \n\nApplication Titles must be unique."));
        return false;
    }
    return true;
}

void frmFileType::CmdOK_Click()
{
    try {
        if (txtTitle->text().toUpper().remove(QLatin1Char('.')) == QLatin1String("QUICK EDIT")) {
            ShowMessage(this, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(),
                        QStringLiteral("'Quick Edit' is predefined system title ! Please select some other title."));
            return;
        }
        FileHandler candidate;
        candidate.SetFilePatterns(txtPattern->text());
        candidate.SetApplicationPath(txtAppPath->text());
        candidate.SetApplicationFlags(txtArg->text());
        candidate.SetApplicationTitle(txtTitle->text());
        candidate.SetInternalEditorEnabled(Check1->isChecked() ? 1 : 0);
        candidate.SetSystemOpenEnabled(Check2->isChecked() ? 1 : 0);
        candidate.SetAction(static_cast<qint16>(CboAction->currentIndex()));
        if (!PassesDuplicateChecks(candidate))
            return;
        m_resultHandler = candidate;
        m_saveTag = QStringLiteral("*");
        accept();
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("CmdOK_Click"));
    }
}

void frmFileType::CmdCnc_Click()
{
    m_saveTag.clear();
    reject();
}
