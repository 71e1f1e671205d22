#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// Acts on the next modal dialog of type T once it shows, so code that calls
// exec() can be driven by a test. When none shows in time the test fails and
// the open modal dialogs are cancelled, so the test never hangs.
template <typename T>
void WhenModal(std::function<void(T &dialog)> action, int attempts = 500)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    auto left = std::make_shared<int>(attempts);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action, left] {
        if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            action(*dialog);
            return;
        }
        if (--*left > 0)
            return;
        timer->stop();
        timer->deleteLater();
        ADD_FAILURE() << "the expected modal dialog did not show";
        while (auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            modal->done(QDialog::Rejected);
    });
    timer->start();
}
