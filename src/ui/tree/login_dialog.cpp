#include "ui/tree/login_dialog.h"

#include "netware/client/secret_bytes.h"
#include "netware/container_tree.h"
#include "netware/tree_login.h"
#include "ui/tree/available_trees_dialog.h"
#include "ui/tree/context_browser.h"
#include "ui/tree/tree_icons.h"
#include "ui_frmLogin.h"

#include <QKeyEvent>

#include <sys/prctl.h>

namespace {

QString loginTitle() {
    return QStringLiteral("Login");
}

} // namespace

LoginDialog::LoginDialog(const TreeWindowParts& parts, QWidget* parent)
    : QDialog(parent), m_parts(parts), m_wasDumpable(::prctl(PR_GET_DUMPABLE)), m_ui(std::make_unique<Ui::frmLogin>()) {
    ::prctl(PR_SET_DUMPABLE, 0);
    m_ui->setupUi(this);
    if (parent)
        setWindowIcon(parent->windowIcon());
    m_ui->btnListTrees->setIcon(TreeIcons::of(ContainerTree::kTreeIcon));
    m_ui->btnContext->setIcon(TreeIcons::of(ContainerTree::kUnitIcon));
    for (QLineEdit* box : {m_ui->txtTree, m_ui->txtUserName, m_ui->txtContext})
        connect(box, &QLineEdit::textChanged, this, &LoginDialog::subLoginButton);
    connect(m_ui->cmdOK, &QPushButton::clicked, this, &LoginDialog::cmdOK_Click);
    connect(m_ui->cmdCancel, &QPushButton::clicked, this, &LoginDialog::cmdCancel_Click);
    connect(m_ui->btnListTrees, &QToolButton::clicked, this, &LoginDialog::btnListTrees_Click);
    connect(m_ui->btnContext, &QToolButton::clicked, this, &LoginDialog::btnContext_Click);
}

LoginDialog::~LoginDialog() {
    ::prctl(PR_SET_DUMPABLE, m_wasDumpable);
}

void LoginDialog::subLoginButton() {
    m_ui->cmdOK->setEnabled(
        TreeLogin::allowed(m_ui->txtTree->text(), m_ui->txtUserName->text(), m_ui->txtContext->text()));
}

void LoginDialog::cmdOK_Click() {
    Host& host = m_parts.env.host;
    if (m_ui->txtUserName->text().isEmpty() || m_ui->txtTree->text().isEmpty()) {
        host.message(QStringLiteral("Tree and Username cannot be blank"), loginTitle());
        return;
    }
    host.setBusy(true);
    m_ui->txtContext->setText(TreeLogin::fcnRootedContext(m_ui->txtContext->text()));
    // The password leaves the box with each try: nothing of it stays on show
    // or in memory once the login has had it.
    TreeLogin::Entry entry{m_ui->txtTree->text(), m_ui->txtUserName->text(), m_ui->txtContext->text(),
                           m_ui->txtPassword->text(), m_ui->txtServer->text()};
    m_ui->txtPassword->clear();
    const NWDSCCODE result = TreeLogin::subLogin(m_parts.env.client, m_parts.env.app, entry);
    SecretBytes::wipe(entry.password);
    host.setBusy(false);
    if (result == nw::SUCCESSFUL) {
        accept();
        return;
    }
    host.message(TreeLogin::failureMessage(result), loginTitle());
    selectPassword();
}

// Ready to be typed again: the emptied password box has the focus.
void LoginDialog::selectPassword() {
    m_ui->txtPassword->setFocus();
}

void LoginDialog::cmdCancel_Click() {
    m_parts.env.app.blnLoggedIn = false;
    reject();
}

// Esc is the Cancel button; the close box only closes.
void LoginDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        m_ui->cmdCancel->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void LoginDialog::btnListTrees_Click() {
    AvailableTreesDialog trees(m_parts.env, [this](const QString& tree) { m_ui->txtTree->setText(tree); }, this);
    m_parts.runDialog(trees);
}

void LoginDialog::btnContext_Click() {
    const QString tree = m_ui->txtTree->text();
    if (tree.isEmpty()) {
        m_parts.env.host.message(QStringLiteral("You must select a tree first."), QStringLiteral("Select Context"));
        return;
    }
    const auto setContext = [this](const QString& dotted) { m_ui->txtContext->setText(dotted); };
    ContextBrowser browser(m_parts.env.client, m_parts.env.host,
                           ContextBrowser::forLogin(tree, m_ui->txtServer->text(), setContext), this);
    m_parts.runDialog(browser);
}
