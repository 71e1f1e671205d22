#include "ApplicationWatcher.h"

#include "ErrorLog.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <system_error>

namespace {

const QString kObjectName = QStringLiteral("FileWatcher");

// A program the user works in: letting go of it (a dropped entry, the end of
// the run) must not end it, so it is handed back to the system as running.
class WatchedProcess final : public QProcess
{
public:
    using QProcess::QProcess;
    ~WatchedProcess() override
    {
        if (state() != QProcess::NotRunning)
            setProcessState(QProcess::NotRunning);
    }
};

struct CopyState {
    bool exists = false;
    std::filesystem::file_time_type time{};
    qint64 size = -1;
};

CopyState StateOf(const QString &path)
{
    CopyState state;
    std::error_code error;
    const std::filesystem::path file(path.toStdString());
    const auto status = std::filesystem::status(file, error);
    if (error || !std::filesystem::is_regular_file(status))
        return state;
    state.time = std::filesystem::last_write_time(file, error);
    if (error)
        return state;
    const auto size = std::filesystem::file_size(file, error);
    if (error)
        return state;
    state.exists = true;
    state.size = static_cast<qint64>(size);
    return state;
}

// Owner read only, or read and write; never an execute bit. A link in the
// copy's place is left alone: its target is not the program's to change.
bool SetCopyAccess(const QString &path, bool writable)
{
    if (QFileInfo(path).isSymLink())
        return false;
    QFile::Permissions permissions = QFile::ReadOwner | QFile::ReadUser;
    if (writable)
        permissions |= QFile::WriteOwner | QFile::WriteUser;
    return QFile::setPermissions(path, permissions);
}

} // namespace

ApplicationWatcher::ApplicationWatcher(QObject *parent) : QObject(parent) {}

ApplicationWatcher::~ApplicationWatcher()
{
    DeleteAllWatch();
}

QString ApplicationWatcher::GetShortName(const QString &path)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return {};
    return path;
}

void ApplicationWatcher::SetEnabled(bool enabled)
{
    if (!enabled) {
        m_paused = true;
        return;
    }
    m_paused = false;
    WatchForProcess();
}

bool ApplicationWatcher::FileAlreadyOpen(const QString &path) const
{
    for (const WatchEntry &entry : m_entries) {
        if (!entry.Closed && entry.FilePath.compare(path, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

void ApplicationWatcher::DeleteWatch(const QString &editTaskId)
{
    for (WatchEntry &entry : m_entries) {
        if (entry.EditTaskID == editTaskId) {
            entry.Closed = true;
            entry.EditTaskID.clear();
            return;
        }
    }
}

void ApplicationWatcher::DeleteWatchByFileName(const QString &path)
{
    for (WatchEntry &entry : m_entries) {
        if (entry.FilePath == path) {
            entry.Closed = true;
            entry.FilePath.clear();
            return;
        }
    }
}

void ApplicationWatcher::RemoveClosedFiles()
{
    m_paused = true;
    std::vector<WatchEntry> open;
    for (WatchEntry &entry : m_entries) {
        if (entry.Closed)
            ReleaseProcess(entry);
        else
            open.push_back(entry);
    }
    m_entries = std::move(open);
}

void ApplicationWatcher::DeleteAllWatch()
{
    m_paused = true;
    for (WatchEntry &entry : m_entries)
        ReleaseProcess(entry);
    m_entries.clear();
}

const WatchEntry *ApplicationWatcher::Entry(int index) const
{
    if (index < 0 || index >= FileCount())
        return nullptr;
    return &m_entries[static_cast<size_t>(index)];
}

void ApplicationWatcher::ReleaseProcess(WatchEntry &entry)
{
    if (!entry.Process)
        return;
    entry.Process->disconnect();
    if (entry.Process->state() == QProcess::NotRunning) {
        entry.Process->deleteLater(); // it may be the sender of the signal being handled
    } else {
        // Runs on unwatched; the object goes with the program's end or with
        // the watcher, whichever comes first (leaving the program running).
        QProcess *process = entry.Process;
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    }
    entry.Process = nullptr;
}

int ApplicationWatcher::RunNotifyApplication(const QString &appPath, const QString &mode,
                                             const QString &remoteFilePath, const QString &filePath,
                                             const QString &editTaskId, qint16 serverSlot,
                                             const QString &profileName, const QString &appFlags)
{
    try {
        if (GetShortName(filePath).isEmpty())
            return -1;
        SetCopyAccess(filePath, mode == QStringLiteral("e"));
        if (appPath == DefaultOpen()) {
            // The desktop starts a program of its choice that cannot be
            // followed, so the copy is not watched.
            OpenWithDesktop(filePath);
            return -1;
        }
        const QFileInfo program(GetShortName(appPath));
        if (!program.isFile() || !program.isExecutable())
            return -1;

        const CopyState opened = StateOf(filePath);
        auto *process = new WatchedProcess(this);
        process->setProgram(program.absoluteFilePath());
        QStringList arguments = QProcess::splitCommand(appFlags);
        arguments << filePath;
        process->setArguments(arguments);
        process->setStandardInputFile(QProcess::nullDevice());
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->start();
        // The start is the fork and exec of a local program; its outcome is
        // known at once.
        if (!process->waitForStarted(5000)) {
            delete process;
            return -1;
        }

        WatchEntry entry;
        entry.AppPath = appPath;
        entry.FilePath = filePath;
        entry.ProcessId = process->processId();
        entry.Process = process;
        entry.FileTime = opened.time;
        entry.FileSize = opened.size;
        entry.RemoteFilePath = remoteFilePath;
        entry.EditTaskID = editTaskId;
        entry.ServerSlot = serverSlot;
        entry.ProfileName = profileName;
        m_entries.push_back(entry);
        connect(process, &QProcess::finished, this, [this, process] { ProgramFinished(process); });
        return FileCount() - 1;
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("RunNotifyApplication"));
        return -1;
    }
}

void ApplicationWatcher::OpenWithDesktop(const QString &filePath)
{
    // The opener, unlike a call that only says it was handed the file,
    // tells by its exit whether the desktop has a program for the type.
    auto *opener = new WatchedProcess(this);
    opener->setProgram(QStringLiteral("xdg-open"));
    opener->setArguments({filePath});
    opener->setStandardInputFile(QProcess::nullDevice());
    opener->setProcessChannelMode(QProcess::ForwardedChannels);
    connect(opener, &QProcess::errorOccurred, this, [this, opener, filePath](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        opener->deleteLater();
        emit DefaultOpenEnded(filePath, false);
    });
    connect(opener, &QProcess::finished, this, [this, opener, filePath](int exitCode, QProcess::ExitStatus status) {
        opener->deleteLater();
        emit DefaultOpenEnded(filePath, status == QProcess::NormalExit && exitCode == 0);
    });
    opener->start();
}

void ApplicationWatcher::ProgramFinished(QProcess *process)
{
    try {
        for (WatchEntry &entry : m_entries) {
            if (entry.Process == process) {
                entry.Exited = true;
                break;
            }
        }
        WatchForProcess();
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("ProgramFinished"));
    }
}

void ApplicationWatcher::WatchForProcess()
{
    // A handler below may ask a question, during which another program can
    // end: that one waits for the running round.
    if (m_delivering) {
        m_deliverAgain = true;
        return;
    }
    m_delivering = true;
    try {
        do {
            m_deliverAgain = false;
            while (!m_paused) {
                auto ended = std::find_if(m_entries.begin(), m_entries.end(),
                                          [](const WatchEntry &e) { return e.Exited && !e.Closed; });
                if (ended == m_entries.end())
                    break;
                ended->Closed = true;
                ReleaseProcess(*ended);
                // Copies, as the handlers may change the list.
                const WatchEntry entry = *ended;
                const CopyState now = StateOf(entry.FilePath);
                if (now.exists) {
                    if (now.time != entry.FileTime || now.size != entry.FileSize)
                        emit FileChanged(entry.FilePath, entry.RemoteFilePath, entry.EditTaskID, entry.ServerSlot,
                                         entry.ProfileName);
                } else {
                    emit FileDeleted(entry.FilePath, entry.RemoteFilePath, entry.EditTaskID, entry.ServerSlot,
                                     entry.ProfileName);
                }
                emit ProcessExit(entry.AppPath, entry.FilePath, entry.EditTaskID, entry.ServerSlot,
                                 entry.ProfileName);
            }
        } while (m_deliverAgain && !m_paused);
    } catch (...) {
        LogCurrentException(kObjectName, QStringLiteral("WatchForProcess"));
    }
    m_delivering = false;
}
