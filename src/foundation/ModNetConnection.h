#pragma once

#include <QString>

// Whether the machine has a network connection (the main window's network
// indicator); `connectionName` gets a name of the connection. Asks the
// installed NetworkProbe, so tests decide the answer.
bool IsNetConnected(QString &connectionName);
