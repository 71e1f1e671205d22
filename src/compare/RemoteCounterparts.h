#pragma once

#include "CompareRules.h"
#include "CounterpartSide.h"
#include "RemoteFolderListings.h"

#include <QHash>

// An FTP second location read from the listings its walk kept: names match
// without regard to letter case, a folder only a folder and a file only a file;
// the first entry in listing order wins. A folder the walk entered is there,
// listed by its parent or not.
class RemoteCounterparts final : public CounterpartSide
{
public:
    RemoteCounterparts(const RemoteFolderListings &listings, CompareRules::TimeTexts &times)
        : m_listings(listings), m_times(times)
    {
    }

    QString Join(const QString &secondFolder, const QString &name) const override;
    bool IsKnown(const QString &secondFolder) const override { return !m_listings.IsUnknown(secondFolder); }
    void EnterFolder(const QString &secondFolder) override;
    bool HasFolder(const QString &name) const override;
    Counterpart File(const QString &name, qint64 firstModifiedSecs) const override;
    // The entered folder's file of that name, or none.
    const FtpFileItem *FileItem(const QString &name) const;

private:
    const RemoteFolderListings &m_listings;
    CompareRules::TimeTexts &m_times;
    QString m_folder; // the second folder entered
    const QList<FtpFileItem> *m_items = nullptr;
    QHash<QString, qsizetype> m_files;   // folded name -> first file entry
    QHash<QString, qsizetype> m_folders; // folded name -> first folder entry
};
