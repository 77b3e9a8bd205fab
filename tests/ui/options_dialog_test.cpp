#include "recording_host.h"

#include "ui/main/options_dialog.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct Options : ::testing::Test {
    SettingsStore settings() const {
        return SettingsStore({dir.filePath("user.conf"), dir.filePath("system.conf")});
    }
    QString stored() const {
        return QSettings(dir.filePath("user.conf"), QSettings::IniFormat).value("SaveFileDelimiter").toString();
    }
    QTemporaryDir dir;
    AppState app;
    RecordingHost host;
};

} // namespace

TEST_F(Options, OtherWithAnEmptyBoxAsksForADelimiterAndStaysOpen) {
    SettingsStore store = settings();
    OptionsDialog dialog(app, store, host);
    dialog.show();
    EXPECT_TRUE(dialog.findChild<QRadioButton*>("optComma")->isChecked());
    dialog.findChild<QRadioButton*>("optOther")->click();
    QTest::mouseClick(dialog.findChild<QPushButton*>("btnSave"), Qt::LeftButton);
    EXPECT_EQ(host.messages, QStringList{"You must enter a delimiter value"});
    EXPECT_EQ(host.titles, QStringList{"Enter Delimiter value"});
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(app.saveFileDelimiter, ",");
    EXPECT_TRUE(stored().isEmpty());
}

TEST_F(Options, AnOtherDelimiterIsStoredAndUsedAtOnce) {
    SettingsStore store = settings();
    OptionsDialog dialog(app, store, host);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    // Going into the box chooses "Other:".
    QLineEdit* box = dialog.findChild<QLineEdit*>("txtDelimiter");
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_TRUE(dialog.findChild<QRadioButton*>("optOther")->isChecked());
    QTest::keyClicks(box, "||");
    QTest::mouseClick(dialog.findChild<QPushButton*>("btnSave"), Qt::LeftButton);
    EXPECT_TRUE(host.messages.isEmpty());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(app.saveFileDelimiter, "||");
    EXPECT_EQ(stored(), "||");
    // Shown again, the stored delimiter is "Other:".
    OptionsDialog again(app, store, host);
    EXPECT_TRUE(again.findChild<QRadioButton*>("optOther")->isChecked());
    EXPECT_EQ(again.findChild<QLineEdit*>("txtDelimiter")->text(), "||");
}

// A delimiter holding a quote or a line break would give files that cannot
// be read back: refused, the dialog stays open and nothing is stored.
TEST_F(Options, ADelimiterHoldingAQuoteIsRefused) {
    SettingsStore store = settings();
    OptionsDialog dialog(app, store, host);
    dialog.show();
    dialog.findChild<QRadioButton*>("optOther")->click();
    dialog.findChild<QLineEdit*>("txtDelimiter")->setText("\"");
    QTest::mouseClick(dialog.findChild<QPushButton*>("btnSave"), Qt::LeftButton);
    ASSERT_EQ(host.messages.size(), 1);
    EXPECT_TRUE(host.messages.first().contains("double quote")) << host.messages.first().toStdString();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(app.saveFileDelimiter, ",");
    EXPECT_TRUE(stored().isEmpty());
}
