#include "ModTransparency.h"

#include <QGuiApplication>
#include <QWidget>

bool IsLayeredWindowSupported()
{
    // Every windowing platform we run on takes a window opacity; the minimal
    // platform (no windows at all) does not.
    return QGuiApplication::platformName() != QLatin1String("minimal");
}

QWidget *GetTopVisibleWindow(QWidget *window)
{
    QWidget *reached = window;
    while (reached && reached->parentWidget() && reached->parentWidget()->isVisible())
        reached = reached->parentWidget();
    return reached;
}

bool SetWindowOpacity(QWidget *window, int alpha)
{
    if (!window || !IsLayeredWindowSupported())
        return false;
    QWidget *top = GetTopVisibleWindow(window);
    top->setWindowOpacity(qBound(0, alpha, 255) / 255.0);
    return true;
}
