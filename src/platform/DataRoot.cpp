#include "DataRoot.h"

#include "Paths.h"

#include <QDir>
#include <QStandardPaths>

namespace DataRoot {

QString AppPath()
{
    const QString fromEnv = qEnvironmentVariable("FTPQOR_HOME");
    QString root = fromEnv.isEmpty()
        ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
        : fromEnv;
    if (root.isEmpty())
        root = QDir::homePath() + QStringLiteral("/.local/share/ftpqor");
    while (root.size() > 1 && root.endsWith(QLatin1Char('/')))
        root.chop(1);
    return root;
}

QString ConfigFolder()
{
    if (!qEnvironmentVariableIsEmpty("FTPQOR_HOME"))
        return AppPath() + QStringLiteral("/Config");
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/ftpqor");
}

QString SystemFolder() { return AppPath() + QStringLiteral("/System"); }
QString JobsFolder() { return AppPath() + QStringLiteral("/Jobs"); }
QString CacheFolder() { return AppPath() + QStringLiteral("/Cache"); }
QString TmpFolder() { return AppPath() + QStringLiteral("/Tmp"); }

QString FileInRoot(const QString &name) { return JoinLocalPath(AppPath(), name); }

bool EnsureDataFolders()
{
    bool ok = true;
    for (const QString &dir : {AppPath(), SystemFolder(), JobsFolder(), CacheFolder(), TmpFolder()})
        ok = QDir().mkpath(dir) && ok;
    return ok;
}

} // namespace DataRoot
