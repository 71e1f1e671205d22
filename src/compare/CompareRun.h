#pragma once

#include "CompareRules.h"
#include "FileListModel.h"
#include "WildcardPattern.h"

#include <QStringList>

#include <array>
#include <functional>
#include <utility>
#include <vector>

// Where a comparison's rows go: the window's list, or a counter in a benchmark.
class CompareRowSink
{
public:
    virtual ~CompareRowSink() = default;
    virtual int RowCount() const = 0;
    virtual void AddRow(FileListRow row) = 0;
};

// Collects rows and hands them on in batches, so a list is told once per batch.
class BufferedRowSink : public CompareRowSink
{
public:
    using Flush = std::function<void(std::vector<FileListRow> rows)>;
    BufferedRowSink(Flush flush, std::function<int()> committedRows)
        : m_flush(std::move(flush)), m_committed(std::move(committedRows))
    {
    }
    int RowCount() const override { return m_committed() + static_cast<int>(m_rows.size()); }
    void AddRow(FileListRow row) override { m_rows.push_back(std::move(row)); }
    void FlushRows()
    {
        if (!m_rows.empty())
            m_flush(std::exchange(m_rows, {}));
    }

private:
    Flush m_flush;
    std::function<int()> m_committed;
    std::vector<FileListRow> m_rows;
};

// The state one comparison shares between its walks: the filter, the stop
// request, the counters and the row sink.
class CompareRun
{
public:
    // The file-name patterns; a file passes when it matches one of them.
    void SetNamePatterns(const QStringList &patterns) { m_patterns = WildcardPatternList(patterns); }
    bool OnlyConflict = false; // "List only altered or missing files"
    bool StopCompare = false;
    CompareRules::Counters Counts;
    CompareRules::TimeTexts Times;
    CompareRowSink *Sink = nullptr;
    // Local folders of side 0 and side 1 that are there but could not be read, in walk order.
    std::array<QStringList, 2> UnreadLocalFolders;
    // Whether the main window's file-type pictures hold a key.
    std::function<bool(const QString &key)> HasPicture;

    bool PassesPattern(const QString &name) const { return m_patterns.Matches(name); }
    QString IconKey(const QString &name) const { return CompareRules::FileIconKey(name, HasPicture); }
    int RowCount() const { return Sink ? Sink->RowCount() : 0; }
    // Appends a row keyed "D" (folder) or "F" (file) and its 1-based position.
    void Append(FileListRow row)
    {
        if (!Sink)
            return;
        row.Key = (row.IsFolder ? QStringLiteral("D") : QStringLiteral("F")) + QString::number(Sink->RowCount() + 1);
        Sink->AddRow(std::move(row));
    }

private:
    WildcardPatternList m_patterns{QStringList{QStringLiteral("*")}};
};
