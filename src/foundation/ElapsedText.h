#pragma once

#include <QString>

// Elapsed time as the search and compare windows show it: "2 Min. 5 Sec.".
QString ElapsedText(qint64 seconds);
