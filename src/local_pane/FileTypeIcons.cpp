#include "FileTypeIcons.h"

#include "KeyedImageList.h"

#include <QApplication>
#include <QMimeDatabase>
#include <QStyle>

QIcon IconForFileName(const QString &fileName)
{
    static QMimeDatabase mimes;
    const QMimeType type = mimes.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    return icon;
}

void EnsureNameIcon(KeyedImageList &images, const QString &key, const QString &fileName)
{
    if (key.isEmpty() || images.Contains(key))
        return;
    if (key == QLatin1String("dir"))
        images.Add(key, QApplication::style()->standardIcon(QStyle::SP_DirIcon));
    else if (key == QLatin1String("donty"))
        images.Add(key, QApplication::style()->standardIcon(QStyle::SP_FileIcon));
    else
        images.Add(key, IconForFileName(fileName));
}
