#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// The name of a WhenModal wait still pending, a child of the application. A
// wait ends with its test: one left when the test ends fails that test (see
// FailPendingModalWaits), never acts on the dialogs of the next test in the
// same process.
inline const QString kWhenModalWait = QStringLiteral("WhenModalWait");

// Acts on the next modal dialog of type T once it shows, so code that calls
// exec() can be driven by a test. When none shows in time the test fails and
// the open modal dialogs are cancelled, so the test never hangs.
template <typename T>
void WhenModal(std::function<void(T &dialog)> action, int attempts = 500)
{
    auto *timer = new QTimer(QApplication::instance());
    timer->setObjectName(kWhenModalWait);
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

// Called as each test ends: a dialog some WhenModal waited for never showed
// during the test, which fails, and the wait ends.
inline void FailPendingModalWaits()
{
    const QList<QTimer *> pending
        = QApplication::instance()->findChildren<QTimer *>(kWhenModalWait, Qt::FindDirectChildrenOnly);
    for (QTimer *timer : pending) {
        if (timer->isActive())
            ADD_FAILURE() << "the expected modal dialog did not show";
        delete timer;
    }
}
