#pragma once

#include "Prompts.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>

// Answers the program's prompts from a script. While it lives it is the
// program-wide answerer. A prompt that no expectation matches fails the test
// and is answered with Cancel / No / nothing, so a test never hangs on it.
class ScriptedPrompts final : public Prompts
{
public:
    enum class Kind { Message, Input, File, Font };

    struct Shown {
        Kind kind;
        QString title;
        QString text; // message text, input label, or file title
        PromptIcon icon = PromptIcon::None;
        PromptButtons buttons = PromptButtons::Ok;
        std::optional<PromptButton> defaultButton;
    };

    ScriptedPrompts();
    ~ScriptedPrompts() override;
    ScriptedPrompts(const ScriptedPrompts &) = delete;
    ScriptedPrompts &operator=(const ScriptedPrompts &) = delete;

    // Each expectation is used once, in order; `textPart` must occur in the
    // message text, input label or chooser title.
    ScriptedPrompts &expectMessage(const QString &textPart, PromptButton answer);
    ScriptedPrompts &expectInput(const QString &labelPart, std::optional<QString> answer);
    ScriptedPrompts &expectFile(const QString &titlePart, std::optional<QString> answer);
    ScriptedPrompts &expectFont(std::optional<QFont> answer);
    // Runs `action` when the matching prompt shows (e.g. to close a server meanwhile).
    ScriptedPrompts &onNext(std::function<void()> action);

    const std::vector<Shown> &shown() const { return m_shown; }
    QStringList messageTexts() const;
    bool allUsed() const { return m_expected.empty(); }

    PromptButton message(QWidget *parent, const MessageRequest &request) override;
    std::optional<QString> input(QWidget *parent, const InputRequest &request) override;
    std::optional<QString> chooseFile(QWidget *parent, const FileRequest &request) override;
    std::optional<QFont> chooseFont(QWidget *parent, const QFont &initial, const QString &title,
                                    const QList<int> &sizes) override;

private:
    struct Expected {
        Kind kind;
        QString part;
        PromptButton button = PromptButton::Cancel;
        std::optional<QString> text;
        std::optional<QFont> font;
        std::function<void()> before;
    };
    std::optional<Expected> take(Kind kind, const QString &text);
    // Queues a prompt, with the action onNext gave for it.
    ScriptedPrompts &expect(Kind kind, const QString &part, PromptButton button, std::optional<QString> text,
                            std::optional<QFont> font);

    std::deque<Expected> m_expected;
    std::vector<Shown> m_shown;
    std::function<void()> m_pendingAction;
    Prompts *m_previous = nullptr;
};
