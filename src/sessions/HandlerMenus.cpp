#include "HandlerMenus.h"

#include "FileHandlerCollection.h"

#include <QAction>
#include <QMenu>

HandlerMenus::HandlerMenus() : m_quickEdit(QStringList()), m_open(QStringList()) {}

void HandlerMenus::Build(const FileHandlerCollection &handlers)
{
    m_keys.clear();
    m_view.clear();
    m_edit.clear();
    QStringList quickEdit, open;
    for (const FileHandler &handler : handlers) {
        // The ticks count whether or not the handler also names a program.
        const QStringList patterns = FileTypePatterns(handler.FilePatterns());
        if (handler.InternalEditorEnabled() == 1)
            quickEdit << patterns;
        if (handler.SystemOpenEnabled() == 1)
            open << patterns;
        if (handler.ApplicationPath().isEmpty())
            continue;
        m_keys.push_back({handler.ApplicationTitle(), handler.UniqueID()});
        const int index = static_cast<int>(m_keys.size());
        if (handler.Action() != 2)
            m_view.push_back(index);
        if (handler.Action() != 1)
            m_edit.push_back(index);
    }
    m_quickEdit = WildcardPatternList(quickEdit);
    m_open = WildcardPatternList(open);
}

const HandlerMenus::Key *HandlerMenus::KeyAt(int index) const
{
    if (index < 1 || index > KeyCount())
        return nullptr;
    return &m_keys[index - 1];
}

void HandlerMenus::FillMenu(QMenu *menu, bool edit) const
{
    if (!menu)
        return;
    menu->clear();
    const QVector<int> &items = edit ? m_edit : m_view;
    for (int index : items) {
        QAction *item = menu->addAction(m_keys[index - 1].Title);
        item->setData(index);
    }
    if (items.isEmpty()) {
        QAction *none = menu->addAction(QStringLiteral("<Not Available>"));
        none->setEnabled(false);
    }
}
