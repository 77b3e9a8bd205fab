#pragma once

#include "settings/host.h"

#include <QDialog>

#include <memory>

class Desktop;
namespace Ui {
class frmAbout;
}

// frmAbout: title, version, "Debug mode" when in it, and the system
// information viewer.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    AboutBox(bool debugMode, Desktop& desktop, Host& host, QWidget* parent = nullptr);
    ~AboutBox() override;

public Q_SLOTS:
    void StartSysInfo();

private:
    Desktop& m_desktop;
    Host& m_host;
    std::unique_ptr<Ui::frmAbout> m_ui;
};
