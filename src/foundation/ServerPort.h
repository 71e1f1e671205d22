#pragma once

#include <QString>

// A port typed for a server: the engine takes 1 to 65535 only, and a job made
// from a location keeps the typed number, so anything else is refused before
// a connection is tried.
inline bool IsServerPort(long long port) { return port >= 1 && port <= 65535; }

// What a window says when a typed port is none.
inline QString ServerPortRangeText() { return QStringLiteral("The port must be a whole number from 1 to 65535."); }
