#include "ModFTPTrelm.h"

#include "AppInfo.h"
#include "ErrorLog.h"
#include "Prompts.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kModule = QStringLiteral("ModFTPTrelm");
constexpr qint64 kLowFreeSpaceBytes = 50 * 1024;

} // namespace

QStringList mySplit(QString &text)
{
    try {
        QString normal = text;
        normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        normal = MyTrim(normal, u' ');
        normal = RemoveMultiChar(normal, u'\n');
        if (normal.startsWith(QLatin1Char('\n')))
            normal.remove(0, 1);
        if (normal.endsWith(QLatin1Char('\n')))
            normal.chop(1);
        text = normal;
        if (normal.isEmpty())
            return {};
        return normal.split(QLatin1Char('\n'));
    } catch (...) {
        LogCurrentException(kModule, QStringLiteral("mySplit"));
        return {};
    }
}

QString MyTrim(const QString &text, char16_t ch)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == QChar(ch))
        ++first;
    while (last > first && text[last - 1] == QChar(ch))
        --last;
    return text.mid(first, last - first);
}

void ChkCreatDir(const QString &path)
{
    QString normal = path;
    if (!normal.endsWith(QLatin1Char('/')))
        normal.append(QLatin1Char('/'));
    for (qsizetype i = normal.indexOf(QLatin1Char('/')); i >= 0; i = normal.indexOf(QLatin1Char('/'), i + 1)) {
        const QString folder = normal.left(i);
        if (folder.isEmpty())
            continue; // the root of an absolute path
        const QFileInfo info(folder);
        if (info.isDir())
            continue;
        if (info.exists() || !QDir().mkdir(folder)) {
            LogErrorToFile(kModule, QStringLiteral("ChkCreatDir - ") + normal, ErrorNumber::PathFileAccess,
                           QStringLiteral("Path/File access error"));
            return;
        }
    }
}

QString RemoveMultiChar(const QString &text, char16_t ch)
{
    QString out;
    out.reserve(text.size());
    bool lastWasChar = false;
    for (const QChar c : text) {
        if (c == QChar(ch)) {
            if (!lastWasChar)
                out.append(c);
            lastWasChar = true;
        } else {
            lastWasChar = false;
            out.append(c);
        }
    }
    return out;
}

bool isValidFileName(const QString &name, QWidget *parent)
{
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    for (const QChar c : forbidden) {
        if (name.contains(c)) {
            ShowMessage(parent, PromptIcon::Exclamation, PromptButtons::Ok, AppTitle(),
                        QStringLiteral("File names can not contain following charcters: \r\n\t") + forbidden
                            + QStringLiteral("\r\nPlease rename carefully !"));
            return false;
        }
    }
    return true;
}

QString ComposeRemotePath(const QString &head, const QString &path)
{
    if (path.startsWith(QLatin1Char('/')))
        return head + path;
    return head + QLatin1Char('/') + path;
}

QString PadText(const QString &text, quint8 width)
{
    if (text.size() >= width)
        return text;
    return QString(width - text.size(), QLatin1Char(' ')) + text;
}

QString GetListArgument(const QString &filter)
{
    const QString trimmed = filter.trimmed();
    if (trimmed.isEmpty() || trimmed == QLatin1String("*.*") || filter.contains(QLatin1Char(';')))
        return {};
    return QLatin1Char('/') + filter;
}

bool IsMultiFilter(const QString &filter, bool multiAnswer)
{
    const QString trimmed = filter.trimmed();
    if (trimmed.isEmpty() || trimmed == QLatin1String("*.*"))
        return false;
    if (filter.contains(QLatin1Char(';')))
        return multiAnswer;
    return true;
}

QString UrlEncode(const QString &text)
{
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray bytes = text.toUtf8();
    QString out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) {
            out.append(QLatin1Char(c));
        } else if (b == ' ') {
            out.append(QLatin1Char('+'));
        } else {
            out.append(QLatin1Char('%'));
            out.append(QLatin1Char(hex[b >> 4]));
            out.append(QLatin1Char(hex[b & 0x0F]));
        }
    }
    return out;
}

bool CheckDestinationFolder(const QString &folder, QWidget *parent, const StorageProbe &probe)
{
    StorageState state;
    try {
        state = probe(folder);
    } catch (...) {
        return true; // a probe failure never blocks the operation by itself
    }
    if (!state.folderExists) {
        ShowMessage(parent, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Error"),
                    QStringLiteral("The folder '") + folder + QStringLiteral("' does not exists!"));
        return false;
    }
    if (state.ready && state.freeBytes == 0) {
        ShowMessage(parent, PromptIcon::Critical, PromptButtons::Ok, QStringLiteral("Error"),
                    QStringLiteral("Selected drive has no free space left!"));
        return false;
    }
    if (state.readOnlyMedia || !state.ready) {
        return ShowMessage(parent, PromptIcon::Question, PromptButtons::YesNo, QStringLiteral("Confirm!"),
                           QStringLiteral("The destination folder may not be writable! \r\n"
                                          "Do you wish to continue anyway ?"))
            == PromptButton::Yes;
    }
    if (state.freeBytes >= 0 && state.freeBytes < kLowFreeSpaceBytes) {
        return ShowMessage(parent, PromptIcon::Question, PromptButtons::YesNo, QStringLiteral("Confirm!"),
                           QStringLiteral("The destination drive has very low free space! \r\n"
                                          "Do you wish to continue anyway ?"))
            == PromptButton::Yes;
    }
    return true;
}
