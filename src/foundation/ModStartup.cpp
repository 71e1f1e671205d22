#include "ModStartup.h"

#include "ErrorLog.h"
#include "HandOffClient.h"
#include "HandOffServer.h"
#include "InstanceLock.h"
#include "MainWindowServices.h"
#include "RuntimeFolder.h"
#include "TextCodec.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>

namespace {
const QString kObject = QStringLiteral("ModStartup");
}

ModStartup::ModStartup(QString runtimeFolder, QObject *parent)
    : QObject(parent), m_runtimeFolder(std::move(runtimeFolder))
{
}

ModStartup::~ModStartup() { ReleaseInstanceLock(); }

ModStartup &ModStartup::Program()
{
    // Owned by the application object, so it goes (and lets go of what it
    // holds) before the application does.
    static QPointer<ModStartup> program;
    if (!program)
        program = new ModStartup(RuntimeFolder::Path(), QCoreApplication::instance());
    return *program;
}

QString ModStartup::MutexName() { return QStringLiteral("FtpQor_APPLICATION_MUTEX"); }

QString ModStartup::MainWindowMark() { return QStringLiteral("ZavUde_APPLICATION"); }

QString ModStartup::LockPath(const QString &mutexName) const
{
    return m_runtimeFolder + QLatin1Char('/') + mutexName + QStringLiteral(".lock");
}

QString ModStartup::HandOffSocketPath() const { return m_runtimeFolder + QLatin1Char('/') + MainWindowMark(); }

bool ModStartup::IsFirstInstance(const QString &mutexName)
{
    try {
        if (!RuntimeFolder::Ensure(m_runtimeFolder)) {
            LogErrorToFile(kObject, QStringLiteral("IsFirstInstance"), ErrorNumber::PathNotFound,
                           QStringLiteral("Cannot create the runtime folder ") + m_runtimeFolder);
            return true;
        }
        m_lock = std::make_unique<InstanceLock>(LockPath(mutexName));
        QString error;
        switch (m_lock->acquire(&error)) {
        case InstanceLock::Outcome::Acquired:
            return true;
        case InstanceLock::Outcome::HeldByAnother:
            m_lock.reset();
            return false;
        case InstanceLock::Outcome::Failed:
            LogErrorToFile(kObject, QStringLiteral("IsFirstInstance"), ErrorNumber::PermissionDenied, error);
            m_lock.reset();
            return true;
        }
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("IsFirstInstance"));
    }
    return true;
}

void ModStartup::ReleaseInstanceLock()
{
    try {
        if (m_server) {
            m_server->close();
            delete m_server;
            m_server = nullptr;
        }
        m_window = nullptr;
        if (m_lock)
            m_lock->release();
        m_lock.reset();
    } catch (...) {
        // Shutting down: nothing left to tell.
    }
}

bool ModStartup::MarkMainWindow(MainWindowServices *window)
{
    try {
        m_window = window;
        if (!m_server) {
            if (!RuntimeFolder::Ensure(m_runtimeFolder))
                throw RuntimeError(ErrorNumber::PathNotFound,
                                   QStringLiteral("Cannot create the runtime folder ") + m_runtimeFolder);
            m_server = new HandOffServer(this);
            m_server->setHandler([this](quint32, const QByteArray &payload) { return receive(payload); });
            QString error;
            if (!m_server->listen(HandOffSocketPath(), &error)) {
                delete m_server;
                m_server = nullptr;
                throw RuntimeError(ErrorNumber::PathFileAccess, error);
            }
        }
        return true;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("MarkMainWindow"));
        return false;
    }
}

bool ModStartup::IsMainWindowMarked() const { return m_server && m_server->isListening(); }

bool ModStartup::FindFirstInstanceWindow()
{
    m_firstInstance = std::make_unique<HandOffClient>();
    if (!m_firstInstance->connectTo(HandOffSocketPath()))
        m_firstInstance.reset();
    return FirstInstanceFound();
}

bool ModStartup::FirstInstanceFound() const { return m_firstInstance && m_firstInstance->isConnected(); }

std::optional<qint32> ModStartup::PassCommandLine(const QString &commandLine, quint32 tag)
{
    m_lastAnswer.reset();
    if (!FirstInstanceFound())
        return std::nullopt;
    // An empty command line still makes a frame: one zero byte.
    const QByteArray payload = commandLine.isEmpty() ? QByteArray(1, '\0') : TextCodec::Encode(commandLine);
    m_lastAnswer = m_firstInstance->send(tag, payload, m_handOffTimeoutMs);
    m_firstInstance.reset();
    return m_lastAnswer;
}

qint32 ModStartup::receive(const QByteArray &payload)
{
    try {
        if (m_window)
            ListHandedOverJobs(*m_window, TextCodec::Decode(payload));
        return 0;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("WindowProc"));
        return -1;
    }
}

void ModStartup::ListHandedOverJobs(MainWindowServices &window, const QString &handedOverText)
{
    if (handedOverText.isEmpty() || handedOverText.contains(QChar(0)))
        return;
    if (!QFileInfo(handedOverText).isFile())
        return;
    window.LoadTasks(handedOverText);
    int iconKind = 1;
    window.ShowInfo(iconKind, QStringLiteral("New Jobs Listed"),
                    QStringLiteral("The jobs from file '") + handedOverText + QStringLiteral("' were listed."));
}

QString ModStartup::CommandLineText(const QStringList &arguments, const QString &workingFolder)
{
    const QString text = arguments.mid(1).join(QLatin1Char(' '));
    if (!text.isEmpty() && QFileInfo(text).isRelative() && !text.contains(QChar(0))) {
        const QString absolute = QDir(workingFolder).absoluteFilePath(text);
        if (QFileInfo(absolute).isFile())
            return QDir::cleanPath(absolute);
    }
    return text;
}

bool Main(ModStartup &startup, const QStringList &arguments, const std::function<void()> &loadSplash)
{
    try {
        if (startup.IsFirstInstance(ModStartup::MutexName())) {
            loadSplash();
            return true;
        }
        if (startup.FindFirstInstanceWindow())
            startup.PassCommandLine(ModStartup::CommandLineText(arguments, QDir::currentPath()), 1);
        return false;
    } catch (...) {
        LogCurrentException(QStringLiteral("ModStartup"), QStringLiteral("Main"));
        return false;
    }
}
