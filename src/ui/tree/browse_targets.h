#pragma once

#include <QHash>
#include <QString>

#include <functional>

// Where the container browser (frmLstConn) hands the chosen container: to
// the window that opened it, named in strBrowseCaller. Each window that can
// open the browser registers itself while it is open ("frmMain",
// "frmSelectServerStartingContext", "frmCreateCommandLineRun").
class BrowseTargets {
public:
    using Target = std::function<void(const QString& text)>;

    void setTarget(const QString& windowName, Target target);
    void removeTarget(const QString& windowName);

    // Hands the tree path (TREE\ACME\SALES) to the caller in the form it
    // shows; a caller that is not open gets nothing.
    void subSelectContext(const QString& caller, const QString& treePath) const;

private:
    QHash<QString, Target> m_targets;
};
