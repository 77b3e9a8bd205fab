#include "ui/main/options_dialog.h"

#include "ui_frmOptions.h"

#include <QFocusEvent>

OptionsDialog::OptionsDialog(AppState& app, SettingsStore& settings, Host& host, QWidget* parent)
    : QDialog(parent), m_app(app), m_settings(settings), m_host(host), m_ui(std::make_unique<Ui::frmOptions>()) {
    m_ui->setupUi(this);
    if (parent)
        setWindowIcon(parent->windowIcon());
    const QString& delimiter = m_app.saveFileDelimiter;
    if (delimiter == QLatin1String(","))
        m_ui->optComma->setChecked(true);
    else if (delimiter == QLatin1String(";"))
        m_ui->optSemiColon->setChecked(true);
    else {
        m_ui->optOther->setChecked(true);
        m_ui->txtDelimiter->setText(delimiter);
    }
    (m_app.fittingSizes ? m_ui->optSizesFitting : m_ui->optSizesInMegabytes)->setChecked(true);
    m_ui->chkKeepHistory->setChecked(m_app.keepHistory);
    m_ui->txtHistoryPlace->setText(m_settings.readUser(QStringLiteral("HistoryPlace")).value_or(QString()));
    m_ui->txtHistoryPlace->setPlaceholderText(m_app.historyLocation);
    // Going into the box chooses "Other:".
    m_ui->txtDelimiter->installEventFilter(this);
    connect(m_ui->optOther, &QRadioButton::clicked, this, &OptionsDialog::optOther_Click);
    connect(m_ui->btnSave, &QPushButton::clicked, this, &OptionsDialog::btnSave_Click);
    connect(m_ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

OptionsDialog::~OptionsDialog() = default;

void OptionsDialog::optOther_Click() {
    m_ui->txtDelimiter->setFocus();
}

bool OptionsDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ui->txtDelimiter && event->type() == QEvent::FocusIn)
        m_ui->optOther->setChecked(true);
    return QDialog::eventFilter(watched, event);
}

void OptionsDialog::btnSave_Click() {
    QString delimiter = m_ui->optComma->isChecked()       ? QStringLiteral(",")
                        : m_ui->optSemiColon->isChecked() ? QStringLiteral(";")
                                                          : m_ui->txtDelimiter->text();
    if (m_ui->optOther->isChecked() && delimiter.isEmpty()) {
        m_host.message(QStringLiteral("You must enter a delimiter value"), QStringLiteral("Enter Delimiter value"));
        m_ui->txtDelimiter->setFocus();
        return;
    }
    if (const QString why = SettingsStore::unusableDelimiter(delimiter); !why.isEmpty()) {
        m_host.message(QStringLiteral("This delimiter cannot be used: %1.").arg(why),
                       QStringLiteral("Enter Delimiter value"));
        m_ui->txtDelimiter->setFocus();
        m_ui->txtDelimiter->selectAll();
        return;
    }
    m_settings.writeUser(QStringLiteral("SaveFileDelimiter"), delimiter);
    m_app.saveFileDelimiter = delimiter;
    m_app.fittingSizes = m_ui->optSizesFitting->isChecked();
    m_settings.writeUser(QStringLiteral("SizeUnits"), m_app.fittingSizes ? QStringLiteral("fit") : QStringLiteral("MB"));
    saveHistoryChoices();
    accept();
}

void OptionsDialog::saveHistoryChoices() {
    m_app.keepHistory = m_ui->chkKeepHistory->isChecked();
    m_settings.writeUser(QStringLiteral("KeepHistory"), m_app.keepHistory ? QStringLiteral("true") : QStringLiteral("false"));
    const QString place = m_ui->txtHistoryPlace->text().trimmed();
    m_settings.writeUser(QStringLiteral("HistoryPlace"), place);
    // An emptied place means the usual one again, found as the window next opens.
    if (!place.isEmpty())
        m_app.historyLocation = place;
}
