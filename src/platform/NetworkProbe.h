#pragma once

#include <QString>

// Whether the machine has a network connection, and the name of one. The
// program asks the installed probe; tests install their own answer so that
// nothing depends on the machine's network.
class NetworkProbe
{
public:
    virtual ~NetworkProbe() = default;
    // True when connected; `connectionName` gets a name of the connection.
    virtual bool isConnected(QString &connectionName) = 0;

    // The installed probe: the system's unless a test installed its own.
    static NetworkProbe &current();
    // Installs a probe (nullptr restores the system's); returns the previous one.
    static NetworkProbe *install(NetworkProbe *probe);
};

// The system's answer: the desktop's network-state service when it knows,
// else whether an interface other than loopback is up with an address.
class SystemNetworkProbe final : public NetworkProbe
{
public:
    bool isConnected(QString &connectionName) override;
    // The interface fallback on its own.
    static bool InterfaceConnected(QString &connectionName);
};
