#include "settings/settings_store.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class Settings : public ::testing::Test {
protected:
    SettingsLocations locations() const {
        return {dir.path() + "/user/Quarvo.conf", dir.path() + "/system/Quarvo.conf"};
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(Settings, MissingValuesGiveTheirDefaults) {
    SettingsStore store(locations());
    EXPECT_FALSE(store.userKeyExists());
    EXPECT_EQ(store.saveFileDelimiter(), ",");
    EXPECT_TRUE(store.serverSearchSubContainers());
    EXPECT_EQ(store.startingServerContext(), "");
    EXPECT_FALSE(store.readUser("Tree").has_value());
    EXPECT_FALSE(store.readMachine("ScriptScreen").has_value());
}

TEST_F(Settings, ValuesLongerThanTheirLimitReadAsMissing) {
    {
        SettingsStore store(locations());
        store.writeUser("SaveFileDelimiter", "|||||");
        store.writeUser("Tree", QString(25, 'T'));
        store.writeUser("SaveServer", QString(249, 'S'));
    }
    SettingsStore reread(locations());
    EXPECT_EQ(reread.saveFileDelimiter(), ",");
    EXPECT_FALSE(reread.readUser("Tree").has_value());
    EXPECT_EQ(reread.readUser("SaveServer"), QString(249, 'S'));
    {
        SettingsStore store(locations());
        store.writeUser("SaveFileDelimiter", "||||");
    }
    EXPECT_EQ(SettingsStore(locations()).saveFileDelimiter(), "||||");
    EXPECT_EQ(SettingsStore(locations()).delimiterProblem(), "");
    // One that gives files that cannot be read back is not used, and said.
    for (const QString& unusable : {QString("\""), QString("a\"b"), QString(";\n")}) {
        SettingsStore(locations()).writeUser("SaveFileDelimiter", unusable);
        EXPECT_EQ(SettingsStore(locations()).saveFileDelimiter(), ",");
        EXPECT_TRUE(SettingsStore(locations()).delimiterProblem().contains("cannot be read back"));
    }
}

TEST_F(Settings, OnlyExactlyTrueIsTrue) {
    SettingsStore store(locations());
    store.writeUser("ServerSearchSubContainers", "true");
    EXPECT_FALSE(store.serverSearchSubContainers());
    store.writeUser("ServerSearchSubContainers", "True");
    EXPECT_TRUE(store.serverSearchSubContainers());
    store.writeUser("ServerSearchSubContainers", "False");
    EXPECT_FALSE(store.serverSearchSubContainers());
}

TEST_F(Settings, WindowGeometryDefaultsOnlyOnceItsKeyExists) {
    SettingsStore store(locations());
    EXPECT_EQ(store.fcnGetWindowSetting(SettingsStore::kWindowKey, "Height"), "");
    store.subSaveWindowSetting(SettingsStore::kWindowKey, "Top", "1200");
    EXPECT_EQ(store.fcnGetWindowSetting(SettingsStore::kWindowKey, "Top"), "1200");
    EXPECT_EQ(store.fcnGetWindowSetting(SettingsStore::kWindowKey, "Left"), "0");
    EXPECT_EQ(store.fcnGetWindowSetting(SettingsStore::kWindowKey, "Height"), "7830");
    EXPECT_EQ(store.fcnGetWindowSetting(SettingsStore::kWindowKey, "Width"), "7110");
    EXPECT_EQ(store.fcnGetWindowSetting(SettingsStore::kWindowKey, "Other"), "");
    store.subSaveWindowSetting(SettingsStore::kWindowKey, "Width", "1234567890");
    EXPECT_EQ(store.fcnGetWindowSetting(SettingsStore::kWindowKey, "Width"), "7110");
    // Only one level below the per-user key can be created.
    store.subSaveWindowSetting("Software\\Tessaloom\\Quarvo\\A\\B", "Top", "5");
    EXPECT_EQ(store.fcnGetWindowSetting("Software\\Tessaloom\\Quarvo\\A\\B", "Top"), "");
}

TEST_F(Settings, CreatingTheKeyWritesAnEmptyStartingServerContext) {
    SettingsStore store(locations());
    store.subCreateSettingsKey();
    EXPECT_TRUE(store.userKeyExists());
    EXPECT_EQ(store.readUser("StartingServerContext"), QString(""));
}

TEST_F(Settings, MachineWideKeyIsReadFromTheSystemScopeFirst) {
    QDir().mkpath(dir.path() + "/system");
    {
        QSettings system(locations().systemFile, QSettings::IniFormat);
        system.setValue("ScriptScreen", "0");
    }
    SettingsStore store(locations());
    store.writeUser("ScriptScreen", "1");
    EXPECT_EQ(store.readMachine("ScriptScreen"), QString("0"));
}

TEST_F(Settings, MachineWideKeyIsWrittenPerUserWhenTheSystemScopeIsReadOnly) {
    // A system file below a regular file cannot be written, even by root.
    QFile blocker(dir.path() + "/not-a-dir");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SettingsLocations where = locations();
    where.systemFile = dir.path() + "/not-a-dir/Quarvo.conf";
    SettingsStore store(where);
    store.writeMachine("ScriptScreen", "0");
    EXPECT_EQ(store.readMachine("ScriptScreen"), QString("0"));
    EXPECT_EQ(store.readUser("ScriptScreen"), QString("0"));
}
