#pragma once

#include "settings/settings_store.h"

#include <QDialog>

#include <memory>

class Desktop;
namespace Ui {
class frmWindowsScript;
}

// frmWindowsScript: on Windows, the notice naming the scripting runtime,
// shown at start until its box is ticked ("ScriptScreen" in the machine-wide
// key); elsewhere, from the Help menu only, what Quarvo needs on the platform.
class ScriptNotice : public QDialog {
    Q_OBJECT
public:
    ScriptNotice(SettingsStore& settings, Desktop& desktop, QWidget* parent = nullptr);
    ~ScriptNotice() override;

    // Whether it is due at start: on Windows, "ScriptScreen" missing or "1".
    static bool due(const SettingsStore& settings);

public Q_SLOTS:
    void btnMicrosoftCom_Click();
    void Form_Unload();

private:
    SettingsStore& m_settings;
    Desktop& m_desktop;
    std::unique_ptr<Ui::frmWindowsScript> m_ui;
};
