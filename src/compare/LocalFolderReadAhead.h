#pragma once

#include "LocalFolderReader.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QString>

#include <array>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Reads the local folders a tree walk is about to open on worker threads, so
// the file system's work (one stat per entry, both trees) runs side by side
// while the walk builds rows. The walk opens folders in pre-order (a folder,
// then each sub-folder's subtree in enumeration order); the reader foresees
// that order from the folders it has read and keeps a bounded window of
// folders ahead. It is only a cache: the walk still decides which folders it
// enters, and a folder it asks for that was not foreseen is read there and then.
//
// Used from one thread (the walk's); the workers never touch the walk's state.
class LocalFolderReadAhead
{
public:
    // `withSecond`: each first-side folder has a local second-side counterpart
    // (the same relative path under `secondTop`) to read as well.
    LocalFolderReadAhead(const QString &firstTop, const QString &secondTop, bool withSecond, int workers);
    ~LocalFolderReadAhead();
    LocalFolderReadAhead(const LocalFolderReadAhead &) = delete;
    LocalFolderReadAhead &operator=(const LocalFolderReadAhead &) = delete;

    // The number of worker threads for this machine.
    static int DefaultWorkers();

    // Makes the pair the walk opens next current, forgetting what it passed,
    // and waits (reading other folders meanwhile) until no worker is still
    // reading it. False when the deadline passed first.
    [[nodiscard]] bool Prepare(const QString &first, const QString &second, QDeadlineTimer deadline);
    // The current pair's sides: what was read ahead, else read now.
    LocalFolderContents TakeFirst();
    LocalFolderContents TakeSecond(const QString &second);
    // Stops the workers and waits for them (each ends its folder). Idempotent.
    void Halt();

private:
    enum class State { Waiting, Reading, Read, Taken, WalkReads };
    struct Node
    {
        std::array<QString, 2> Path;
        std::array<State, 2> States{State::Waiting, State::Waiting};
        std::array<LocalFolderContents, 2> Contents;
        std::list<std::shared_ptr<Node>>::iterator Position;
        bool Dropped = false;
    };
    using NodePtr = std::shared_ptr<Node>;
    struct Task
    {
        NodePtr Folder;
        int Side = 0;
    };

    void work();
    // The first waiting read in the window, marked as being read when `claim`;
    // none when there is none. A worker leaves the walk's current folder and
    // the one after it to the walk: handing those over costs more than their
    // read where the tree is one long chain.
    Task nextTask(bool forWorker, bool claim = true);
    // Wakes one worker when there is something for it: a wake costs the waker more than a read of a small folder.
    void wakeWorker();
    void readTask(const Task &task, std::unique_lock<std::mutex> &lock);
    // Keeps what was read; false when nothing new was foreseen from it.
    bool store(const Task &task, LocalFolderContents contents);
    NodePtr append(const QString &first, const QString &second, std::list<NodePtr>::iterator before);
    void dropBefore(std::list<NodePtr>::iterator end);
    LocalFolderContents take(int side);

    const bool m_withSecond;
    std::mutex m_mutex;
    std::condition_variable m_work; // workers: more to read (the window moved, folders foreseen), or a halt
    std::condition_variable m_read; // the walk: a read ended
    std::list<NodePtr> m_order;        // the foreseen opening order; the current pair first
    QHash<QString, Node *> m_byFirst;
    NodePtr m_current;
    qsizetype m_buffered = 0; // entries read and not yet taken
    bool m_halt = false;
    std::vector<std::thread> m_workers;
};
