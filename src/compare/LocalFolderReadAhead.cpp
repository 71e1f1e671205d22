#include "LocalFolderReadAhead.h"

#include "Paths.h"

#include <QThread>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <system_error>

namespace {

constexpr int kWindow = 64;                   // folders foreseen and read ahead of the walk
constexpr int kLeftToWalk = 2;                // the current folder and the next: the walk reads them
constexpr qsizetype kMaxBuffered = 1 << 18;   // entries read and not yet taken: a bound on memory

qsizetype entryCount(const LocalFolderContents &contents)
{
    return static_cast<qsizetype>(contents.Folders.size() + contents.Files.size());
}

} // namespace

LocalFolderReadAhead::LocalFolderReadAhead(const QString &firstTop, const QString &secondTop, bool withSecond,
                                           int workers)
    : m_withSecond(withSecond)
{
    m_current = append(firstTop, secondTop, m_order.end());
    m_workers.reserve(static_cast<size_t>(std::max(workers, 0)));
    for (int i = 0; i < workers; ++i) {
        try {
            m_workers.emplace_back([this] { work(); });
        } catch (const std::system_error &) {
            break; // fewer workers: the walk reads what they do not
        }
    }
}

LocalFolderReadAhead::~LocalFolderReadAhead() { Halt(); }

int LocalFolderReadAhead::DefaultWorkers()
{
    // The walk's own thread reads too while it waits.
    return std::clamp(QThread::idealThreadCount() - 1, 1, 3);
}

void LocalFolderReadAhead::Halt()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_halt = true;
    }
    m_work.notify_all();
    for (std::thread &worker : m_workers)
        worker.join();
    m_workers.clear();
}

LocalFolderReadAhead::NodePtr LocalFolderReadAhead::append(const QString &first, const QString &second,
                                                           std::list<NodePtr>::iterator before)
{
    auto node = std::make_shared<Node>();
    node->Path = {first, m_withSecond ? second : QString()};
    if (!m_withSecond)
        node->States[1] = State::Taken;
    node->Position = m_order.insert(before, node);
    m_byFirst.insert(first, node.get());
    return node;
}

void LocalFolderReadAhead::dropBefore(std::list<NodePtr>::iterator end)
{
    for (auto it = m_order.begin(); it != end;) {
        Node &node = **it;
        node.Dropped = true; // a worker still reading it throws its read away
        for (size_t side = 0; side < 2; ++side) {
            if (node.States[side] == State::Read)
                m_buffered -= entryCount(node.Contents[side]);
            node.Contents[side] = {};
        }
        const auto found = m_byFirst.find(node.Path[0]);
        if (found != m_byFirst.end() && found.value() == &node)
            m_byFirst.erase(found);
        it = m_order.erase(it);
    }
}

LocalFolderReadAhead::Task LocalFolderReadAhead::nextTask(bool forWorker, bool claim)
{
    int seen = 0;
    for (auto it = m_order.begin(); it != m_order.end() && seen < kWindow; ++it, ++seen) {
        if (forWorker && seen < kLeftToWalk)
            continue;
        if (seen > 0 && m_buffered > kMaxBuffered)
            break;
        Node &node = **it;
        for (int side = 0; side < 2; ++side) {
            if (node.States[static_cast<size_t>(side)] == State::Waiting) {
                if (claim)
                    node.States[static_cast<size_t>(side)] = State::Reading;
                return {*it, side};
            }
        }
    }
    return {};
}

bool LocalFolderReadAhead::store(const Task &task, LocalFolderContents contents)
{
    Node &node = *task.Folder;
    if (node.Dropped)
        return false;
    // A folder's sub-folders are opened right after it, before its next sibling.
    const bool foresees = task.Side == 0 && contents.Ok && !contents.Folders.empty();
    if (foresees) {
        const auto before = std::next(node.Position);
        for (const LocalEntry &sub : contents.Folders)
            append(JoinLocalPath(node.Path[0], sub.Name),
                   m_withSecond ? JoinLocalPath(node.Path[1], sub.Name) : QString(), before);
    }
    m_buffered += entryCount(contents);
    node.Contents[static_cast<size_t>(task.Side)] = std::move(contents);
    node.States[static_cast<size_t>(task.Side)] = State::Read;
    return foresees;
}

void LocalFolderReadAhead::wakeWorker()
{
    if (!m_workers.empty() && nextTask(true, false).Folder)
        m_work.notify_one();
}

void LocalFolderReadAhead::readTask(const Task &task, std::unique_lock<std::mutex> &lock)
{
    const size_t side = static_cast<size_t>(task.Side);
    lock.unlock();
    LocalFolderContents contents;
    bool read = true;
    try {
        contents = ReadLocalFolder(task.Folder->Path[side]); // the path never changes once foreseen
    } catch (...) {
        read = false;
    }
    lock.lock();
    if (!read)
        task.Folder->States[side] = State::WalkReads; // the walk reads it and reports what fails
    else if (store(task, std::move(contents)))
        wakeWorker();
    if (task.Folder == m_current)
        m_read.notify_one();
}

void LocalFolderReadAhead::work()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_halt) {
        const Task task = nextTask(true);
        if (!task.Folder) {
            m_work.wait(lock);
            continue;
        }
        // Woken one at a time: whoever finds more to read wakes the next worker.
        wakeWorker();
        readTask(task, lock);
    }
}

bool LocalFolderReadAhead::Prepare(const QString &first, const QString &second, QDeadlineTimer deadline)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    Node *found = m_byFirst.value(first);
    if (found && (!m_withSecond || found->Path[1] == second)) {
        // Every folder foreseen before this one was passed: the walk does not go back.
        dropBefore(found->Position);
        m_current = *found->Position;
    } else {
        dropBefore(m_order.end());
        m_current = append(first, second, m_order.end());
    }
    wakeWorker(); // the window moved on
    const auto beingRead = [this] {
        return m_current->States[0] == State::Reading || m_current->States[1] == State::Reading;
    };
    while (beingRead()) {
        if (deadline.hasExpired())
            return false;
        if (const Task task = nextTask(false); task.Folder) {
            readTask(task, lock);
        } else if (deadline.isForever()) {
            m_read.wait(lock);
        } else {
            m_read.wait_for(lock, std::chrono::nanoseconds(deadline.remainingTimeNSecs()));
        }
    }
    return true;
}

LocalFolderContents LocalFolderReadAhead::take(int side)
{
    const size_t at = static_cast<size_t>(side);
    std::unique_lock<std::mutex> lock(m_mutex);
    const NodePtr node = m_current;
    while (node->States[at] == State::Reading)
        m_read.wait(lock); // a worker took it up after Prepare: one folder's read
    if (node->States[at] != State::Read) {
        node->States[at] = State::Reading;
        lock.unlock();
        LocalFolderContents contents;
        try {
            contents = ReadLocalFolder(node->Path[at]);
        } catch (...) {
            lock.lock();
            node->States[at] = State::WalkReads;
            throw;
        }
        lock.lock();
        if (store({node, side}, std::move(contents)))
            wakeWorker();
    }
    m_buffered -= entryCount(node->Contents[at]);
    node->States[at] = State::Taken;
    return std::exchange(node->Contents[at], {});
}

LocalFolderContents LocalFolderReadAhead::TakeFirst() { return take(0); }

LocalFolderContents LocalFolderReadAhead::TakeSecond(const QString &second)
{
    if (!m_withSecond || m_current->Path[1] != second)
        return ReadLocalFolder(second);
    return take(1);
}
