#include "app/Commands.h"

QAction* CCommands::add(int nId, const QString& strCaption, const QList<QKeySequence>& keys,
                        bool bCheckable) {
    auto* pAction = new QAction(strCaption, this);
    pAction->setData(nId);
    pAction->setCheckable(bCheckable);
    pAction->setEnabled(false);
    // Shortcuts work wherever the focus is in the main window, like an accelerator table.
    pAction->setShortcutContext(Qt::WindowShortcut);
    if (!keys.isEmpty() && !strCaption.isEmpty() && !strCaption.contains(QLatin1Char('\t'))) {
        auto* pKeys = new QAction(this);
        pKeys->setShortcuts(keys);
        pKeys->setShortcutContext(Qt::WindowShortcut);
        pKeys->setEnabled(false);
        connect(pKeys, &QAction::triggered, pAction, &QAction::trigger);
        connect(pAction, &QAction::enabledChanged, pKeys, &QAction::setEnabled);
        m_companions[nId] = pKeys;
        m_keyOnly.push_back(pKeys);
    } else {
        pAction->setShortcuts(keys);
    }
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

QList<QKeySequence> CCommands::keys(int nId) const {
    auto it = m_companions.find(nId);
    if (it != m_companions.end()) return it->second->shortcuts();
    const QAction* pAction = action(nId);
    return pAction ? pAction->shortcuts() : QList<QKeySequence>{};
}

bool CCommands::trigger(int nId) {
    QAction* pAction = action(nId);
    if (!pAction || !pAction->isEnabled()) return false;
    pAction->trigger();
    return true;
}
