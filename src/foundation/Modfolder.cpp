#include "Modfolder.h"

#include "ErrorLog.h"
#include "Prompts.h"

QString GetFolder(QWidget *owner, const QString &startFolder, const QString &title, bool, bool)
{
    try {
        FileRequest request;
        request.kind = FileRequest::Kind::Folder;
        request.title = title;
        request.startPath = startFolder;
        return Prompts::current().chooseFile(owner, request).value_or(QString());
    } catch (...) {
        LogCurrentException(QStringLiteral("Modfolder"), QStringLiteral("GetFolder"));
        return {};
    }
}
