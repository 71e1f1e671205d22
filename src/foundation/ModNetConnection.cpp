#include "ModNetConnection.h"

#include "ErrorLog.h"
#include "NetworkProbe.h"

bool IsNetConnected(QString &connectionName)
{
    try {
        return NetworkProbe::current().isConnected(connectionName);
    } catch (...) {
        LogCurrentException(QStringLiteral("ModNetConnection"), QStringLiteral("IsNetConnected"));
        return false;
    }
}
