#pragma once

#include "Prompts.h"

// The program's answerer: real Qt dialogs, modal to their parent.
class QtPrompts final : public Prompts
{
public:
    PromptButton message(QWidget *parent, const MessageRequest &request) override;
    std::optional<QString> input(QWidget *parent, const InputRequest &request) override;
    std::optional<QString> chooseFile(QWidget *parent, const FileRequest &request) override;
    std::optional<QFont> chooseFont(QWidget *parent, const QFont &initial, const QString &title,
                                    const QList<int> &sizes) override;
    std::optional<QStringList> chooseFiles(QWidget *parent, const FileRequest &request) override;
};
