#pragma once

#include "CompareRun.h"
#include "FileListModel.h"

#include <QString>

#include <vector>

// Keeps a comparison's rows in memory.
class VectorSink : public CompareRowSink
{
public:
    int RowCount() const override { return static_cast<int>(rows.size()); }
    void AddRow(FileListRow row) override { rows.push_back(std::move(row)); }

    const FileListRow *Find(const QString &name) const
    {
        for (const FileListRow &row : rows) {
            if (row.Text == name)
                return &row;
        }
        return nullptr;
    }
    static QString Remarks(const FileListRow &row) { return row.SubItems.value(3); }

    std::vector<FileListRow> rows;
};
