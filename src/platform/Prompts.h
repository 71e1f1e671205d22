#pragma once

#include <QFont>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

enum class PromptIcon { None, Information, Exclamation, Critical, Question };
enum class PromptButton { Ok, Cancel, Yes, No, Abort, Retry, Ignore };
enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };

struct MessageRequest {
    PromptIcon icon = PromptIcon::None;
    PromptButtons buttons = PromptButtons::Ok;
    QString title;
    QString text;
    // The button Return answers; none: the dialog's own choice (the first one).
    std::optional<PromptButton> defaultButton;
};

struct InputRequest {
    QString title;
    QString label;
    QString defaultText;
    bool password = false;
};

struct FileRequest {
    enum class Kind { OpenFile, SaveFile, Folder };
    Kind kind = Kind::OpenFile;
    QString title;
    QString startPath;
    QString filter; // Qt filter text, e.g. "Log files (*.log);;All files (*)"
};

// Every message box, input box and file, folder or font chooser of the program
// goes through this interface: the program shows Qt dialogs, tests answer from
// a script and fail on a prompt they did not expect.
class Prompts
{
public:
    virtual ~Prompts() = default;

    virtual PromptButton message(QWidget *parent, const MessageRequest &request) = 0;
    // Nothing when the user cancelled.
    virtual std::optional<QString> input(QWidget *parent, const InputRequest &request) = 0;
    virtual std::optional<QString> chooseFile(QWidget *parent, const FileRequest &request) = 0;
    // Offers only the point sizes given.
    virtual std::optional<QFont> chooseFont(QWidget *parent, const QFont &initial, const QString &title,
                                            const QList<int> &sizes) = 0;
    // Several existing files at once. Unless overridden, asks chooseFile and
    // reads its answer as one path per line (how a script names several).
    virtual std::optional<QStringList> chooseFiles(QWidget *parent, const FileRequest &request);

    // The program-wide answerer: the Qt dialogs unless a test installed its own.
    static Prompts &current();
    // Installs an answerer (nullptr restores the Qt dialogs); returns the previous one.
    static Prompts *install(Prompts *prompts);
};

// Shorthands for the common cases.
PromptButton ShowMessage(QWidget *parent, PromptIcon icon, PromptButtons buttons,
                         const QString &title, const QString &text);
// A question whose Yes destroys data: Return answers No.
PromptButton AskBeforeDestroying(QWidget *parent, const QString &title, const QString &text,
                                 PromptButtons buttons = PromptButtons::YesNo);
std::optional<QString> AskText(QWidget *parent, const QString &title, const QString &label,
                               const QString &defaultText = {});
