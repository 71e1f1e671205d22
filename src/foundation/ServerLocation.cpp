#include "ServerLocation.h"

QString NormalisedServerHost(const QString &host)
{
    QString h = host.trimmed();
    if (h.startsWith(QStringLiteral("ftp://"), Qt::CaseInsensitive))
        h = h.mid(6);
    while (h.endsWith(QLatin1Char('/')))
        h.chop(1);
    return h;
}

QString ServerUserKey(const QString &user, const QString &host, int port)
{
    return user + QLatin1Char('@') + NormalisedServerHost(host).toLower() + QLatin1Char(':') + QString::number(port);
}

bool IsSameServer(const ServerLocation &a, const ServerLocation &b)
{
    return a.Port == b.Port && a.User == b.User
        && NormalisedServerHost(a.Host).compare(NormalisedServerHost(b.Host), Qt::CaseInsensitive) == 0;
}

bool IsSameServerLocation(const ServerLocation &a, const ServerLocation &b)
{
    return IsSameServer(a, b) && a.Path == b.Path;
}
