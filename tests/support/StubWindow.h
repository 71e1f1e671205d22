#pragma once

#include "KeyedImageList.h"
#include "MainWindowServices.h"

// A main window that does nothing and has no session: tests override the
// services they watch or steer.
class StubWindow : public MainWindowServices
{
public:
    void ShowInfo(int &, const QString &, const QString &) override {}
    void LoadTasks(const QString &) override {}
    bool ServerConnected(int) const override { return false; }
    bool SecondPaneShown() const override { return false; }
    KeyedImageList &ImageList2() override { return images; }
    KeyedImageList &ImageList1() override { return pictures; }
    void ShowQor() override {}

    KeyedImageList images;
    KeyedImageList pictures;
};
