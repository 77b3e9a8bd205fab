#pragma once

#include "settings/app_state.h"
#include "settings/settings_store.h"
#include "settings/host.h"

#include <QDialog>

#include <memory>

namespace Ui {
class frmOptions;
}

// frmOptions: the delimiter of saved results, files and the clipboard, and
// whether and where runs are kept.
class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    OptionsDialog(AppState& app, SettingsStore& settings, Host& host, QWidget* parent = nullptr);
    ~OptionsDialog() override;

public Q_SLOTS:
    void optOther_Click();
    void btnSave_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void saveHistoryChoices();

    AppState& m_app;
    SettingsStore& m_settings;
    Host& m_host;
    std::unique_ptr<Ui::frmOptions> m_ui;
};
