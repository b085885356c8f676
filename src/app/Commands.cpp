#include "app/Commands.h"

QAction* CCommands::add(int nId, const QString& strCaption, const QList<QKeySequence>& keys,
                        bool bCheckable) {
    auto* pAction = new QAction(strCaption, this);
    pAction->setData(nId);
    pAction->setShortcuts(keys);
    pAction->setCheckable(bCheckable);
    pAction->setEnabled(false);
    // Shortcuts work wherever the focus is in the main window, like an accelerator table.
    pAction->setShortcutContext(Qt::WindowShortcut);
    m_actions[nId] = pAction;
    return pAction;
}

QAction* CCommands::action(int nId) const {
    auto it = m_actions.find(nId);
    return it == m_actions.end() ? nullptr : it->second;
}

void CCommands::handle(int nId, std::function<void()> fn) {
    QAction* pAction = action(nId);
    if (!pAction) return;
    connect(pAction, &QAction::triggered, this, [fn = std::move(fn)] { fn(); });
    pAction->setEnabled(true);
}

bool CCommands::trigger(int nId) {
    QAction* pAction = action(nId);
    if (!pAction || !pAction->isEnabled()) return false;
    pAction->trigger();
    return true;
}
