#include "ModExtIcon.h"

#include "ErrorLog.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeDatabase>

bool InitCommonControls() { return true; }

QIcon GetFileIcon(const QString &path)
{
    try {
        const QFileInfo info(path);
        QIcon icon = QFileIconProvider().icon(info);
        if (!icon.isNull())
            return icon;
        const QMimeType type = QMimeDatabase().mimeTypeForFile(info);
        return QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    } catch (...) {
        LogCurrentException(QStringLiteral("ModExtIcon"), QStringLiteral("GetFileIcon"));
        return {};
    }
}
