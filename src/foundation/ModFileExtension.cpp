#include "ModFileExtension.h"

#include "AppInfo.h"
#include "ErrorLog.h"
#include "IniRegistry.h"
#include "XdgDesktopFiles.h"

#include <QCoreApplication>

namespace {

const QString kObject = QStringLiteral("ModFileExtension");
QString registryPathOverride;

QString rootName(quint32 root)
{
    switch (root) {
    case RootKey::ClassesRoot: return QStringLiteral("HKEY_CLASSES_ROOT");
    case RootKey::CurrentUser: return QStringLiteral("HKEY_CURRENT_USER");
    case RootKey::LocalMachine: return QStringLiteral("HKEY_LOCAL_MACHINE");
    case RootKey::Users: return QStringLiteral("HKEY_USERS");
    case RootKey::PerformanceData: return QStringLiteral("HKEY_PERFORMANCE_DATA");
    case RootKey::CurrentConfig: return QStringLiteral("HKEY_CURRENT_CONFIG");
    case RootKey::DynData: return QStringLiteral("HKEY_DYN_DATA");
    default: return {};
    }
}

IniRegistry store() { return IniRegistry(RegistryFilePath()); }

bool isRunKey(quint32 root, const QString &keyPath)
{
    if (root != RootKey::CurrentUser)
        return false;
    QString key = keyPath;
    key.replace(QLatin1Char('/'), QLatin1Char('\\'));
    while (key.startsWith(QLatin1Char('\\')))
        key.remove(0, 1);
    while (key.endsWith(QLatin1Char('\\')))
        key.chop(1);
    return key.compare(RunKeyPath(), Qt::CaseInsensitive) == 0;
}

const RootKeyFlags kClassesRoot{.classesRoot = true};

void installDesktopFiles(const QString &programPath, const QString &extension, const QString &progId,
                         const QString &typeText)
{
    const QString base = AssociationFileBase(progId);
    const QString mimeType = AssociationMimeType(progId);
    XdgDesktopFiles::InstallMimeType(base, mimeType, typeText, QLatin1Char('*') + extension);
    XdgDesktopFiles::InstallDesktopEntry(base, AppTitle(), programPath, mimeType);
}

} // namespace

QString QuotedProgramPath()
{
    return QLatin1Char('"') + QCoreApplication::applicationFilePath() + QLatin1Char('"');
}

QString RegistryFilePath()
{
    return registryPathOverride.isEmpty() ? IniRegistry::DefaultPath() : registryPathOverride;
}

void SetRegistryFilePath(const QString &path) { registryPathOverride = path; }

QString AssociationMimeType(const QString &progId) { return QStringLiteral("application/x-") + progId.toLower(); }

QString AssociationFileBase(const QString &progId) { return QStringLiteral("ftpqor-") + progId.toLower(); }

quint32 GetRootKey(const RootKeyFlags &roots)
{
    if (roots.classesRoot) return RootKey::ClassesRoot;
    if (roots.currentConfig) return RootKey::CurrentConfig;
    if (roots.currentUser) return RootKey::CurrentUser;
    if (roots.dynData) return RootKey::DynData;
    if (roots.localMachine) return RootKey::LocalMachine;
    if (roots.performanceData) return RootKey::PerformanceData;
    if (roots.users) return RootKey::Users;
    return RootKey::None;
}

QString GetRegString(const QString &keyPath, const QString &valueName, const RootKeyFlags &roots, bool addBackslash)
{
    try {
        const quint32 root = GetRootKey(roots);
        if (root == RootKey::None)
            return {};
        const auto value = store().value(rootName(root), keyPath, valueName);
        if (!value)
            return {};
        QString text = value->trimmed();
        if (addBackslash && !text.endsWith(QLatin1Char('\\')))
            text += QLatin1Char('\\');
        return text;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("GetRegString"));
        return {};
    }
}

bool SetRegString(const QString &keyPath, const QString &valueName, const QString &text, const RootKeyFlags &roots)
{
    try {
        const quint32 root = GetRootKey(roots);
        if (root == RootKey::None)
            return false;
        IniRegistry registry = store();
        if (!registry.setValue(rootName(root), keyPath, valueName, text))
            return false;
        if (isRunKey(root, keyPath))
            return XdgDesktopFiles::WriteAutostartEntry(valueName, text);
        return true;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("SetRegString"));
        return false;
    }
}

bool DeleteRegValue(const QString &keyPath, const QString &valueName, const RootKeyFlags &roots)
{
    try {
        const quint32 root = GetRootKey(roots);
        if (root == RootKey::None)
            return false;
        IniRegistry registry = store();
        const bool deleted = registry.deleteValue(rootName(root), keyPath, valueName);
        if (isRunKey(root, keyPath))
            XdgDesktopFiles::RemoveAutostartEntry(valueName);
        return deleted;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("DeleteRegValue"));
        return false;
    }
}

void RegisterFileType(const QString &programPath, const QString &extension, const QString &progId,
                      const QString &typeText, int iconIndex)
{
    try {
        const QString extensionValue = GetRegString(extension, QString(), kClassesRoot);
        const QString typeValue = GetRegString(progId, QString(), kClassesRoot);
        if (extensionValue.isEmpty() || typeValue.isEmpty()) {
            SetRegString(extension, QString(), progId, kClassesRoot);
            SetRegString(progId, QString(), typeText, kClassesRoot);
            SetRegString(progId + QStringLiteral("\\shell\\open\\command"), QString(),
                         programPath + QStringLiteral(" %1"), kClassesRoot);
            SetRegString(progId + QStringLiteral("\\DefaultIcon"), QString(),
                         programPath + QLatin1Char(',') + QString::number(iconIndex), kClassesRoot);
        }
        if (GetRegString(extension, QString(), kClassesRoot).compare(progId, Qt::CaseInsensitive) == 0)
            installDesktopFiles(programPath, extension, progId, typeText);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("RegisterFileType"));
    }
}

void UnregisterFileType(const QString &, const QString &extension, const QString &progId, const QString &)
{
    try {
        const QString extensionValue = GetRegString(extension, QString(), kClassesRoot);
        const QString typeValue = GetRegString(progId, QString(), kClassesRoot);
        if (!extensionValue.isEmpty() || !typeValue.isEmpty()) {
            IniRegistry registry = store();
            const QString root = rootName(RootKey::ClassesRoot);
            if (extensionValue.compare(progId, Qt::CaseInsensitive) == 0)
                registry.deleteKey(root, extension);
            for (const QString &key : {progId + QStringLiteral("\\shell\\open\\command"),
                                       progId + QStringLiteral("\\shell\\open"), progId + QStringLiteral("\\shell"),
                                       progId + QStringLiteral("\\DefaultIcon"), progId})
                registry.deleteKey(root, key);
        }
        const QString base = AssociationFileBase(progId);
        XdgDesktopFiles::RemoveMimeType(base);
        XdgDesktopFiles::RemoveDesktopEntry(base);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("UnregisterFileType"));
    }
}
