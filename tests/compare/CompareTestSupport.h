#pragma once

#include "CompareRun.h"
#include "FileListModel.h"

#include <QFile>
#include <QString>

#include <linux/capability.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

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

// Takes every right on a folder away while it lives, so that reading it fails
// with "Permission denied". Root passes over a folder's rights: a test running
// as root also gives up that power (the effective capabilities that override
// or bypass read and search rights) for as long, in the calling thread and the
// threads it starts. Root stays the folder's owner and gives the rights back.
class UnreadableFolder
{
public:
    explicit UnreadableFolder(const QString &path) : m_path(QFile::encodeName(path))
    {
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        m_header.pid = 0;
        if (::syscall(SYS_capget, &m_header, m_saved) == 0) {
            __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
            lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
            m_lowered = ::syscall(SYS_capset, &m_header, lowered) == 0;
        }
        ::chmod(m_path.constData(), 0);
    }
    ~UnreadableFolder()
    {
        ::chmod(m_path.constData(), 0700);
        if (m_lowered)
            ::syscall(SYS_capset, &m_header, m_saved);
    }
    UnreadableFolder(const UnreadableFolder &) = delete;
    UnreadableFolder &operator=(const UnreadableFolder &) = delete;

    // Whether the folder really cannot be opened now.
    bool Holds() const
    {
        const int fd = ::open(m_path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return true;
        ::close(fd);
        return false;
    }

private:
    QByteArray m_path;
    __user_cap_header_struct m_header{};
    __user_cap_data_struct m_saved[2]{};
    bool m_lowered = false;
};
