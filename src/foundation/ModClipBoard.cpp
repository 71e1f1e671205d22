#include "ModClipBoard.h"

#include "ErrorLog.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

QString GetClipboardFileList()
{
    try {
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        if (!data || !data->hasUrls())
            return {};
        QString list;
        for (const QUrl &url : data->urls())
            if (url.isLocalFile() && !url.toLocalFile().isEmpty())
                list += url.toLocalFile() + QStringLiteral("\r\n");
        return list.isEmpty() ? list : list + QStringLiteral("\r\n");
    } catch (...) {
        LogCurrentException(QStringLiteral("ModClipBoard"), QStringLiteral("GetClipboardFileList"));
        return {};
    }
}

void PutFilesOnClipboard(const QStringList &paths)
{
    QList<QUrl> urls;
    QByteArray desktopList = "copy";
    for (const QString &path : paths) {
        const QUrl url = QUrl::fromLocalFile(path);
        urls << url;
        desktopList += '\n' + url.toEncoded();
    }
    auto *data = new QMimeData;
    data->setUrls(urls);
    data->setData(QStringLiteral("x-special/gnome-copied-files"), desktopList);
    QGuiApplication::clipboard()->setMimeData(data);
}
