#include "NetworkProbe.h"

#include <QNetworkInformation>
#include <QNetworkInterface>

namespace {
NetworkProbe *installedProbe = nullptr;
}

NetworkProbe &NetworkProbe::current()
{
    static SystemNetworkProbe systemProbe;
    return installedProbe ? *installedProbe : systemProbe;
}

NetworkProbe *NetworkProbe::install(NetworkProbe *probe)
{
    NetworkProbe *previous = installedProbe;
    installedProbe = probe;
    return previous;
}

bool SystemNetworkProbe::InterfaceConnected(QString &connectionName)
{
    for (const QNetworkInterface &face : QNetworkInterface::allInterfaces()) {
        const auto flags = face.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) || !flags.testFlag(QNetworkInterface::IsRunning)
            || flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        if (face.addressEntries().isEmpty())
            continue;
        connectionName = face.humanReadableName();
        return true;
    }
    return false;
}

bool SystemNetworkProbe::isConnected(QString &connectionName)
{
    // One attempt to load the desktop's network-state service; without one,
    // the interfaces answer.
    static const bool loaded = QNetworkInformation::instance()
        || QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability);
    Q_UNUSED(loaded);
    if (const QNetworkInformation *info = QNetworkInformation::instance()) {
        switch (info->reachability()) {
        case QNetworkInformation::Reachability::Disconnected:
            connectionName.clear();
            return false;
        case QNetworkInformation::Reachability::Local:
        case QNetworkInformation::Reachability::Site:
        case QNetworkInformation::Reachability::Online:
            if (!InterfaceConnected(connectionName))
                connectionName = info->backendName();
            return true;
        case QNetworkInformation::Reachability::Unknown:
            break;
        }
    }
    return InterfaceConnected(connectionName);
}
