#include "mWndProc.h"

#include "ErrorLog.h"
#include "Prompts.h"

#include <QPointer>
#include <QVariant>
#include <QWidget>

namespace {
const char *const kOldWndProc = "OldWndProc";
const char *const kObjectPtr = "ObjectPtr";
} // namespace

bool SubClass(QWidget *window, QObject *handler, QObject *object)
{
    try {
        if (!window || !handler)
            throw RuntimeError(ErrorNumber::InvalidProcedureCall, QStringLiteral("Invalid procedure call or argument"));
        if (window->property(kOldWndProc).isValid())
            return true;
        window->installEventFilter(handler);
        window->setProperty(kOldWndProc, QVariant::fromValue(QPointer<QObject>(handler)));
        if (object)
            window->setProperty(kObjectPtr, QVariant::fromValue(QPointer<QObject>(object)));
        return true;
    } catch (const RuntimeError &error) {
        ShowMessage(window, PromptIcon::Exclamation, PromptButtons::Ok, QString(),
                    QStringLiteral("Error subclassing window &H")
                        + QString::number(reinterpret_cast<quintptr>(window), 16).toUpper()
                        + QStringLiteral("\r\n\r\nErr# ") + QString::number(error.number()) + QStringLiteral(": ")
                        + error.description());
        return false;
    }
}

bool UnSubClass(QWidget *window)
{
    if (!window)
        return false;
    const QVariant stored = window->property(kOldWndProc);
    if (!stored.isValid())
        return false;
    if (QObject *handler = stored.value<QPointer<QObject>>())
        window->removeEventFilter(handler);
    window->setProperty(kOldWndProc, QVariant());
    window->setProperty(kObjectPtr, QVariant());
    return true;
}
