#include "Prompts.h"

#include "QtPrompts.h"

namespace {

Prompts *g_installed = nullptr;

} // namespace

Prompts &Prompts::current()
{
    static QtPrompts qtPrompts;
    return g_installed ? *g_installed : static_cast<Prompts &>(qtPrompts);
}

Prompts *Prompts::install(Prompts *prompts)
{
    Prompts *previous = g_installed;
    g_installed = prompts;
    return previous;
}

std::optional<QStringList> Prompts::chooseFiles(QWidget *parent, const FileRequest &request)
{
    const std::optional<QString> answer = chooseFile(parent, request);
    if (!answer)
        return std::nullopt;
    return answer->split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

PromptButton ShowMessage(QWidget *parent, PromptIcon icon, PromptButtons buttons,
                         const QString &title, const QString &text)
{
    return Prompts::current().message(parent, MessageRequest{icon, buttons, title, text});
}

PromptButton AskBeforeDestroying(QWidget *parent, const QString &title, const QString &text, PromptButtons buttons)
{
    return Prompts::current().message(parent,
                                      MessageRequest{PromptIcon::Question, buttons, title, text, PromptButton::No});
}

std::optional<QString> AskText(QWidget *parent, const QString &title, const QString &label,
                               const QString &defaultText)
{
    return Prompts::current().input(parent, InputRequest{title, label, defaultText, false});
}
