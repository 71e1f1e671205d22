#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>

class QWidget;
struct UserCommand;

// One item selected in a remote pane.
struct RemoteItem {
    QString name;
    bool isFolder = false;
    QString attributes; // listing text such as "drwxr-xr-x"
};

// What a user command may draw on from the server slot it runs on.
struct UserCommandContext {
    QList<RemoteItem> selection; // the first item fills the name placeholders
    QString currentFolder;
    QString user;     // the slot's site profile
    QString password;
};

// A user command ready for the engine.
struct PreparedUserCommand {
    QString commandLine;
    QString replyMap;
    QString statusText;
    bool reload = false;
};

// Turns a user command into the command line and reply map sent to a server:
// fills its placeholders, asking the user where a placeholder needs an answer.
// Placeholders are replaced in one left-to-right pass, so a filled-in value
// (a file name holding "$pwd", say) is never read as a placeholder itself.
class UserCommandBuilder
{
public:
    // Asks for a permission preset from an item's attributes; answers three
    // octal digits held in an integer, or 65535 when cancelled.
    using PermissionAsker = std::function<int(QWidget *owner, const QString &attributes, const QString &name)>;

    explicit UserCommandBuilder(QWidget *owner, PermissionAsker askPermission = {});

    // Nothing when the command may not be sent: a needed selection is missing,
    // a prompt was cancelled or refused (the user has been told where needed).
    std::optional<PreparedUserCommand> build(const UserCommand &command, const UserCommandContext &context) const;

    // Success code [I] failure code [I] XXX [I].
    static QString replyMap(const UserCommand &command);

private:
    QWidget *m_owner;
    PermissionAsker m_askPermission;
};
