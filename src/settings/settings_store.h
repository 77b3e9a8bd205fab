#pragma once

#include <QSettings>
#include <QString>

#include <memory>
#include <optional>

// Where the three keys live. By default the platform's settings store
// (~/.config/Tessaloom/Quarvo.conf and /etc/xdg/Tessaloom/Quarvo.conf on
// Linux, the registry on Windows); tests give files of their own.
struct SettingsLocations {
    QString userFile;   // empty: the platform's per-user store
    QString systemFile; // empty: the platform's machine-wide store
};

// The program's settings: a per-user key, its "MainForm" sub-key for the
// window geometry, and a machine-wide key. Every value is text with a longest
// length; a missing or longer value reads as its default. Failures are silent.
class SettingsStore {
public:
    static const QString kWindowKey; // "Software\Tessaloom\Quarvo\MainForm"

    explicit SettingsStore(const SettingsLocations& locations = {});
    ~SettingsStore();

    // A per-user value, or nothing when it is missing or longer than its limit.
    std::optional<QString> readUser(const QString& name) const;
    void writeUser(const QString& name, const QString& text);
    bool userKeyExists() const;

    // Typed readings with their defaults.
    QString saveFileDelimiter() const;              // ","; also for one that cannot be read back
    // Why the stored delimiter is not used (it holds a quote or a line
    // break), to be said on standard error; empty when it is.
    QString delimiterProblem() const;
    // Why a delimiter would give files that cannot be read back; empty when it would not.
    static QString unusableDelimiter(const QString& delimiter);
    bool serverSearchSubContainers() const;         // true unless stored and not exactly "True"
    QString startingServerContext() const;          // empty

    // Window geometry under a key path below the current user.
    QString fcnGetWindowSetting(const QString& keyPath, const QString& name) const;
    void subSaveWindowSetting(const QString& keyPath, const QString& name, const QString& text);
    // Creates the per-user key with an empty "StartingServerContext".
    void subCreateSettingsKey();

    // The machine-wide key: read from the system scope first; written there
    // when it is writable, else per user.
    std::optional<QString> readMachine(const QString& name) const;
    void writeMachine(const QString& name, const QString& text);

    // Longest text read back for a value name.
    static int limitOf(const QString& name);

private:
    std::optional<QString> readLimited(const QSettings& settings, const QString& key,
                                       const QString& name) const;

    std::unique_ptr<QSettings> m_user;
    std::unique_ptr<QSettings> m_system;
};
