#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class HandOffClient;
class HandOffServer;
class InstanceLock;
class MainWindowServices;

// One program instance per user. The first start holds the instance lock and,
// once its main window is marked, listens for hand-offs; a second start
// passes its command line (the path of a jobs file) to the first and ends.
class ModStartup : public QObject
{
    Q_OBJECT
public:
    // The lock and the hand-off socket live in `runtimeFolder`.
    explicit ModStartup(QString runtimeFolder, QObject *parent = nullptr);
    ~ModStartup() override;

    // The program-wide instance (in the session's runtime folder).
    static ModStartup &Program();

    static QString MutexName();      // "FtpQor_APPLICATION_MUTEX"
    static QString MainWindowMark(); // "ZavUde_APPLICATION", the hand-off socket's name
    QString LockPath(const QString &mutexName) const;
    QString HandOffSocketPath() const;

    // True when this process now holds the lock. When the lock cannot be set
    // up at all (not because another instance holds it) the failure is logged
    // and the answer is True, so the program never refuses to start.
    bool IsFirstInstance(const QString &mutexName);
    static bool RunningInIde() { return false; }
    // Frees the lock and stops listening; called when the main window closes.
    void ReleaseInstanceLock();

    // Starts listening for hand-offs, delivered to `window`. False when the
    // socket could not be opened (logged).
    bool MarkMainWindow(MainWindowServices *window);
    bool IsMainWindowMarked() const;

    // Looks for a marked first instance; true when one answers. The
    // connection is kept for PassCommandLine.
    bool FindFirstInstanceWindow();
    bool FirstInstanceFound() const;
    // Sends the command line to the instance found; its answer (0, or -1 when
    // it failed), nothing when none was found or no answer came in time.
    std::optional<qint32> PassCommandLine(const QString &commandLine, quint32 tag);

    // The receiving side: when a file exists at the text taken as a path,
    // lists its jobs and tells the user. Failures reach the caller.
    static void ListHandedOverJobs(MainWindowServices &window, const QString &handedOverText);

    // The command line as handed over: the arguments after the program's
    // name joined by blanks; a relative path of an existing file is made
    // absolute against `workingFolder`, since the first instance runs elsewhere.
    static QString CommandLineText(const QStringList &arguments, const QString &workingFolder);

    // The answer of the last PassCommandLine (nothing when none came).
    std::optional<qint32> LastHandOffAnswer() const { return m_lastAnswer; }

    void SetHandOffTimeout(int milliseconds) { m_handOffTimeoutMs = milliseconds; }
    HandOffServer *Server() const { return m_server; }

private:
    qint32 receive(const QByteArray &payload);

    QString m_runtimeFolder;
    std::unique_ptr<InstanceLock> m_lock;
    HandOffServer *m_server = nullptr;
    std::unique_ptr<HandOffClient> m_firstInstance;
    MainWindowServices *m_window = nullptr;
    int m_handOffTimeoutMs = 30000;
    std::optional<qint32> m_lastAnswer;
};

// The program's entry: true when this is the first instance and the splash
// was loaded (the program lives on), false when the process should end
// (the command line was handed to the first instance, or start-up failed).
bool Main(ModStartup &startup, const QStringList &arguments, const std::function<void()> &loadSplash);
