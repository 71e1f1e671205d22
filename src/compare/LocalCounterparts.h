#pragma once

#include "CounterpartSide.h"
#include "LocalFolderReader.h"

#include <QHash>

// A local second location: names match exactly, times at whole seconds.
class LocalCounterparts final : public CounterpartSide
{
public:
    QString Join(const QString &secondFolder, const QString &name) const override;
    void EnterFolder(const QString &secondFolder) override;
    bool ReadsLocalFolders() const override { return true; }
    void EnterReadFolder(LocalFolderContents contents) override;
    bool HasFolder(const QString &name) const override;
    Counterpart File(const QString &name, qint64 firstModifiedSecs) const override;

private:
    QHash<QString, LocalEntry> m_entries;
};
