#include <QProcess>
#include <QProcessEnvironment>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    int status = -1;
    QString err;
};

Outcome runQuarvo(const QStringList& args, const QProcessEnvironment& env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QUARVO_BINARY, args);
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardError())};
}

QProcessEnvironment withoutDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    return env;
}

} // namespace

TEST(WindowStart, WithoutADisplayItSaysSoInOneLineAndExits3) {
    for (const QStringList& args : {QStringList{}, QStringList{"/DEBUG"}}) {
        const Outcome o = runQuarvo(args, withoutDisplay());
        EXPECT_EQ(o.status, 3) << o.err.toStdString();
        EXPECT_EQ(o.err.count('\n'), 1) << o.err.toStdString();
        EXPECT_TRUE(o.err.startsWith("quarvo: there is no display")) << o.err.toStdString();
        EXPECT_TRUE(o.err.contains("quarvo --help")) << o.err.toStdString();
    }
}

TEST(WindowStart, ACommandLineRunNeverLoadsQtWidgets) {
    QProcessEnvironment env = withoutDisplay();
    env.insert("LD_DEBUG", "libs"); // the dynamic loader names every library it loads
    const Outcome o = runQuarvo({"--list"}, env);
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    ASSERT_TRUE(o.err.contains("libQt6Core")) << "the loader said nothing; the check would prove nothing";
    EXPECT_FALSE(o.err.contains("libQt6Widgets")) << o.err.toStdString();
    EXPECT_FALSE(o.err.contains("libquarvo_gui")) << o.err.toStdString();
}

TEST(WindowStart, ACommandLineRunStoresNoWindowSettings) {
    QTemporaryDir home;
    QProcessEnvironment env = withoutDisplay();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.path() + "/config");
    QDir().mkpath(home.filePath("vol/sub"));
    QFile site(home.filePath("site.toml"));
    ASSERT_TRUE(site.open(QIODevice::WriteOnly));
    site.write(QString("[[tree]]\nname = \"T\"\ndirectory = \"inline\"\ndefault = true\n"
                       "[[server]]\nname = \"S\"\nvolumes = { V = \"%1\" }\n")
                   .arg(home.filePath("vol"))
                   .toUtf8());
    site.close();
    env.insert("QUARVO_SITE", site.fileName());
    const Outcome o = runQuarvo({"/T=T", "/F=DIRECTORY", "/D=\\\\S\\V", "/ALLSUBS", "/OUTFILE=" + home.filePath("d.csv")}, env);
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    const QString conf = home.path() + "/config/Tessaloom/Quarvo.conf";
    const QSettings settings(conf, QSettings::IniFormat);
    for (const char* name : {"SaveServer", "SaveVolume", "StartingUserContainer", "MainForm/Top", "MainForm/Left",
                             "MainForm/Height", "MainForm/Width"})
        EXPECT_FALSE(settings.contains(QString::fromLatin1(name))) << name << " after: " << o.err.toStdString();
}
