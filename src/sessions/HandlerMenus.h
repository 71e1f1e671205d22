#pragma once

#include "WildcardPattern.h"

#include <QString>
#include <QVector>

class FileHandlerCollection;
class QMenu;

// The remote panes' handler menus as the running configuration defines them:
// the handlers with a program, by menu index (from 1), which of them view and
// which edit, and the name patterns for which the quick editor and the
// desktop's default open are allowed (from every handler that ticks them).
class HandlerMenus
{
public:
    struct Key {
        QString Title;
        QString UniqueID;
    };
    enum Mode { OpenDefault = 0, QuickEdit = 1, ViewWith = 2, EditWith = 3 };

    HandlerMenus();
    void Build(const FileHandlerCollection &handlers);

    // Pair k (from 1); nothing for an index out of range.
    const Key *KeyAt(int index) const;
    int KeyCount() const { return static_cast<int>(m_keys.size()); }
    const QVector<int> &ViewItems() const { return m_view; }
    const QVector<int> &EditItems() const { return m_edit; }

    bool QuickEditAllowed(const QString &name) const { return m_quickEdit.Matches(name); }
    bool OpenAllowed(const QString &name) const { return m_open.Matches(name); }

    // Fills a "View With" or "Edit With" submenu: one item per handler,
    // caption the title, data the index; "<Not Available>" when empty.
    void FillMenu(QMenu *menu, bool edit) const;

private:
    QVector<Key> m_keys;
    QVector<int> m_view;
    QVector<int> m_edit;
    WildcardPatternList m_quickEdit;
    WildcardPatternList m_open;
};
