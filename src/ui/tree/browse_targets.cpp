#include "ui/tree/browse_targets.h"

void BrowseTargets::setTarget(const QString& windowName, Target target) {
    m_targets.insert(windowName, std::move(target));
}

void BrowseTargets::removeTarget(const QString& windowName) {
    m_targets.remove(windowName);
}

void BrowseTargets::subSelectContext(const QString& caller, const QString& treePath) const {
    const auto it = m_targets.constFind(caller);
    if (it == m_targets.constEnd() || !*it)
        return;
    // The starting-container window shows containers as its other labels
    // do, closed with a "\".
    if (caller == QLatin1String("frmSelectServerStartingContext"))
        (*it)(treePath + QLatin1Char('\\'));
    else
        (*it)(treePath);
}
