#pragma once

#include "acme_site.h"

#include "ui/auxiliary/desktop.h"
#include "ui/main/main_window.h"
#include "ui/window_program.h"

#include <QDialog>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// Records what would have been opened.
class RecordingDesktop : public Desktop {
public:
    bool openUrl(const QUrl& url) override {
        opened.append(url.toString());
        return opens;
    }
    bool startProgram(const QString& path) override {
        started.append(path);
        return true;
    }
    QString findProgram(const QStringList&) override { return viewer; }
    QStringList opened;
    QStringList started;
    QString viewer;
    bool opens = true; // false: as when no file manager can be started
};

// The window over the ACME site as the program opens it, with settings files
// of its own. No user: each dialog is recorded, looked at, and closed.
class WindowFixture : public ::testing::Test {
protected:
    WindowProgram::Options options() {
        WindowProgram::Options o;
        o.settings = {settingsDir.filePath("user.conf"), settingsDir.filePath("system.conf")};
        o.site = acme.site();
        o.desktop = &desktop;
        o.logPath = settingsDir.filePath("Quarvo.log");
        o.runDialog = [this](QDialog& dialog) {
            dialogs.append(dialog.objectName());
            if (onDialog)
                onDialog(dialog);
            dialog.done(QDialog::Accepted);
            return int(QDialog::Accepted);
        };
        return o;
    }
    // Opens the window as the program does.
    std::unique_ptr<WindowProgram> open() {
        auto program = std::make_unique<WindowProgram>(options());
        EXPECT_TRUE(program->Form_Load());
        return program;
    }
    template <typename T>
    static T* child(WindowProgram& program, const char* name) {
        T* widget = program.window().findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    AcmeSite acme;
    QTemporaryDir settingsDir;
    RecordingDesktop desktop;
    QStringList dialogs;
    std::function<void(QDialog&)> onDialog;
};
