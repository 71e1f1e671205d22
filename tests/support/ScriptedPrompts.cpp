#include "ScriptedPrompts.h"

#include <gtest/gtest.h>

namespace {

const char *kindName(ScriptedPrompts::Kind kind)
{
    switch (kind) {
    case ScriptedPrompts::Kind::Message: return "message";
    case ScriptedPrompts::Kind::Input: return "input";
    case ScriptedPrompts::Kind::File: return "file chooser";
    case ScriptedPrompts::Kind::Font: return "font chooser";
    }
    return "?";
}

} // namespace

ScriptedPrompts::ScriptedPrompts() { m_previous = Prompts::install(this); }

ScriptedPrompts::~ScriptedPrompts()
{
    Prompts::install(m_previous);
    for (const Expected &e : m_expected)
        ADD_FAILURE() << "expected " << kindName(e.kind) << " prompt never shown: " << e.part.toStdString();
}

ScriptedPrompts &ScriptedPrompts::expect(Kind kind, const QString &part, PromptButton button,
                                         std::optional<QString> text, std::optional<QFont> font)
{
    m_expected.push_back(Expected{kind, part, button, std::move(text), std::move(font), std::move(m_pendingAction)});
    m_pendingAction = nullptr;
    return *this;
}

ScriptedPrompts &ScriptedPrompts::expectMessage(const QString &textPart, PromptButton answer)
{
    return expect(Kind::Message, textPart, answer, std::nullopt, std::nullopt);
}

ScriptedPrompts &ScriptedPrompts::expectInput(const QString &labelPart, std::optional<QString> answer)
{
    return expect(Kind::Input, labelPart, PromptButton::Ok, std::move(answer), std::nullopt);
}

ScriptedPrompts &ScriptedPrompts::expectFile(const QString &titlePart, std::optional<QString> answer)
{
    return expect(Kind::File, titlePart, PromptButton::Ok, std::move(answer), std::nullopt);
}

ScriptedPrompts &ScriptedPrompts::expectFont(std::optional<QFont> answer)
{
    return expect(Kind::Font, QString(), PromptButton::Ok, std::nullopt, std::move(answer));
}

ScriptedPrompts &ScriptedPrompts::onNext(std::function<void()> action)
{
    m_pendingAction = std::move(action);
    return *this;
}

QStringList ScriptedPrompts::messageTexts() const
{
    QStringList texts;
    for (const Shown &s : m_shown)
        if (s.kind == Kind::Message)
            texts.append(s.text);
    return texts;
}

std::optional<ScriptedPrompts::Expected> ScriptedPrompts::take(Kind kind, const QString &text)
{
    if (m_expected.empty() || m_expected.front().kind != kind || !text.contains(m_expected.front().part)) {
        ADD_FAILURE() << "unexpected " << kindName(kind) << " prompt: " << text.toStdString()
                      << (m_expected.empty() ? std::string(" (none expected)")
                                             : " (expected " + std::string(kindName(m_expected.front().kind))
                                                   + ": " + m_expected.front().part.toStdString() + ")");
        return std::nullopt;
    }
    Expected e = std::move(m_expected.front());
    m_expected.pop_front();
    if (e.before)
        e.before();
    return e;
}

PromptButton ScriptedPrompts::message(QWidget *, const MessageRequest &request)
{
    m_shown.push_back(Shown{Kind::Message, request.title, request.text, request.icon, request.buttons, request.defaultButton});
    const auto e = take(Kind::Message, request.text);
    if (!e)
        return request.buttons == PromptButtons::YesNo || request.buttons == PromptButtons::YesNoCancel
            ? PromptButton::No
            : PromptButton::Cancel;
    return e->button;
}

std::optional<QString> ScriptedPrompts::input(QWidget *, const InputRequest &request)
{
    m_shown.push_back(Shown{Kind::Input, request.title, request.label});
    const auto e = take(Kind::Input, request.label);
    return e ? e->text : std::nullopt;
}

std::optional<QString> ScriptedPrompts::chooseFile(QWidget *, const FileRequest &request)
{
    m_shown.push_back(Shown{Kind::File, request.title, request.title});
    const auto e = take(Kind::File, request.title);
    return e ? e->text : std::nullopt;
}

std::optional<QFont> ScriptedPrompts::chooseFont(QWidget *, const QFont &, const QString &title, const QList<int> &)
{
    m_shown.push_back(Shown{Kind::Font, title, title});
    const auto e = take(Kind::Font, title);
    return e ? e->font : std::nullopt;
}
