#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <functional>
#include <memory>
#include <unistd.h>

// For the helper processes of the tests: ends the application when "quit"
// (or the end of its input) arrives on standard input, after `before` ran.
inline std::unique_ptr<QSocketNotifier> QuitOnInput(QCoreApplication &app, std::function<void()> before)
{
    auto input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    QSocketNotifier *notifier = input.get();
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app, notifier, before = std::move(before)] {
        char buffer[64];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0 || QByteArray(buffer, static_cast<int>(got)).contains("quit")) {
            notifier->setEnabled(false);
            before();
            app.quit();
        }
    });
    return input;
}
