#pragma once

#include <QString>

// The tool tip that shows `text` as written. A tool tip reads a text that
// looks like markup ("/<b>data", a server's words) as markup; such a text is
// escaped, the others are returned as they are.
QString PlainToolTip(const QString &text);
