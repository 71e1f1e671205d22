#include "FrmEdit.h"

#include "AppInfo.h"
#include "EditOwner.h"
#include "ErrorLog.h"
#include "ModMinMax.h"
#include "Paths.h"
#include "Prompts.h"
#include "ProgramIcon.h"
#include "StoredFile.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

const QString kObjectName = QStringLiteral("FrmEdit");
constexpr int kTwipsPerPixel = 15;

QFont DesignFont()
{
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::Monospace);
    return font;
}

} // namespace

FrmEdit::FrmEdit(QWidget *parent) : QDialog(parent)
{
    setObjectName(kObjectName);
    setWindowTitle(QStringLiteral("Ftp Editor"));
    setWindowIcon(ProgramIcon());
    setSizeGripEnabled(true);

    Text1 = new QPlainTextEdit(this);
    Text1->setFont(DesignFont());
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    OKButton = new QPushButton(QStringLiteral("&Upload"), this);
    CancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
    OKButton->setEnabled(false);
    OKButton->setAutoDefault(false);
    CancelButton->setAutoDefault(false);
    lblWarn = new QLabel(this);
    lblWarn->setTextFormat(Qt::PlainText); // a name from the server, never markup
    lblWarn->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Image1 = new QLabel(this);
    Line1 = new QFrame(this);
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Image1);
    buttons->addWidget(lblWarn, 1);
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 6);
    layout->addWidget(Text1, 1);
    layout->addWidget(Line1);
    layout->addLayout(buttons);

    connect(Text1, &QPlainTextEdit::textChanged, this, &FrmEdit::Text1_Change);
    connect(OKButton, &QPushButton::clicked, this, &FrmEdit::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &FrmEdit::CancelButton_Click);

    // At least 500 x 500 pixels, at most the work area the main window keeps.
    const ModMinMax::WorkAreaRect area = ModMinMax::Program().WorkArea();
    ModMinMax::Program().HookMinMax(this, 500, 500, (area.right - area.left) / kTwipsPerPixel,
                                    (area.bottom - area.top) / kTwipsPerPixel);
    m_hooked = true;
}

FrmEdit::~FrmEdit()
{
    if (m_hooked)
        ModMinMax::Program().UnhookMinMax(this);
}

void FrmEdit::ShowEdit(EditOwner *owner, qint16 serverSlot, const QString &profileName,
                       const QString &localFilePath, const QString &remoteFilePath, const QString &editTaskId,
                       const QFont &font)
{
    try {
        setAttribute(Qt::WA_DeleteOnClose);
        if (!PrepareEdit(owner, serverSlot, profileName, localFilePath, remoteFilePath, editTaskId, font)) {
            ShowMessage(this, PromptIcon::Critical, PromptButtons::Ok, AppTitle(),
                        QStringLiteral("The file '%1' could not be read.").arg(localFilePath));
        }
        show();
        raise();
        activateWindow();
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("ShowEdit"));
    }
}

bool FrmEdit::PrepareEdit(EditOwner *owner, qint16 serverSlot, const QString &profileName,
                          const QString &localFilePath, const QString &remoteFilePath, const QString &editTaskId,
                          const QFont &font)
{
    m_owner = owner;
    m_serverSlot = serverSlot;
    m_profileName = profileName;
    m_localFilePath = localFilePath;
    m_remoteFilePath = remoteFilePath;
    m_editTaskId = editTaskId;
    lblWarn->setText(remoteFilePath);
    if (owner)
        Image1->setPixmap(owner->EditorPicture().pixmap(16, 16));
    m_windowCaption = localFilePath.isEmpty()
                          ? QStringLiteral("Ftp Editor")
                          : QStringLiteral("Quick Edit - ") + QFileInfo(localFilePath).fileName();

    bool readable = true;
    QByteArray bytes;
    if (!localFilePath.isEmpty()) {
        const std::optional<QByteArray> read = StoredFile::ReadAll(localFilePath);
        readable = read.has_value();
        if (read)
            bytes = *read;
    }
    m_loaded = EditedText::FromBytes(bytes);
    m_loading = true;
    Text1->setPlainText(m_loaded.Text());
    m_loading = false;

    m_modified = false;
    m_saved = true;
    setWindowTitle(m_windowCaption);
    OKButton->setEnabled(false);
    if (!font.family().isEmpty() && font.pointSizeF() > 0)
        Text1->setFont(font);
    return readable;
}

QString FrmEdit::CurrentText() const
{
    QString text = Text1->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}

void FrmEdit::Text1_Change()
{
    if (m_loading)
        return;
    m_modified = true;
    m_saved = false;
    // Nothing to upload to without a copy and someone to take it.
    OKButton->setEnabled(m_owner && !m_localFilePath.isEmpty());
    setWindowTitle(m_windowCaption + QStringLiteral("*"));
}

void FrmEdit::OKButton_Click()
{
    try {
        if (!m_owner || m_localFilePath.isEmpty())
            return;
        if (!m_saved) {
            QStringList unencodable;
            const std::optional<QByteArray> bytes = m_loaded.ToBytes(CurrentText(), &unencodable);
            if (!bytes) {
                // Writing "?" instead would change the file behind the user's back.
                ShowMessage(this, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(),
                            QStringLiteral("The file's character set cannot hold these characters: %1\r\n\r\n"
                                           "Nothing was saved or uploaded.")
                                .arg(unencodable.join(u' ')));
                return;
            }
            QString error;
            // A link standing in the copy's place is replaced, never written through.
            if (!RemoveLinkAt(m_localFilePath))
                throw RuntimeError(ErrorNumber::PathFileAccess,
                                   QStringLiteral("The link in place of '%1' could not be removed.").arg(m_localFilePath));
            if (!StoredFile::WriteAtomically(m_localFilePath, *bytes, StoredFile::Privacy::Normal, &error))
                throw RuntimeError(ErrorNumber::PathFileAccess, error);
            m_saved = true;
        }
        if (!m_owner->RequestUpload(m_serverSlot, m_profileName, m_localFilePath, m_remoteFilePath, m_editTaskId)) {
            ShowMessage(this, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Sorry ! "),
                        QStringLiteral("Ooops!!! Some error has occurred ! Please upload the file manually from "
                                       "application's 'Tmp' folder !"));
            return;
        }
        m_modified = false;
        if (m_owner->UploadUnderway(m_editTaskId)) {
            // Closing meanwhile asks nothing: the send goes on without the window.
            m_uploading = true;
            OKButton->setEnabled(false);
            Text1->setReadOnly(true);
            setWindowTitle(m_windowCaption);
            return;
        }
        CloseByProgram();
    } catch (const RuntimeError &error) {
        ShowMessage(this, PromptIcon::None, PromptButtons::Ok, AppTitle(), error.description());
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("OKButton_Click"));
    }
}

void FrmEdit::UploadEnded(bool success)
{
    if (!m_uploading)
        return;
    m_uploading = false;
    Text1->setReadOnly(false);
    if (success) {
        CloseByProgram();
        return;
    }
    // The text is in the copy already: Upload only hands it over again.
    m_modified = true;
    OKButton->setEnabled(true);
    setWindowTitle(m_windowCaption + QStringLiteral("*"));
}

void FrmEdit::CancelButton_Click()
{
    try {
        if (!AskToClose())
            return;
        CloseByProgram();
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("CancelButton_Click"));
    }
}

bool FrmEdit::AskToClose()
{
    return !m_modified || ConfirmCloseWithoutUpload();
}

bool FrmEdit::ConfirmCloseWithoutUpload()
{
    return AskBeforeDestroying(this, QStringLiteral("Confirm!"),
                               QStringLiteral("You have not uploaded recent changes!\r\n\r\nClose without uploading ?"))
           == PromptButton::Yes;
}

void FrmEdit::CloseByProgram()
{
    m_closingByProgram = true;
    close();
    m_closingByProgram = false;
}

void FrmEdit::reject()
{
    close();
}

void FrmEdit::closeEvent(QCloseEvent *event)
{
    try {
        if (!m_closingByProgram && !AskToClose()) {
            event->ignore();
            return;
        }
        if (m_hooked) {
            ModMinMax::Program().UnhookMinMax(this);
            m_hooked = false;
        }
        if (m_owner)
            m_owner->DiscardEditFile(m_editTaskId);
        m_owner = nullptr; // one closing, one discard
        setResult(QDialog::Rejected);
        event->accept();
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("closeEvent"));
        event->accept();
    }
}
