#include "ElapsedText.h"

QString ElapsedText(qint64 seconds)
{
    if (seconds < 0)
        seconds = 0;
    return QString::number(seconds / 60) + QStringLiteral(" Min. ") + QString::number(seconds % 60)
         + QStringLiteral(" Sec.");
}
