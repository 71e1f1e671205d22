#pragma once
// What the search and compare windows' tests check of a window keeping the
// size the user gave it, and of result columns reading whole.
#include "FileListModel.h"
#include "ShownToolTip.h"

#include <QCoreApplication>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

[[nodiscard]] inline bool ShowSized(QWidget &window, QSize size)
{
    window.resize(size);
    window.show();
    return QTest::qWaitForWindowExposed(&window);
}

// The widest the window became while `run` ran, its last events included.
inline int WidestWhile(QWidget &window, const std::function<void()> &run)
{
    int widest = window.width();
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] { widest = std::max(widest, window.width()); });
    watch.start(0);
    run();
    QCoreApplication::processEvents();
    return widest;
}

inline QSize SettledSize(QWidget &window)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::processEvents();
    return window.size();
}

// Shows the window at the narrowest the user can make it; returns that size,
// invalid when it did not show.
[[nodiscard]] inline QSize ShowAtNarrowest(QWidget &window)
{
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return {};
    window.resize(window.minimumSizeHint());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    return window.size();
}

[[nodiscard]] inline bool WriteSparseFile(const QString &path, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.resize(size); // sparse: no bytes written
}

// The row's name reads whole in the "File" column, its location (which the
// column may cut) whole in the cell's tool tip.
inline void ExpectNameWholeAndLocationInToolTip(QTreeView &list, const FileListModel &model, const QString &name)
{
    const int row = model.findText(name);
    ASSERT_GE(row, 0) << name.toStdString();
    EXPECT_GE(list.columnWidth(0), list.sizeHintForIndex(model.index(row, 0)).width());
    const QModelIndex location = model.index(row, 1);
    EXPECT_EQ(ShownToolTip(&list, location).toStdString(), location.data().toString().toStdString());
}

inline void ExpectSizeWhole(QTreeView &list, const FileListModel &model, const QString &name)
{
    const QModelIndex size = model.index(model.findText(name), 2);
    ASSERT_TRUE(size.isValid()) << name.toStdString();
    EXPECT_GE(list.columnWidth(2), list.sizeHintForIndex(size).width()) << size.data().toString().toStdString();
}
