#include "settings/settings_store.h"

#include <QHash>

const QString SettingsStore::kWindowKey = QStringLiteral("Software\\Tessaloom\\Quarvo\\MainForm");

namespace {

const QString kUserKey = QStringLiteral("Software\\Tessaloom\\Quarvo");

std::unique_ptr<QSettings> openSettings(const QString& file, QSettings::Scope scope) {
    if (!file.isEmpty())
        return std::make_unique<QSettings>(file, QSettings::IniFormat);
    auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, scope,
                                                QStringLiteral("Tessaloom"), QStringLiteral("Quarvo"));
    // A per-user reading must not pick up the machine-wide file's values.
    settings->setFallbacksEnabled(false);
    return settings;
}

// "Software\Tessaloom\Quarvo\MainForm" -> "MainForm/"; the per-user key itself -> "".
std::optional<QString> groupOf(const QString& keyPath) {
    if (keyPath.compare(kUserKey, Qt::CaseInsensitive) == 0)
        return QString();
    const QString prefix = kUserKey + QLatin1Char('\\');
    if (!keyPath.startsWith(prefix, Qt::CaseInsensitive))
        return std::nullopt;
    const QString sub = keyPath.mid(prefix.size());
    if (sub.isEmpty() || sub.contains(QLatin1Char('\\')))
        return std::nullopt;
    return sub + QLatin1Char('/');
}

QString geometryDefault(const QString& name) {
    if (name == QLatin1String("Top") || name == QLatin1String("Left"))
        return QStringLiteral("0");
    if (name == QLatin1String("Height"))
        return QStringLiteral("7830");
    if (name == QLatin1String("Width"))
        return QStringLiteral("7110");
    return {};
}

} // namespace

SettingsStore::SettingsStore(const SettingsLocations& locations)
    : m_user(openSettings(locations.userFile, QSettings::UserScope)),
      m_system(openSettings(locations.systemFile, QSettings::SystemScope)) {}

SettingsStore::~SettingsStore() = default;

int SettingsStore::limitOf(const QString& name) {
    static const QHash<QString, int> limits = {
        {QStringLiteral("Tree"), 24},
        {QStringLiteral("SaveFileDelimiter"), 4},
        {QStringLiteral("StartingUserContainer"), 249},
        {QStringLiteral("SaveServer"), 249},
        {QStringLiteral("SaveVolume"), 249},
        {QStringLiteral("ServerSearchSubContainers"), 9},
        {QStringLiteral("StartingServerContext"), 249},
        {QStringLiteral("Top"), 9},
        {QStringLiteral("Left"), 9},
        {QStringLiteral("Height"), 9},
        {QStringLiteral("Width"), 9},
        {QStringLiteral("ScriptScreen"), 4},
    };
    return limits.value(name, 249);
}

std::optional<QString> SettingsStore::readLimited(const QSettings& settings, const QString& key,
                                                  const QString& name) const {
    const QVariant value = settings.value(key);
    if (!value.isValid())
        return std::nullopt;
    const QString text = value.toString();
    if (text.size() > limitOf(name))
        return std::nullopt;
    return text;
}

std::optional<QString> SettingsStore::readUser(const QString& name) const {
    return readLimited(*m_user, name, name);
}

void SettingsStore::writeUser(const QString& name, const QString& text) {
    m_user->setValue(name, text);
    m_user->sync();
}

bool SettingsStore::userKeyExists() const {
    return !m_user->childKeys().isEmpty() || !m_user->childGroups().isEmpty();
}

QString SettingsStore::saveFileDelimiter() const {
    const std::optional<QString> stored = readUser(QStringLiteral("SaveFileDelimiter"));
    // An empty delimiter would run the fields together; it counts as missing.
    return stored && !stored->isEmpty() && unusableDelimiter(*stored).isEmpty() ? *stored : QStringLiteral(",");
}

QString SettingsStore::delimiterProblem() const {
    const std::optional<QString> stored = readUser(QStringLiteral("SaveFileDelimiter"));
    const QString why = stored ? unusableDelimiter(*stored) : QString();
    return why.isEmpty() ? why : QStringLiteral("The SaveFileDelimiter setting is not used: %1; \",\" is used instead.").arg(why);
}

// A quote or a line break inside the delimiter makes the quoting of fields
// ambiguous: "a""b""c" cannot be told from a quoted field.
QString SettingsStore::unusableDelimiter(const QString& delimiter) {
    if (delimiter.contains(QLatin1Char('"')))
        return QStringLiteral("a delimiter holding a double quote gives files that cannot be read back");
    if (delimiter.contains(QLatin1Char('\r')) || delimiter.contains(QLatin1Char('\n')))
        return QStringLiteral("a delimiter holding a line break gives files that cannot be read back");
    return {};
}

bool SettingsStore::serverSearchSubContainers() const {
    const std::optional<QString> stored = readUser(QStringLiteral("ServerSearchSubContainers"));
    return !stored || *stored == QLatin1String("True");
}

QString SettingsStore::startingServerContext() const {
    return readUser(QStringLiteral("StartingServerContext")).value_or(QString());
}

QString SettingsStore::fcnGetWindowSetting(const QString& keyPath, const QString& name) const {
    const std::optional<QString> group = groupOf(keyPath);
    if (!group)
        return {};
    if (!group->isEmpty() && !m_user->childGroups().contains(group->chopped(1)))
        return {};
    return readLimited(*m_user, *group + name, name).value_or(geometryDefault(name));
}

void SettingsStore::subSaveWindowSetting(const QString& keyPath, const QString& name,
                                         const QString& text) {
    const std::optional<QString> group = groupOf(keyPath);
    if (!group)
        return;
    m_user->setValue(*group + name, text);
    m_user->sync();
}

void SettingsStore::subCreateSettingsKey() {
    writeUser(QStringLiteral("StartingServerContext"), QString());
}

std::optional<QString> SettingsStore::readMachine(const QString& name) const {
    if (std::optional<QString> value = readLimited(*m_system, name, name))
        return value;
    return readLimited(*m_user, name, name);
}

void SettingsStore::writeMachine(const QString& name, const QString& text) {
    QSettings& target = m_system->isWritable() ? *m_system : *m_user;
    target.setValue(name, text);
    target.sync();
    if (&target == m_system.get() && target.status() != QSettings::NoError) {
        m_user->setValue(name, text);
        m_user->sync();
    }
}
