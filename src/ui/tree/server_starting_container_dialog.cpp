#include "ui/tree/server_starting_container_dialog.h"

#include "netware/container_tree.h"
#include "netware/directory_queries.h"
#include "netware/server_starting_container.h"
#include "ui/tree/context_browser.h"
#include "ui/tree/login_dialog.h"
#include "ui/tree/tree_icons.h"
#include "ui/twips.h"
#include "ui_frmSelectServerStartingContext.h"

#include <QKeyEvent>

using ServerStartingContainer::Option;

namespace {

QString windowName() {
    return QStringLiteral("frmSelectServerStartingContext");
}

} // namespace

ServerStartingContainerDialog::ServerStartingContainerDialog(const TreeWindowParts& parts,
                                                             std::function<void()> mainWindowChanged,
                                                             QWidget* parent)
    : QDialog(parent), m_parts(parts), m_mainWindowChanged(std::move(mainWindowChanged)),
      m_ui(std::make_unique<Ui::frmSelectServerStartingContext>()) {
    m_ui->setupUi(this);
    if (parent)
        setWindowIcon(parent->windowIcon());
    m_ui->btnSelectContext->setIcon(TreeIcons::of(ContainerTree::kUnitIcon));
    for (QLabel* label : {m_ui->lblCurrentContext, m_ui->lblCustomContext})
        label->installEventFilter(this);
    connect(m_ui->cmbTree, &QComboBox::activated, this, &ServerStartingContainerDialog::cmbTree_Click);
    connect(m_ui->btnChangeTree, &QPushButton::clicked, this, &ServerStartingContainerDialog::btnChangeTree_Click);
    connect(m_ui->btnSelectContext, &QToolButton::clicked, this,
            &ServerStartingContainerDialog::btnSelectContext_Click);
    connect(m_ui->btnSave, &QPushButton::clicked, this, &ServerStartingContainerDialog::btnSave_Click);
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &ServerStartingContainerDialog::btnCancel_Click);
    m_parts.targets.setTarget(windowName(), [this](const QString& path) { m_ui->lblCustomContext->setText(path); });
    m_ui->lblOldTree->setText(m_parts.env.app.treeName);
    subGetConnectedTrees();
    subListTreeContainers();
    m_ui->chkSearchSubContainers->setChecked(m_parts.env.app.serverSearchSubContainers);
}

ServerStartingContainerDialog::~ServerStartingContainerDialog() {
    m_parts.targets.removeTarget(windowName());
}

void ServerStartingContainerDialog::subGetConnectedTrees() {
    ReportEnv& env = m_parts.env;
    env.host.setBusy(true);
    m_ui->cmbTree->clear();
    m_ui->cmbTree->addItems(subListConnectedTrees(env));
    // The current tree shown as if chosen; a tree not connected leaves the list blank.
    m_ui->cmbTree->setCurrentIndex(m_ui->cmbTree->findText(env.app.treeName, Qt::MatchFixedString));
    if (m_ui->cmbTree->currentIndex() >= 0)
        cmbTree_Click();
    env.host.setBusy(false);
}

void ServerStartingContainerDialog::cmbTree_Click() {
    m_parts.env.app.treeName = m_ui->cmbTree->currentText();
    subListTreeContainers();
}

void ServerStartingContainerDialog::subListTreeContainers() {
    const ServerStartingContainer::Labels labels =
        ServerStartingContainer::subListTreeContainers(m_parts.env, m_ui->lblOldTree->text(), m_strSavedStartContainer);
    m_ui->lblTreeRoot->setText(labels.lblTreeRoot);
    m_ui->lblCurrentContext->setText(labels.lblCurrentContext);
    if (labels.lblCustomContext)
        m_ui->lblCustomContext->setText(*labels.lblCustomContext);
    m_ui->optRoot->setChecked(labels.option == Option::optRoot);
    m_ui->optCurrentContext->setChecked(labels.option == Option::optCurrentContext);
    m_ui->optCustom->setChecked(labels.option == Option::optCustom);
}

void ServerStartingContainerDialog::btnSelectContext_Click() {
    ReportEnv& env = m_parts.env;
    m_ui->optCustom->setChecked(true);
    env.app.strBrowseCaller = windowName();
    env.host.setBusy(true);
    ContextBrowser browser(env.client, env.host, ContextBrowser::forContainer(env.app, m_parts.targets), this);
    m_parts.runDialog(browser);
    env.host.setBusy(false);
}

void ServerStartingContainerDialog::btnChangeTree_Click() {
    LoginDialog login(m_parts, this);
    m_parts.runDialog(login);
    if (m_parts.env.app.blnLoggedIn)
        subGetConnectedTrees();
}

QLabel* ServerStartingContainerDialog::chosenLabel() const {
    if (m_ui->optCurrentContext->isChecked())
        return m_ui->lblCurrentContext;
    return m_ui->optCustom->isChecked() ? m_ui->lblCustomContext : m_ui->lblTreeRoot;
}

void ServerStartingContainerDialog::btnSave_Click() {
    const Option option = m_ui->optCurrentContext->isChecked() ? Option::optCurrentContext
                          : m_ui->optCustom->isChecked()       ? Option::optCustom
                                                               : Option::optRoot;
    const ServerStartingContainer::Outcome outcome = ServerStartingContainer::subSelect(
        m_parts.env, m_parts.settings, {option, chosenLabel()->text(), m_ui->chkSearchSubContainers->isChecked()},
        m_ui->lblOldTree->text(), m_strSavedStartContainer);
    if (outcome == ServerStartingContainer::Outcome::NoContainer)
        return;
    m_mainWindowChanged();
    if (outcome == ServerStartingContainer::Outcome::Done)
        accept();
}

void ServerStartingContainerDialog::btnCancel_Click() {
    if (m_ui->cmbTree->currentText().isEmpty())
        m_endsProgram = true;
    else
        m_parts.env.app.treeName = m_ui->lblOldTree->text();
    reject();
}

// However it closes, a tree to work on and no servers listed: the lists are
// built again, so the main window is not left without a server.
void ServerStartingContainerDialog::done(int result) {
    ReportEnv& env = m_parts.env;
    if (!m_ui->cmbTree->currentText().isEmpty() && env.search.cmbServer.isEmpty()) {
        env.host.setBusy(true);
        subListServers(env, m_parts.settings, QStringLiteral("NCP Server"));
        m_mainWindowChanged();
        env.host.setBusy(false);
    }
    QDialog::done(result);
}

// Esc is the Cancel button; the close box only closes.
void ServerStartingContainerDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        m_ui->btnCancel->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool ServerStartingContainerDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip)
        showWholeCaptionTip(static_cast<QLabel*>(watched));
    return QDialog::eventFilter(watched, event);
}

// A path longer than its label can show is there in full as the tooltip.
void ServerStartingContainerDialog::showWholeCaptionTip(QLabel* label) {
    const int room = label->width() - Twips::toPixels(40, *label);
    label->setToolTip(label->fontMetrics().horizontalAdvance(label->text()) > room ? label->text() : QString());
}
