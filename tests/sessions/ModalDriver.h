#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

// Acts on the next modal dialog of type T once it shows, so code that calls
// exec() can be driven by a test. When none shows in time the test fails and
// every modal dialog is cancelled, so the test never hangs.
template <typename T>
void WhenModalShows(std::function<void(T &dialog)> action, int attempts = 300)
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
        ADD_FAILURE() << "no modal dialog of the expected type showed";
        while (auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            modal->done(QDialog::Rejected);
    });
    timer->start();
}
