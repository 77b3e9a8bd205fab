#include "window_fixture.h"

#include "netware/client/password_hash.h"
#include "netware/directory_queries.h"
#include "ui/tree/context_browser.h"
#include "ui/tree/login_dialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <sys/prctl.h>

#include <map>

namespace {

// The ACME site with more containers: a country and a second organization
// at the top, listed before ACME; a unit below SALES; a locality, which the
// browsers never show; ADMIN in SALES with a password; and an LDAP tree
// whose server cannot be reached.
class TreeWindows : public WindowFixture {
protected:
    TreeWindows() {
        site = acme.site();
        QList<DirectoryObject>& objects = site.trees[0].objects;
        objects.prepend(AcmeSite::object("BETA", "Organization"));
        objects.prepend(AcmeSite::object("US", "Country"));
        DirectoryObject admin = AcmeSite::object("ADMIN.SALES.ACME", "User", 1004);
        admin.passwordHash = PasswordHash::make("secret");
        objects += {admin, AcmeSite::object("EAST.SALES.ACME", "Organizational Unit"),
                    AcmeSite::object("HQ.ACME", "Locality")};
        TreeConfig unreachable;
        unreachable.name = "LDAP_TREE";
        unreachable.directory = DirectoryKind::Ldap;
        unreachable.uri = "ldap://127.0.0.1:1";
        unreachable.baseDn = "o=acme";
        site.trees.append(unreachable);
        // Each window a test looks at, by name; any other is closed as it is.
        onDialog = [this](QDialog& dialog) {
            if (const auto it = handlers.find(dialog.objectName()); it != handlers.end())
                it->second(dialog);
        };
    }
    std::unique_ptr<WindowProgram> start() {
        WindowProgram::Options o = options();
        o.site = site;
        auto program = std::make_unique<WindowProgram>(o);
        EXPECT_TRUE(program->Form_Load());
        program->window().host().setAnswerer([this](const QString& text, const QString& title) {
            said.append(title + ": " + text);
            return false;
        });
        dialogs.clear();
        return program;
    }
    void storeUser(const QString& name, const QString& value) {
        QSettings(settingsDir.filePath("user.conf"), QSettings::IniFormat).setValue(name, value);
    }
    QVariant stored(const QString& name) const {
        return QSettings(settingsDir.filePath("user.conf"), QSettings::IniFormat).value(name);
    }
    // Opens the containers of the path in the browser from the keyboard and
    // chooses the last one; an empty path chooses the tree's root.
    static void choose(QDialog& browser, const QStringList& path, bool doubleClick = false) {
        auto* view = browser.findChild<QTreeWidget*>("treeviewContext");
        QTreeWidgetItem* node = view->topLevelItem(0);
        for (const QString& name : path) {
            view->setCurrentItem(node);
            QTest::keyClick(view, Qt::Key_Right);
            node = childNamed(node, name);
            ASSERT_NE(node, nullptr) << name.toStdString();
        }
        view->setCurrentItem(node);
        if (doubleClick)
            Q_EMIT view->itemDoubleClicked(node, 0);
        else
            browser.findChild<QPushButton*>("btnSelect")->click();
    }
    static QTreeWidgetItem* childNamed(QTreeWidgetItem* node, const QString& name) {
        for (int i = 0; i < node->childCount(); ++i) {
            if (node->child(i)->text(0) == name)
                return node->child(i);
        }
        return nullptr;
    }
    static QStringList childrenOf(const QTreeWidgetItem* node) {
        QStringList names;
        for (int i = 0; i < node->childCount(); ++i)
            names.append(node->child(i)->text(0));
        return names;
    }
    static void type(QDialog& dialog, const char* box, const QString& text) {
        auto* edit = dialog.findChild<QLineEdit*>(box);
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    // Opens the starting-container window from the Tools menu.
    void openStartingWindow(WindowProgram& program) {
        child<QAction>(program, "Menu_Select_Server_Starting_Container")->trigger();
    }

    Site site;
    QStringList said; // "title: text" of every message
    std::map<QString, std::function<void(QDialog&)>> handlers;
};

} // namespace

TEST_F(TreeWindows, ALoginGoesInFromTheRootAndMakesTheTreeItsCurrentOneUpperCased) {
    auto program = start();
    program->app().treeName = "HOST_TREE";
    LoginDialog login(program->window().treeParts(), &program->window());
    login.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&login));
    type(login, "txtTree", "acme_tree");
    type(login, "txtUserName", "ADMIN");
    type(login, "txtContext", "SALES.ACME");
    type(login, "txtPassword", "wrong");
    QTest::mouseClick(login.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    EXPECT_EQ(said, QStringList{"Login: Invalid Login id or Password, try again!"});
    // The password leaves the box with each try; none of it stays on show.
    auto* password = login.findChild<QLineEdit*>("txtPassword");
    EXPECT_EQ(password->text(), "");
    EXPECT_EQ(QApplication::focusWidget(), password);
    EXPECT_EQ(::prctl(PR_GET_DUMPABLE), 0); // no core dump while a password can be typed
    EXPECT_EQ(login.findChild<QLineEdit*>("txtContext")->text(), ".SALES.ACME");
    EXPECT_EQ(program->app().treeName, "HOST_TREE");
    EXPECT_FALSE(program->app().blnLoggedIn);
    QTest::keyClicks(password, "secret");
    QTest::mouseClick(login.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    EXPECT_EQ(login.result(), QDialog::Accepted);
    EXPECT_TRUE(program->app().blnLoggedIn);
    EXPECT_EQ(program->app().treeName, "ACME_TREE");
    EXPECT_EQ(fcnWhoAmIContext(program->window().env()), ".SALES.ACME"); // in as .ADMIN.SALES.ACME
    // A user name from the root takes the context as it is.
    LoginDialog again(program->window().treeParts(), &program->window());
    const std::pair<const char*, const char*> entries[] = {
        {"txtTree", "ACME_TREE"}, {"txtUserName", ".ADMIN"}, {"txtContext", ".SALES.ACME"}, {"txtPassword", "secret"}};
    for (const auto& [box, text] : entries)
        type(again, box, text);
    again.findChild<QPushButton*>("cmdOK")->click();
    EXPECT_EQ(again.result(), QDialog::Accepted);
    EXPECT_EQ(said.size(), 1);
}

TEST_F(TreeWindows, LoginNeedsTreeUserAndContextAndSaysWhenTheTreeCannotBeReached) {
    auto program = start();
    LoginDialog login(program->window().treeParts(), &program->window());
    auto* ok = login.findChild<QPushButton*>("cmdOK");
    EXPECT_FALSE(ok->isEnabled());
    // The context browser needs a tree to browse.
    login.findChild<QToolButton*>("btnContext")->click();
    EXPECT_EQ(said, QStringList{"Select Context: You must select a tree first."});
    EXPECT_TRUE(dialogs.isEmpty());
    type(login, "txtPassword", "secret");
    EXPECT_FALSE(ok->isEnabled());
    type(login, "txtTree", "ldap_tree");
    type(login, "txtUserName", "ADMIN");
    type(login, "txtContext", "ACME");
    EXPECT_TRUE(ok->isEnabled());
    for (const char* box : {"txtTree", "txtUserName", "txtContext"}) {
        auto* edit = login.findChild<QLineEdit*>(box);
        const QString text = edit->text();
        edit->clear();
        EXPECT_FALSE(ok->isEnabled()) << box;
        QTest::keyClicks(edit, text);
        EXPECT_TRUE(ok->isEnabled()) << box;
    }
    // A directory that does not answer, and a tree the client does not know
    // (where a user of the current tree must not get in).
    for (const char* tree : {"ldap_tree", "no_such_tree"}) {
        type(login, "txtTree", tree);
        type(login, "txtContext", "SALES.ACME");
        said.clear();
        ok->click();
        EXPECT_EQ(said, QStringList{"Login: Unable to attach to selected tree!"}) << tree;
        EXPECT_EQ(login.findChild<QLineEdit*>("txtPassword")->text(), "") << tree;
        type(login, "txtPassword", "secret");
    }
    EXPECT_EQ(program->app().treeName, "ACME_TREE");
    EXPECT_FALSE(program->app().blnLoggedIn);
}

TEST_F(TreeWindows, TheContainerBrowserListsEachLevelWhenItIsFirstOpened) {
    auto program = start();
    QStringList top, belowAcme, belowSales;
    QString salesKey, eastKey;
    bool closedAtFirst = true;
    handlers["frmLstConn"] = [&](QDialog& browser) {
        EXPECT_EQ(browser.windowTitle(), "Container");
        auto* view = browser.findChild<QTreeWidget*>("treeviewContext");
        ASSERT_EQ(view->topLevelItemCount(), 1);
        QTreeWidgetItem* root = view->topLevelItem(0);
        EXPECT_EQ(root->text(0), "ACME_TREE");
        EXPECT_TRUE(root->isExpanded());
        top = childrenOf(root);
        for (int i = 0; i < root->childCount(); ++i) {
            QTreeWidgetItem* node = root->child(i);
            // An expand box, nothing shown below it yet.
            closedAtFirst = closedAtFirst && node->childCount() > 0 && !node->isExpanded() &&
                            view->visualItemRect(node->child(0)).isEmpty();
        }
        QTreeWidgetItem* acmeNode = childNamed(root, "ACME");
        ASSERT_NE(acmeNode, nullptr);
        view->setCurrentItem(acmeNode);
        QTest::keyClick(view, Qt::Key_Right);
        belowAcme = childrenOf(acmeNode);
        QTreeWidgetItem* sales = childNamed(acmeNode, "SALES");
        ASSERT_NE(sales, nullptr);
        salesKey = sales->data(0, Qt::UserRole).toString();
        view->expandItem(sales);
        belowSales = childrenOf(sales);
        ASSERT_EQ(sales->childCount(), 1);
        eastKey = sales->child(0)->data(0, Qt::UserRole).toString();
        choose(browser, {"ACME", "SALES", "EAST"});
    };
    child<QPushButton>(*program, "btnShowTree")->click();
    EXPECT_EQ(dialogs, QStringList{"frmLstConn"});
    EXPECT_EQ(program->app().strBrowseCaller, "frmMain");
    EXPECT_EQ(top, (QStringList{"ACME", "BETA", "US"}));
    EXPECT_TRUE(closedAtFirst);
    EXPECT_EQ(belowAcme, QStringList{"SALES"}); // no locality, user or server
    EXPECT_EQ(belowSales, QStringList{"EAST"});
    EXPECT_EQ(salesKey, ".SALES.ACME.ACME_TREE");
    EXPECT_EQ(eastKey, ".EAST.SALES.ACME.ACME_TREE");
    auto* label = child<QLabel>(*program, "lblStartContainer");
    EXPECT_EQ(label->text(), "ACME_TREE\\ACME\\SALES\\EAST");
    EXPECT_EQ(label->toolTip(), "ACME_TREE\\ACME\\SALES\\EAST");
    EXPECT_TRUE(said.isEmpty()) << said.join("\n").toStdString();
}

TEST_F(TreeWindows, TheChosenContainerGoesToTheWindowThatAsked) {
    auto program = start();
    // The main window: its owner list follows the container.
    child<QRadioButton>(*program, "optSelectOwner")->click();
    handlers["frmLstConn"] = [](QDialog& browser) { choose(browser, {"ACME", "SALES"}, true); };
    child<QPushButton>(*program, "btnShowTree")->click();
    auto* owners = child<QComboBox>(*program, "cmbSelectedOwner");
    EXPECT_EQ(owners->count(), 5);
    // In name order, each with its full name beside it.
    EXPECT_EQ(owners->itemText(0), "ADMIN");
    EXPECT_EQ(owners->itemText(2), "JSMITH  John Smith");
    EXPECT_EQ(owners->itemData(2).toString(), "JSMITH");
    // The starting-container window: its own label, closed with a "\".
    QString custom;
    bool customChosen = false;
    handlers["frmSelectServerStartingContext"] = [&](QDialog& window) {
        window.findChild<QToolButton*>("btnSelectContext")->click();
        custom = window.findChild<QLabel*>("lblCustomContext")->text();
        customChosen = window.findChild<QRadioButton*>("optCustom")->isChecked();
    };
    openStartingWindow(*program);
    EXPECT_EQ(custom, "ACME_TREE\\ACME\\SALES\\");
    EXPECT_TRUE(customChosen);
    // The batch builder, through its place among the targets; the root as the tree's root.
    QStringList builder;
    program->window().browseTargets().setTarget("frmCreateCommandLineRun",
                                                [&](const QString& path) { builder.append(path); });
    handlers["frmLstConn"] = [](QDialog& browser) { choose(browser, {}); };
    for (const char* caller : {"frmCreateCommandLineRun", "frmOther"}) {
        program->app().strBrowseCaller = caller;
        ContextBrowser browser(program->window().env().client, program->window().host(),
                               ContextBrowser::forContainer(program->app(), program->window().browseTargets()));
        onDialog(browser);
    }
    EXPECT_EQ(builder, QStringList{"ACME_TREE\\[Root]"});
    EXPECT_EQ(child<QLabel>(*program, "lblStartContainer")->text(), "ACME_TREE\\ACME\\SALES");
}

TEST_F(TreeWindows, TheLoginContextBrowserGivesDottedNamesFromTheRoot) {
    auto program = start();
    LoginDialog login(program->window().treeParts(), &program->window());
    type(login, "txtTree", "ACME_TREE");
    QString caption;
    handlers["frmLoginContext"] = [&](QDialog& browser) {
        caption = browser.windowTitle();
        choose(browser, {"ACME", "SALES"});
    };
    login.findChild<QToolButton*>("btnContext")->click();
    EXPECT_EQ(caption, "Context");
    auto* context = login.findChild<QLineEdit*>("txtContext");
    EXPECT_EQ(context->text(), ".SALES.ACME");
    handlers["frmLoginContext"] = [](QDialog& browser) { choose(browser, {}); };
    login.findChild<QToolButton*>("btnContext")->click();
    EXPECT_EQ(context->text(), ".[Root]");
}

TEST_F(TreeWindows, AListingErrorNamesTheCodeAndTheContainer) {
    auto program = start();
    program->app().treeName = "LDAP_TREE";
    int nodes = -1;
    handlers["frmLstConn"] = [&](QDialog& browser) {
        nodes = browser.findChild<QTreeWidget*>("treeviewContext")->topLevelItem(0)->childCount();
    };
    child<QPushButton>(*program, "btnShowTree")->click();
    ASSERT_EQ(said.size(), 1);
    static const QRegularExpression error(
        R"(^Quarvo: Error - -?\d+ listing containers! Selected container is: \[Root\]$)");
    EXPECT_TRUE(error.match(said[0]).hasMatch()) << said[0].toStdString();
    EXPECT_FALSE(said[0].contains("- 0 ")) << "a failure has a code";
    EXPECT_EQ(nodes, 0);
}

TEST_F(TreeWindows, TheStartingContainerWindowOpensOnTheStoredChoice) {
    struct Case {
        QString stored;
        const char* option;
        QString custom;
    };
    for (const Case& c : {Case{"ACME_TREE\\[Root]", "optRoot", ""}, Case{"ACME_TREE\\ACME\\", "optCurrentContext", ""},
                          Case{"ACME_TREE\\ACME\\SALES\\", "optCustom", "ACME_TREE\\ACME\\SALES\\"}}) {
        storeUser("StartingServerContext", c.stored);
        auto program = start();
        QString chosen, custom, root, current;
        handlers["frmSelectServerStartingContext"] = [&](QDialog& window) {
            for (const char* option : {"optRoot", "optCurrentContext", "optCustom"}) {
                if (window.findChild<QRadioButton*>(option)->isChecked())
                    chosen += option;
            }
            custom = window.findChild<QLabel*>("lblCustomContext")->text();
            root = window.findChild<QLabel*>("lblTreeRoot")->text();
            current = window.findChild<QLabel*>("lblCurrentContext")->text();
        };
        openStartingWindow(*program);
        EXPECT_EQ(chosen, c.option) << c.stored.toStdString();
        EXPECT_EQ(custom, c.custom) << c.stored.toStdString();
        EXPECT_EQ(root, "ACME_TREE\\[Root]");
        EXPECT_EQ(current, "ACME_TREE\\ACME\\"); // ADMIN.ACME before any login
    }
    // Another tree chosen in the list: its root, and the user's container there.
    auto program = start();
    QString chosen, root;
    handlers["frmSelectServerStartingContext"] = [&](QDialog& window) {
        auto* trees = window.findChild<QComboBox*>("cmbTree");
        trees->setCurrentText("HOST_TREE");
        Q_EMIT trees->activated(trees->currentIndex());
        chosen = window.findChild<QRadioButton*>("optRoot")->isChecked() ? "optRoot" : "other";
        root = window.findChild<QLabel*>("lblTreeRoot")->text();
    };
    openStartingWindow(*program);
    EXPECT_EQ(chosen, "optRoot");
    EXPECT_EQ(root, "HOST_TREE\\[Root]");
}

TEST_F(TreeWindows, SelectWithAContainerToSpecifyButNoneChosenWritesNothing) {
    auto program = start();
    const QVariant before = stored("StartingServerContext");
    bool stays = false;
    handlers["frmSelectServerStartingContext"] = [&](QDialog& window) {
        window.findChild<QRadioButton*>("optCustom")->click();
        window.findChild<QPushButton*>("btnSave")->click();
        stays = window.result() != QDialog::Accepted;
    };
    openStartingWindow(*program);
    EXPECT_EQ(said, QStringList{"Select Specific Container: You must specify a container to continue."});
    EXPECT_TRUE(stays);
    EXPECT_EQ(stored("StartingServerContext"), before);
    EXPECT_FALSE(stored("ServerSearchSubContainers").isValid());
}

TEST_F(TreeWindows, AContainerWithoutServersBringsBackTheStoredOne) {
    auto program = start();
    // FS1 is directly in ACME, the user's own container.
    handlers["frmSelectServerStartingContext"] = [](QDialog& window) {
        window.findChild<QRadioButton*>("optCurrentContext")->click();
        window.findChild<QCheckBox*>("chkSearchSubContainers")->setChecked(false);
        window.findChild<QPushButton*>("btnSave")->click();
    };
    openStartingWindow(*program);
    EXPECT_TRUE(said.isEmpty()) << said.join("\n").toStdString();
    EXPECT_EQ(stored("StartingServerContext").toString(), "ACME_TREE\\ACME\\");
    EXPECT_EQ(stored("ServerSearchSubContainers").toString(), "False");
    // SALES holds none, even with its sub-containers.
    bool stays = false;
    handlers["frmLstConn"] = [](QDialog& browser) { choose(browser, {"ACME", "SALES"}); };
    handlers["frmSelectServerStartingContext"] = [&](QDialog& window) {
        window.findChild<QToolButton*>("btnSelectContext")->click();
        window.findChild<QCheckBox*>("chkSearchSubContainers")->setChecked(true);
        window.findChild<QPushButton*>("btnSave")->click();
        stays = window.result() != QDialog::Accepted;
    };
    openStartingWindow(*program);
    EXPECT_EQ(said, QStringList{"No Servers in Container: There are no servers in the selected container or "
                                "sub-containers.  Please choose another starting container."});
    EXPECT_TRUE(stays);
    EXPECT_EQ(stored("StartingServerContext").toString(), "ACME_TREE\\ACME\\");
    EXPECT_EQ(stored("ServerSearchSubContainers").toString(), "True");
    // Closed with no server listed: the lists are built again from the stored container.
    EXPECT_EQ(child<QComboBox>(*program, "cmbServer")->currentText(), "FS1");
}

TEST_F(TreeWindows, AnotherTreeResetsTheOwnerTabsContainerAndCancelKeepsTheTree) {
    auto program = start();
    program->window().env().search.lblStartContainer = "ACME_TREE\\ACME\\SALES";
    const auto chooseTree = [](QDialog& window, const QString& tree) {
        auto* trees = window.findChild<QComboBox*>("cmbTree");
        trees->setCurrentText(tree);
        Q_EMIT trees->activated(trees->currentIndex());
    };
    handlers["frmSelectServerStartingContext"] = [&](QDialog& window) {
        chooseTree(window, "HOST_TREE");
        window.findChild<QPushButton*>("btnCancel")->click();
    };
    openStartingWindow(*program);
    EXPECT_EQ(program->app().treeName, "ACME_TREE");
    handlers["frmSelectServerStartingContext"] = [&](QDialog& window) {
        chooseTree(window, "HOST_TREE");
        window.findChild<QPushButton*>("btnSave")->click();
    };
    openStartingWindow(*program);
    EXPECT_EQ(program->app().treeName, "HOST_TREE");
    EXPECT_EQ(stored("Tree").toString(), "HOST_TREE");
    EXPECT_EQ(child<QLabel>(*program, "lblStartContainer")->text(), "HOST_TREE\\[Root]");
    EXPECT_GT(child<QComboBox>(*program, "cmbServer")->count(), 0);
}

TEST_F(TreeWindows, StartupAsksWhereTheServerListStartsAndEndsWhenNoTreeIsLeft) {
    storeUser("Tree", "FAR_TREE"); // not connected
    storeUser("StartingServerContext", "ACME_TREE\\[Root]");
    QString shownTree;
    handlers["frmSelectServerStartingContext"] = [&](QDialog& window) {
        shownTree = window.findChild<QComboBox*>("cmbTree")->currentText();
    };
    {
        auto program = start();
        EXPECT_EQ(shownTree, "ACME_TREE");
        EXPECT_EQ(program->app().treeName, "ACME_TREE");
    }
    // Nothing connected: cancelling leaves no tree to work on.
    for (TreeConfig& tree : site.trees)
        tree.connected = false;
    handlers["frmSelectServerStartingContext"] = [&](QDialog& window) {
        shownTree = window.findChild<QComboBox*>("cmbTree")->currentText();
        window.findChild<QPushButton*>("btnCancel")->click();
    };
    WindowProgram::Options o = options();
    o.site = site;
    WindowProgram program(o);
    EXPECT_FALSE(program.Form_Load());
    EXPECT_EQ(shownTree, "");
}

TEST_F(TreeWindows, TheServerButtonsAndTheToolsMenuOpenTheStartingContainerWindow) {
    auto program = start();
    child<QPushButton>(*program, "btnServerList")->click();
    child<QPushButton>(*program, "btnServerList2")->click();
    openStartingWindow(*program);
    EXPECT_EQ(dialogs, QStringList(3, "frmSelectServerStartingContext"));
    EXPECT_EQ(child<QAction>(*program, "Menu_Select_Server_Starting_Container")->text(),
              "Select Server List Starting Co&ntainer");
}
