#include "QtPrompts.h"

#include "DialogWidgets.h"
#include "FontChooser.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace {

QMessageBox::Icon toQt(PromptIcon icon)
{
    switch (icon) {
    case PromptIcon::Information: return QMessageBox::Information;
    case PromptIcon::Exclamation: return QMessageBox::Warning;
    case PromptIcon::Critical: return QMessageBox::Critical;
    case PromptIcon::Question: return QMessageBox::Question;
    case PromptIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons toQt(PromptButtons buttons)
{
    switch (buttons) {
    case PromptButtons::Ok: return QMessageBox::Ok;
    case PromptButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case PromptButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case PromptButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case PromptButtons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    case PromptButtons::AbortRetryIgnore: return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButton toQt(PromptButton button)
{
    switch (button) {
    case PromptButton::Ok: return QMessageBox::Ok;
    case PromptButton::Cancel: return QMessageBox::Cancel;
    case PromptButton::Yes: return QMessageBox::Yes;
    case PromptButton::No: return QMessageBox::No;
    case PromptButton::Abort: return QMessageBox::Abort;
    case PromptButton::Retry: return QMessageBox::Retry;
    case PromptButton::Ignore: return QMessageBox::Ignore;
    }
    return QMessageBox::NoButton;
}

PromptButton fromQt(int button)
{
    switch (button) {
    case QMessageBox::Ok: return PromptButton::Ok;
    case QMessageBox::Yes: return PromptButton::Yes;
    case QMessageBox::No: return PromptButton::No;
    case QMessageBox::Abort: return PromptButton::Abort;
    case QMessageBox::Retry: return PromptButton::Retry;
    case QMessageBox::Ignore: return PromptButton::Ignore;
    default: return PromptButton::Cancel;
    }
}

} // namespace

PromptButton QtPrompts::message(QWidget *parent, const MessageRequest &request)
{
    QMessageBox box(toQt(request.icon), request.title, BreakableText(request.text), toQt(request.buttons), parent);
    box.setTextFormat(Qt::PlainText);
    if (request.defaultButton)
        box.setDefaultButton(toQt(*request.defaultButton));
    FitToScreen(&box);
    KeepCaptionWhole(&box);
    return fromQt(box.exec());
}

std::optional<QString> QtPrompts::input(QWidget *parent, const InputRequest &request)
{
    QInputDialog dialog(parent);
    dialog.setWindowTitle(request.title);
    dialog.setLabelText(request.label);
    dialog.setTextEchoMode(request.password ? QLineEdit::Password : QLineEdit::Normal);
    dialog.setTextValue(request.defaultText);
    FitToScreen(&dialog); // a long name scrolls in its field and wraps in the label
    KeepCaptionWhole(&dialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

std::optional<QString> QtPrompts::chooseFile(QWidget *parent, const FileRequest &request)
{
    QString path;
    switch (request.kind) {
    case FileRequest::Kind::OpenFile:
        path = QFileDialog::getOpenFileName(parent, request.title, request.startPath, request.filter);
        break;
    case FileRequest::Kind::SaveFile:
        path = QFileDialog::getSaveFileName(parent, request.title, request.startPath, request.filter);
        break;
    case FileRequest::Kind::Folder:
        path = QFileDialog::getExistingDirectory(parent, request.title, request.startPath);
        break;
    }
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QStringList> QtPrompts::chooseFiles(QWidget *parent, const FileRequest &request)
{
    const QStringList paths = QFileDialog::getOpenFileNames(parent, request.title, request.startPath, request.filter);
    if (paths.isEmpty())
        return std::nullopt;
    return paths;
}

std::optional<QFont> QtPrompts::chooseFont(QWidget *parent, const QFont &initial, const QString &title,
                                           const QList<int> &sizes)
{
    FontChooser dialog(initial, sizes, parent);
    dialog.setWindowTitle(title);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosenFont();
}
