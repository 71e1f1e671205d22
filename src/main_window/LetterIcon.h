#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

// A small coloured badge with a letter, for picture keys the desktop theme
// has no picture for: square for commands, round for job states.
enum class LetterIconShape { Square, Round };

QIcon LetterIcon(const QColor &colour, const QString &letter, LetterIconShape shape);
