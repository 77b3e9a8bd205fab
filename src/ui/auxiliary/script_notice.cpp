#include "ui/auxiliary/script_notice.h"

#include "ui/auxiliary/desktop.h"
#include "ui/auxiliary/maker_addresses.h"
#include "ui_frmWindowsScript.h"

#include <QApplication>

namespace {

const QString kScriptScreen = QStringLiteral("ScriptScreen");

} // namespace

ScriptNotice::ScriptNotice(SettingsStore& settings, Desktop& desktop, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_desktop(desktop), m_ui(std::make_unique<Ui::frmWindowsScript>()) {
    m_ui->setupUi(this);
    if (parent)
        setWindowIcon(parent->windowIcon());
    m_ui->lblWindowsScript->setText(
        QStringLiteral("Quarvo requires Microsoft Windows Scripting Runtime ") +
        QStringLiteral("to work properly.  If you experience problems with Quarvo, you may need to ") +
        QStringLiteral("download it from Microsoft Downloads."));
    m_ui->chkDontShowAgain->setChecked(m_settings.readMachine(kScriptScreen).value_or(QString()) != QLatin1String("1"));
    connect(m_ui->btnMicrosoftCom, &QPushButton::clicked, this, &ScriptNotice::btnMicrosoftCom_Click);
    connect(m_ui->btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(this, &QDialog::finished, this, &ScriptNotice::Form_Unload);
}

ScriptNotice::~ScriptNotice() = default;

bool ScriptNotice::due(const SettingsStore& settings) {
    const std::optional<QString> value = settings.readMachine(kScriptScreen);
    return !value || *value == QLatin1String("1");
}

void ScriptNotice::btnMicrosoftCom_Click() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_desktop.openUrl(QUrl(MakerAddresses::scriptingDownloads()));
    QApplication::restoreOverrideCursor();
}

void ScriptNotice::Form_Unload() {
    m_settings.writeMachine(kScriptScreen, m_ui->chkDontShowAgain->isChecked() ? QStringLiteral("0")
                                                                                : QStringLiteral("1"));
}
