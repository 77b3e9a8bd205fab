#include "ui/auxiliary/script_notice.h"

#include "ui/auxiliary/desktop.h"
#include "ui/auxiliary/maker_addresses.h"
#include "ui_frmWindowsScript.h"

#include <QApplication>

namespace {

const QString kScriptScreen = QStringLiteral("ScriptScreen");

// The scripting runtime exists on Windows only. Elsewhere the notice says
// what Quarvo needs there instead, is never due at start, and leaves
// "ScriptScreen" as it is for a Windows start to read.
#ifdef Q_OS_WIN
constexpr bool kRuntimePlatform = true;
#else
constexpr bool kRuntimePlatform = false;
#endif

QString platformNeeds(Desktop& desktop) {
    const QString opener = desktop.findProgram({QStringLiteral("xdg-open")});
    return QStringLiteral("On Linux, Quarvo needs read access to the volumes it reports on, and write access "
                          "to the folders of the files it moves or deletes.\n\n"
                          "Explore Directory opens the folder with xdg-open, or the desktop's file manager. ") +
           (opener.isEmpty() ? QStringLiteral("xdg-open was not found on the PATH: install xdg-utils, or open "
                                              "folders in a file manager yourself.")
                             : QStringLiteral("xdg-open is at %1.").arg(opener));
}

} // namespace

ScriptNotice::ScriptNotice(SettingsStore& settings, Desktop& desktop, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_desktop(desktop), m_ui(std::make_unique<Ui::frmWindowsScript>()) {
    m_ui->setupUi(this);
    if (parent)
        setWindowIcon(parent->windowIcon());
    if (kRuntimePlatform) {
        m_ui->lblWindowsScript->setText(
            QStringLiteral("Quarvo requires Microsoft Windows Scripting Runtime ") +
            QStringLiteral("to work properly.  If you experience problems with Quarvo, you may need to ") +
            QStringLiteral("download it from Microsoft Downloads."));
    } else {
        m_ui->lblWindowsScript->setText(platformNeeds(m_desktop));
        m_ui->chkDontShowAgain->hide();
        m_ui->btnMicrosoftCom->hide();
    }
    m_ui->chkDontShowAgain->setChecked(m_settings.readMachine(kScriptScreen).value_or(QString()) != QLatin1String("1"));
    connect(m_ui->btnMicrosoftCom, &QPushButton::clicked, this, &ScriptNotice::btnMicrosoftCom_Click);
    connect(m_ui->btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(this, &QDialog::finished, this, &ScriptNotice::Form_Unload);
}

ScriptNotice::~ScriptNotice() = default;

bool ScriptNotice::due(const SettingsStore& settings) {
    if (!kRuntimePlatform)
        return false;
    const std::optional<QString> value = settings.readMachine(kScriptScreen);
    return !value || *value == QLatin1String("1");
}

void ScriptNotice::btnMicrosoftCom_Click() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_desktop.openUrl(QUrl(MakerAddresses::scriptingDownloads()));
    QApplication::restoreOverrideCursor();
}

void ScriptNotice::Form_Unload() {
    if (!kRuntimePlatform)
        return;
    m_settings.writeMachine(kScriptScreen, m_ui->chkDontShowAgain->isChecked() ? QStringLiteral("0")
                                                                                : QStringLiteral("1"));
}
