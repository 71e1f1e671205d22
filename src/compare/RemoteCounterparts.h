#pragma once

#include "CounterpartSide.h"
#include "RemoteFolderListings.h"

#include <QHash>

// An FTP second location read from the listings its walk kept: names match
// without regard to letter case, a folder only a folder and a file only a file;
// the first entry in listing order wins.
class RemoteCounterparts final : public CounterpartSide
{
public:
    explicit RemoteCounterparts(const RemoteFolderListings &listings) : m_listings(listings) {}

    QString Join(const QString &secondFolder, const QString &name) const override;
    void EnterFolder(const QString &secondFolder) override;
    bool HasFolder(const QString &name) const override;
    Counterpart File(const QString &name, qint64 firstModifiedSecs) const override;

private:
    const RemoteFolderListings &m_listings;
    const QList<FtpFileItem> *m_items = nullptr;
    QHash<QString, qsizetype> m_files;   // folded name -> first file entry
    QHash<QString, qsizetype> m_folders; // folded name -> first folder entry
};
