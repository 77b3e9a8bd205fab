#include "netware/client/site_file.h"

#include "netware/client/ldap_address.h"
#include "netware/client/ldap_names.h"
#include "netware/client/site_file_guard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <toml++/toml.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace {

constexpr qsizetype maxTreeName = 24;
constexpr qsizetype maxVolumeName = 15;

constexpr std::array<std::string_view, 17> ldapKeys = {
    "uri", "base", "bind_dn", "password_file", "starttls", "ca_file", "allow_plaintext_password", "timeout", "schema",
    "user_class", "group_class", "server_class", "member_attribute", "uid_attribute", "full_name_attribute",
    "given_name_attribute", "surname_attribute"};

constexpr std::array<std::string_view, 4> containerClasses = {
    "Organization", "Organizational Unit", "Country", "Locality"};
constexpr std::array<std::string_view, 7> objectClasses = {
    "Organization", "Organizational Unit", "Country", "Locality", "User", "Group", "NCP Server"};

QString formatMessage(const QString& path, int line, const QString& what) {
    if (line > 0)
        return QStringLiteral("%1:%2: %3").arg(path, QString::number(line), what);
    return QStringLiteral("%1: %2").arg(path, what);
}

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

int lineOf(const toml::source_region& region) {
    return int(region.begin.line);
}

template <std::size_t N>
bool contains(const std::array<std::string_view, N>& list, const QString& value) {
    return std::find(list.begin(), list.end(), value.toStdString()) != list.end();
}

template <typename List>
QString joined(const List& names) {
    QStringList out;
    for (std::string_view name : names)
        out.append(toQString(name));
    return out.join(QStringLiteral(", "));
}

bool isContainer(const QString& className) {
    return contains(containerClasses, className);
}

using Entry = std::pair<const toml::key*, const toml::node*>;

// toml++ keeps a table's keys sorted; objects and volumes keep the order the
// administrator wrote them in, and the first fault reported is the first in the file.
std::vector<Entry> entriesInFileOrder(const toml::table& table) {
    std::vector<Entry> entries;
    for (auto&& [key, value] : table)
        entries.emplace_back(&key, &value);
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const toml::source_position& x = a.first->source().begin;
        const toml::source_position& y = b.first->source().begin;
        return std::tie(x.line, x.column) < std::tie(y.line, y.column);
    });
    return entries;
}

// An object as read, with where each of its members was named, so that a
// member missing from the tree can be reported on its own line.
struct ObjectEntry {
    DirectoryObject object;
    QList<int> memberLines;
};

// Reads one site file; every check throws with the file's path and the line
// of the offending value, so nothing half-loaded ever reaches the caller.
class SiteReader {
public:
    SiteReader(QString path, QByteArray text) : m_path(std::move(path)), m_text(std::move(text)) {}
    Site read() const;

private:
    [[noreturn]] void fail(int line, const QString& what) const;
    [[noreturn]] void fail(const toml::node& node, const QString& what) const;
    toml::table load() const;

    void checkKeys(const toml::table& table, const std::vector<std::string_view>& allowed,
                   const QString& where) const;
    void refuseKeys(const toml::table& table, const std::vector<std::string_view>& keys,
                    const QString& where, const QString& appliesTo) const;
    void claimName(QHash<QString, int>& seen, const QString& name, int line, const QString& kind) const;
    const toml::array& arrayOfTables(const toml::node& node, std::string_view key) const;
    const toml::table& tableOf(const toml::node& node, const QString& what) const;
    std::optional<QString> optionalString(const toml::table& table, std::string_view key,
                                          const QString& where) const;
    bool optionalBool(const toml::table& table, std::string_view key, const QString& where) const;
    QString readName(const toml::table& table, const QString& kind) const;

    QList<TreeConfig> readTrees(const toml::node& node) const;
    TreeConfig readTree(const toml::table& table) const;
    DirectoryKind readDirectoryKind(const toml::table& table, const QString& where) const;
    void checkTreeKeys(const toml::table& table, DirectoryKind kind, const QString& where) const;
    void readLdap(const toml::table& table, const QString& where, TreeConfig& tree) const;
    QString requiredString(const toml::table& table, std::string_view key, const QString& where) const;
    QString readLdapName(const toml::table& table, std::string_view key, const QString& where,
                         const QString& preset) const;
    QString readDn(const toml::table& table, std::string_view key, const QString& where) const;
    QString readExistingFile(const toml::table& table, std::string_view key, const QString& where) const;
    void checkIdentity(const toml::table& table, const TreeConfig& tree) const;

    QList<DirectoryObject> readObjects(const toml::node& node, const QString& where) const;
    ObjectEntry readObject(const toml::key& key, const toml::node& node) const;
    QString readClass(const toml::table& table, const QString& where, int line) const;
    void checkAttributesFit(const toml::table& table, const QString& className, const QString& where) const;
    std::uint32_t readUid(const toml::table& table, const QString& where, int line) const;
    void readMembers(const toml::table& table, const QString& where, ObjectEntry& entry) const;
    void checkPlacement(const DirectoryObject& object, const QHash<QString, QString>& classes) const;
    void checkMembers(const ObjectEntry& entry, const QHash<QString, QString>& classes) const;

    QList<ServerConfig> readServers(const toml::node& node) const;
    ServerConfig readServer(const toml::table& table) const;
    VolumeConfig readVolume(const toml::key& key, const toml::node& node, const QString& server) const;
    void checkVolumeName(const QString& name, int line, const QString& server) const;
    QByteArray readVolumeRoot(const toml::node& node, const QString& where) const;

    QString m_path;
    QByteArray m_text;
};

void SiteReader::fail(int line, const QString& what) const {
    throw SiteFileError(m_path, line, what);
}

void SiteReader::fail(const toml::node& node, const QString& what) const {
    fail(lineOf(node.source()), what);
}

toml::table SiteReader::load() const {
    const QByteArray& text = m_text;
    SiteFileGuard::checkBytes(m_path, text);
    // toml++ 3.3, as Debian ships it, reaches undefined behaviour when it asks
    // whether some characters other than ASCII are blanks (its issues 190 and
    // 295), which it does wherever it expects no string: also in m=0"x" with
    // such an x, where the quote, unlike in the guard's eyes, starts no
    // string. So a copy with each such byte made "@", which TOML takes in
    // strings and comments only, is parsed first: once it parses, every such
    // character of the text stands in a string or a comment.
    QByteArray ascii = text;
    for (char& c : ascii) {
        if (static_cast<unsigned char>(c) >= 0x80)
            c = '@';
    }
    bool copyParsed = ascii == text;
    try {
        if (!copyParsed)
            toml::parse(std::string_view(ascii.constData(), std::size_t(ascii.size())));
        copyParsed = true;
        return toml::parse(std::string_view(text.constData(), std::size_t(text.size())));
    } catch (const toml::parse_error& error) {
        const QString what = toQString(error.description());
        fail(lineOf(error.source()),
             QStringLiteral("not valid TOML: %1%2")
                 .arg(what, !copyParsed && what.contains(QLatin1Char('@'))
                                ? QStringLiteral(" (each character other than ASCII read as \"@\")")
                                : QString()));
    }
}

Site SiteReader::read() const {
    const toml::table root = load();
    checkKeys(root, {"tree", "server", "history", "history_keep_days"}, QStringLiteral("at the top level"));
    Site site;
    site.history = optionalString(root, "history", QStringLiteral("the top level")).value_or(QString());
    if (const toml::node* days = root.get("history_keep_days")) {
        const toml::value<std::int64_t>* value = days->as_integer();
        if (!value || value->get() < 1 || value->get() > 100000)
            fail(*days, QStringLiteral("\"history_keep_days\" must be a whole number of days from 1 to 100000"));
        site.historyKeepDays = int(value->get());
    }
    if (const toml::node* trees = root.get("tree"))
        site.trees = readTrees(*trees);
    if (const toml::node* servers = root.get("server"))
        site.servers = readServers(*servers);
    return site;
}

// --- generic checks -------------------------------------------------------

// Unknown keys are refused rather than ignored: a misspelt "conected" would
// otherwise quietly leave a tree disconnected.
void SiteReader::checkKeys(const toml::table& table, const std::vector<std::string_view>& allowed,
                           const QString& where) const {
    for (const auto& [key, value] : entriesInFileOrder(table)) {
        if (std::find(allowed.begin(), allowed.end(), key->str()) == allowed.end())
            fail(lineOf(key->source()), QStringLiteral("unknown key \"%1\" %2; the keys allowed there are %3")
                                            .arg(toQString(key->str()), where, joined(allowed)));
    }
}

void SiteReader::refuseKeys(const toml::table& table, const std::vector<std::string_view>& keys,
                            const QString& where, const QString& appliesTo) const {
    for (std::string_view key : keys) {
        if (const toml::node* node = table.get(key))
            fail(*node, QStringLiteral("%1: \"%2\" applies only to %3").arg(where, toQString(key), appliesTo));
    }
}

// Names are compared without regard to case, as the directory does.
void SiteReader::claimName(QHash<QString, int>& seen, const QString& name, int line, const QString& kind) const {
    if (const auto it = seen.constFind(name); it != seen.constEnd())
        fail(line, QStringLiteral("%1 %2 is defined twice (first at line %3)").arg(kind, name, QString::number(*it)));
    seen.insert(name, line);
}

const toml::array& SiteReader::arrayOfTables(const toml::node& node, std::string_view key) const {
    const toml::array* array = node.as_array();
    if (!array || !array->is_array_of_tables())
        fail(node, QStringLiteral("\"%1\" must be written as [[%1]] sections").arg(toQString(key)));
    return *array;
}

const toml::table& SiteReader::tableOf(const toml::node& node, const QString& what) const {
    const toml::table* table = node.as_table();
    if (!table)
        fail(node, what);
    return *table;
}

std::optional<QString> SiteReader::optionalString(const toml::table& table, std::string_view key,
                                                  const QString& where) const {
    const toml::node* node = table.get(key);
    if (!node)
        return std::nullopt;
    if (!node->is_string())
        fail(*node, QStringLiteral("%1: \"%2\" must be a string in quotes").arg(where, toQString(key)));
    return toQString(node->as_string()->get());
}

bool SiteReader::optionalBool(const toml::table& table, std::string_view key, const QString& where) const {
    const toml::node* node = table.get(key);
    if (!node)
        return false;
    if (!node->is_boolean())
        fail(*node, QStringLiteral("%1: \"%2\" must be true or false").arg(where, toQString(key)));
    return node->as_boolean()->get();
}

QString SiteReader::readName(const toml::table& table, const QString& kind) const {
    const std::optional<QString> name = optionalString(table, "name", QStringLiteral("[[%1]]").arg(kind));
    if (!name)
        fail(table, QStringLiteral("a [[%1]] section has no \"name\"").arg(kind));
    if (name->trimmed().isEmpty())
        fail(*table.get("name"), QStringLiteral("the %1 name is empty").arg(kind));
    // Volume paths separate names with "\", local paths with "/"; a control
    // character could never be typed and would rewrite a terminal's line.
    for (const QChar c : *name) {
        const QString what = c == u'\\' ? QStringLiteral("\"\\\"")
                             : c == u'/'   ? QStringLiteral("\"/\"")
                             : c.category() == QChar::Other_Control
                                 ? QStringLiteral("the control character U+%1").arg(int(c.unicode()), 4, 16, QLatin1Char('0'))
                                 : QString();
        if (!what.isEmpty())
            fail(*table.get("name"), QStringLiteral("a %1 name contains %2, which a %1 name cannot hold").arg(kind, what));
    }
    return name->toUpper();
}

// --- trees ------------------------------------------------------------------

QList<TreeConfig> SiteReader::readTrees(const toml::node& node) const {
    QList<TreeConfig> trees;
    QHash<QString, int> names;
    QString defaultTree;
    for (const toml::node& element : arrayOfTables(node, "tree")) {
        const toml::table& table = *element.as_table();
        TreeConfig tree = readTree(table);
        claimName(names, tree.name, lineOf(table.get("name")->source()), QStringLiteral("tree"));
        if (tree.isDefault && !defaultTree.isEmpty())
            fail(*table.get("default"), QStringLiteral("tree %1 is marked default, but tree %2 already is; "
                                                       "only one tree can be the default")
                                            .arg(tree.name, defaultTree));
        if (tree.isDefault)
            defaultTree = tree.name;
        trees.append(std::move(tree));
    }
    return trees;
}

TreeConfig SiteReader::readTree(const toml::table& table) const {
    TreeConfig tree;
    tree.name = readName(table, QStringLiteral("tree"));
    const QString where = QStringLiteral("tree %1").arg(tree.name);
    tree.directory = readDirectoryKind(table, where);
    checkTreeKeys(table, tree.directory, where);
    if (tree.name.size() > maxTreeName)
        fail(*table.get("name"), QStringLiteral("the tree name %1 has %2 characters; at most %3 are allowed")
                                     .arg(tree.name, QString::number(tree.name.size()), QString::number(maxTreeName)));
    tree.isDefault = optionalBool(table, "default", where);
    tree.connected = optionalBool(table, "connected", where);
    tree.identity = optionalString(table, "identity", where).value_or(QString()).toUpper();
    if (const toml::node* objects = table.get("objects"))
        tree.objects = readObjects(*objects, where);
    if (tree.directory == DirectoryKind::Ldap)
        readLdap(table, where, tree);
    if (tree.directory == DirectoryKind::Inline)
        checkIdentity(table, tree);
    return tree;
}

DirectoryKind SiteReader::readDirectoryKind(const toml::table& table, const QString& where) const {
    const QString kind = optionalString(table, "directory", where).value_or(QStringLiteral("inline"));
    if (kind == QLatin1String("inline"))
        return DirectoryKind::Inline;
    if (kind == QLatin1String("system"))
        return DirectoryKind::System;
    if (kind == QLatin1String("ldap"))
        return DirectoryKind::Ldap;
    fail(*table.get("directory"),
         QStringLiteral("%1: directory must be \"system\", \"inline\" or \"ldap\", not \"%2\"").arg(where, kind));
}

// Every key any tree may have is known; those of another kind of tree are
// refused saying which kind they belong to.
void SiteReader::checkTreeKeys(const toml::table& table, DirectoryKind kind, const QString& where) const {
    std::vector<std::string_view> allowed = {"name", "directory", "default", "connected", "identity", "objects"};
    allowed.insert(allowed.end(), ldapKeys.begin(), ldapKeys.end());
    checkKeys(table, allowed, QStringLiteral("in [[tree]]"));
    if (kind != DirectoryKind::Inline)
        refuseKeys(table, {"objects"}, where, QStringLiteral("inline trees"));
    if (kind != DirectoryKind::Ldap)
        refuseKeys(table, {ldapKeys.begin(), ldapKeys.end()}, where, QStringLiteral("ldap trees"));
}

// --- ldap trees ---------------------------------------------------------------

void SiteReader::readLdap(const toml::table& table, const QString& where, TreeConfig& tree) const {
    tree.uri = requiredString(table, "uri", where);
    QString why;
    const std::optional<LdapAddress> address = LdapAddress::parse(tree.uri, why);
    if (!address)
        fail(*table.get("uri"), QStringLiteral("%1: \"uri\": %2").arg(where, why));
    tree.baseDn = readDn(table, "base", where);
    if (tree.baseDn.isEmpty())
        fail(table, QStringLiteral("%1 has no \"base\", the DN its [Root] stands for, such as "
                                   "\"o=ACME\" or \"dc=example,dc=com\"").arg(where));
    tree.bindDn = readDn(table, "bind_dn", where);
    tree.passwordFile = readExistingFile(table, "password_file", where);
    if (tree.bindDn.isEmpty() != tree.passwordFile.isEmpty()) {
        const char* given = tree.bindDn.isEmpty() ? "password_file" : "bind_dn";
        fail(*table.get(given), QStringLiteral("%1: \"bind_dn\" and \"password_file\" go together "
                                               "(neither binds anonymously)").arg(where));
    }
    tree.startTls = optionalBool(table, "starttls", where);
    if (tree.startTls && !address->onlyPlainLdap())
        fail(*table.get("starttls"), QStringLiteral("%1: \"starttls\" applies only to ldap:// addresses; "
                                                    "ldaps:// is encrypted already").arg(where));
    tree.caFile = readExistingFile(table, "ca_file", where);
    tree.allowPlaintextPassword = optionalBool(table, "allow_plaintext_password", where);
    if (const toml::node* timeout = table.get("timeout")) {
        const toml::value<std::int64_t>* seconds = timeout->as_integer();
        if (!seconds || seconds->get() < 1 || seconds->get() > 3600)
            fail(*timeout, QStringLiteral("%1: \"timeout\" must be a whole number of seconds from 1 to 3600").arg(where));
        tree.timeoutSeconds = int(seconds->get());
    }
    const QString preset = optionalString(table, "schema", where).value_or(QStringLiteral("edirectory"));
    const std::optional<LdapSchema> schema = LdapSchema::preset(preset);
    if (!schema)
        fail(*table.get("schema"), QStringLiteral("%1: unknown schema \"%2\"; the schemas known are %3")
                                       .arg(where, preset, LdapSchema::presetNames().join(QStringLiteral(", "))));
    tree.schema = *schema;
    LdapSchema& s = tree.schema;
    s.userClass = readLdapName(table, "user_class", where, s.userClass);
    s.groupClass = readLdapName(table, "group_class", where, s.groupClass);
    s.serverClass = readLdapName(table, "server_class", where, s.serverClass);
    s.memberAttribute = readLdapName(table, "member_attribute", where, s.memberAttribute);
    s.uidAttribute = readLdapName(table, "uid_attribute", where, s.uidAttribute);
    s.fullNameAttribute = readLdapName(table, "full_name_attribute", where, s.fullNameAttribute);
    s.givenNameAttribute = readLdapName(table, "given_name_attribute", where, s.givenNameAttribute);
    s.surnameAttribute = readLdapName(table, "surname_attribute", where, s.surnameAttribute);
}

QString SiteReader::requiredString(const toml::table& table, std::string_view key, const QString& where) const {
    const std::optional<QString> value = optionalString(table, key, where);
    if (!value || value->trimmed().isEmpty())
        fail(value ? *table.get(key) : static_cast<const toml::node&>(table),
             QStringLiteral("%1 has no \"%2\"").arg(where, toQString(key)));
    return value->trimmed();
}

QString SiteReader::readLdapName(const toml::table& table, std::string_view key, const QString& where,
                                 const QString& preset) const {
    const std::optional<QString> name = optionalString(table, key, where);
    if (!name)
        return preset;
    if (!LdapSchema::isAttributeName(*name))
        fail(*table.get(key), QStringLiteral("%1: \"%2\" must be an LDAP class or attribute name (letters, digits "
                                             "and \"-\", starting with a letter), not \"%3\"")
                                  .arg(where, toQString(key), *name));
    return *name;
}

QString SiteReader::readDn(const toml::table& table, std::string_view key, const QString& where) const {
    const QString dn = optionalString(table, key, where).value_or(QString()).trimmed();
    if (!dn.isEmpty() && !LdapNames(dn).baseIsValid())
        fail(*table.get(key), QStringLiteral("%1: \"%2\" = \"%3\" is not a DN such as \"ou=staff,o=ACME\"")
                                  .arg(where, toQString(key), dn));
    return dn;
}

// Relative paths are taken from the site file's folder, wherever the program starts.
QString SiteReader::readExistingFile(const toml::table& table, std::string_view key, const QString& where) const {
    const std::optional<QString> value = optionalString(table, key, where);
    if (!value)
        return {};
    const QString path = QFileInfo(m_path).dir().absoluteFilePath(*value);
    if (!QFileInfo(path).isFile())
        fail(*table.get(key), QStringLiteral("%1: \"%2\": the file %3 does not exist").arg(where, toQString(key), path));
    return path;
}

// An inline tree knows all its objects, so a misspelt identity can be caught here.
void SiteReader::checkIdentity(const toml::table& table, const TreeConfig& tree) const {
    if (tree.identity.isEmpty())
        return;
    for (const DirectoryObject& object : tree.objects) {
        if (object.name == tree.identity)
            return;
    }
    fail(*table.get("identity"),
         QStringLiteral("tree %1: the identity %2 is not an object of the tree").arg(tree.name, tree.identity));
}

// --- directory objects -----------------------------------------------------

QList<DirectoryObject> SiteReader::readObjects(const toml::node& node, const QString& where) const {
    const toml::table& table = tableOf(node, QStringLiteral("%1: \"objects\" must be a table").arg(where));
    QList<ObjectEntry> entries;
    QHash<QString, int> names;
    QHash<QString, QString> classes;
    for (const auto& [key, value] : entriesInFileOrder(table)) {
        ObjectEntry entry = readObject(*key, *value);
        claimName(names, entry.object.name, entry.object.line, QStringLiteral("object"));
        classes.insert(entry.object.name, entry.object.className);
        entries.append(std::move(entry));
    }
    // Containers may be listed after what they hold, so the links are checked
    // once every object is known.
    QList<DirectoryObject> objects;
    for (const ObjectEntry& entry : entries) {
        checkPlacement(entry.object, classes);
        checkMembers(entry, classes);
        objects.append(entry.object);
    }
    return objects;
}

ObjectEntry SiteReader::readObject(const toml::key& key, const toml::node& node) const {
    ObjectEntry entry;
    DirectoryObject& object = entry.object;
    object.name = toQString(key.str()).toUpper();
    object.line = lineOf(key.source());
    const QString where = QStringLiteral("object %1").arg(object.name);
    if (object.name.split(QLatin1Char('.')).contains(QString()))
        fail(object.line, QStringLiteral("the object name \"%1\" has an empty part (check the dots)").arg(object.name));
    const toml::table& table =
        tableOf(node, QStringLiteral("%1 must be a table such as { class = \"User\", uid = 1001 }").arg(where));
    checkKeys(table, {"class", "uid", "full_name", "given_name", "surname", "members", "password_hash"},
              QStringLiteral("in %1").arg(where));
    object.className = readClass(table, where, object.line);
    checkAttributesFit(table, object.className, where);
    if (object.className == QLatin1String("User"))
        object.uid = readUid(table, where, object.line);
    object.fullName = optionalString(table, "full_name", where).value_or(QString());
    object.givenName = optionalString(table, "given_name", where).value_or(QString());
    object.surname = optionalString(table, "surname", where).value_or(QString());
    object.passwordHash = optionalString(table, "password_hash", where).value_or(QString());
    readMembers(table, where, entry);
    return entry;
}

QString SiteReader::readClass(const toml::table& table, const QString& where, int line) const {
    const std::optional<QString> className = optionalString(table, "class", where);
    if (!className)
        fail(line, QStringLiteral("%1 has no \"class\"").arg(where));
    if (!contains(objectClasses, *className))
        fail(*table.get("class"), QStringLiteral("%1 has the unknown class \"%2\"; the classes known are %3")
                                      .arg(where, *className, joined(objectClasses)));
    return *className;
}

void SiteReader::checkAttributesFit(const toml::table& table, const QString& className, const QString& where) const {
    const bool user = className == QLatin1String("User");
    const bool group = className == QLatin1String("Group");
    if (!user)
        refuseKeys(table, {"uid", "given_name", "surname", "password_hash"}, where, QStringLiteral("User objects"));
    if (!group)
        refuseKeys(table, {"members"}, where, QStringLiteral("Group objects"));
    if (!user && !group)
        refuseKeys(table, {"full_name"}, where, QStringLiteral("User and Group objects"));
}

std::uint32_t SiteReader::readUid(const toml::table& table, const QString& where, int line) const {
    const toml::node* node = table.get("uid");
    if (!node)
        fail(line, QStringLiteral("%1 is a User but has no \"uid\"").arg(where));
    const toml::value<std::int64_t>* uid = node->as_integer();
    if (!uid || uid->get() < 0 || uid->get() > std::int64_t(UINT32_MAX))
        fail(*node, QStringLiteral("%1: \"uid\" must be a whole number from 0 to %2")
                        .arg(where, QString::number(UINT32_MAX)));
    return std::uint32_t(uid->get());
}

void SiteReader::readMembers(const toml::table& table, const QString& where, ObjectEntry& entry) const {
    const toml::node* node = table.get("members");
    if (!node)
        return;
    const toml::array* members = node->as_array();
    // is_homogeneous() is false for an empty list, which is a valid, empty group.
    if (!members || (!members->empty() && !members->is_homogeneous(toml::node_type::string)))
        fail(*node, QStringLiteral("%1: \"members\" must be a list of names in quotes, "
                                   "such as [\"JSMITH.SALES.ACME\"]").arg(where));
    for (const toml::node& member : *members) {
        entry.object.members.append(toQString(member.as_string()->get()).toUpper());
        entry.memberLines.append(lineOf(member.source()));
    }
}

// Every object but a top-level container sits in a container of the same tree.
void SiteReader::checkPlacement(const DirectoryObject& object, const QHash<QString, QString>& classes) const {
    const qsizetype dot = object.name.indexOf(QLatin1Char('.'));
    if (dot < 0) {
        if (!isContainer(object.className))
            fail(object.line, QStringLiteral("object %1 has class \"%2\" and cannot sit at the top of the tree; "
                                             "only a container (%3) can")
                                  .arg(object.name, object.className, joined(containerClasses)));
        return;
    }
    const QString parent = object.name.mid(dot + 1);
    const auto it = classes.constFind(parent);
    if (it == classes.constEnd())
        fail(object.line, QStringLiteral("object %1 sits in the container %2, which is not an object of the tree")
                              .arg(object.name, parent));
    if (!isContainer(*it))
        fail(object.line, QStringLiteral("object %1 sits under %2, whose class \"%3\" is not a container")
                              .arg(object.name, parent, *it));
}

void SiteReader::checkMembers(const ObjectEntry& entry, const QHash<QString, QString>& classes) const {
    for (qsizetype i = 0; i < entry.object.members.size(); ++i) {
        const QString& member = entry.object.members[i];
        if (!classes.contains(member))
            fail(entry.memberLines[i], QStringLiteral("group %1 lists the member %2, which is not an object of the tree")
                                           .arg(entry.object.name, member));
    }
}

// --- servers and volumes ---------------------------------------------------

QList<ServerConfig> SiteReader::readServers(const toml::node& node) const {
    QList<ServerConfig> servers;
    QHash<QString, int> names;
    for (const toml::node& element : arrayOfTables(node, "server")) {
        const toml::table& table = *element.as_table();
        ServerConfig server = readServer(table);
        claimName(names, server.name, lineOf(table.get("name")->source()), QStringLiteral("server"));
        servers.append(std::move(server));
    }
    return servers;
}

ServerConfig SiteReader::readServer(const toml::table& table) const {
    checkKeys(table, {"name", "volumes"}, QStringLiteral("in [[server]]"));
    ServerConfig server;
    server.name = readName(table, QStringLiteral("server"));
    const toml::node* node = table.get("volumes");
    if (!node)
        fail(table, QStringLiteral("server %1 has no \"volumes\" table").arg(server.name));
    const toml::table& volumes = tableOf(
        *node, QStringLiteral("server %1: \"volumes\" must be a table such as { SYS = \"/srv/fs1/sys\" }").arg(server.name));
    QHash<QString, int> names;
    for (const auto& [key, value] : entriesInFileOrder(volumes)) {
        VolumeConfig volume = readVolume(*key, *value, server.name);
        claimName(names, volume.name, lineOf(key->source()), QStringLiteral("volume"));
        server.volumes.append(std::move(volume));
    }
    return server;
}

// A volume is its folder, or { path = "...", mount_point = true } for a folder
// that is only the volume while a disk is mounted on it.
VolumeConfig SiteReader::readVolume(const toml::key& key, const toml::node& node, const QString& server) const {
    VolumeConfig volume;
    volume.name = toQString(key.str()).toUpper();
    checkVolumeName(volume.name, lineOf(key.source()), server);
    const QString where = QStringLiteral("volume %1 of server %2").arg(volume.name, server);
    const toml::table* table = node.as_table();
    if (!table) {
        if (!node.is_string())
            fail(node, QStringLiteral("%1 must be a path in quotes or a table such as "
                                      "{ path = \"/srv/fs1/vol1\", mount_point = true }").arg(where));
        volume.root = readVolumeRoot(node, where);
        return volume;
    }
    checkKeys(*table, {"path", "mount_point"}, QStringLiteral("in %1").arg(where));
    const toml::node* path = table->get("path");
    if (!path)
        fail(node, QStringLiteral("%1 has no \"path\"").arg(where));
    volume.root = readVolumeRoot(*path, where);
    volume.mountPoint = optionalBool(*table, "mount_point", where);
    return volume;
}

// The characters refused are the ones that separate parts of a NetWare path
// (SERVER/VOLUME:DIR\FILE) or of a list.
void SiteReader::checkVolumeName(const QString& name, int line, const QString& server) const {
    const QString where = QStringLiteral("server %1: the volume name \"%2\"").arg(server, name);
    if (name.isEmpty())
        fail(line, QStringLiteral("server %1 has a volume with an empty name").arg(server));
    if (name.size() > maxVolumeName)
        fail(line, QStringLiteral("%1 has %2 characters; at most %3 are allowed")
                       .arg(where, QString::number(name.size()), QString::number(maxVolumeName)));
    for (QChar c : name) {
        if (c.isSpace() || c.category() == QChar::Other_Control)
            fail(line, QStringLiteral("%1 contains a blank or a control character").arg(where));
        if (QStringLiteral("\\/:,").contains(c))
            fail(line, QStringLiteral("%1 contains \"%2\", which a volume name cannot hold").arg(where, QString(c)));
    }
}

QByteArray SiteReader::readVolumeRoot(const toml::node& node, const QString& where) const {
    if (!node.is_string())
        fail(node, QStringLiteral("%1: the path must be a string in quotes").arg(where));
    const QString path = toQString(node.as_string()->get());
    if (!QDir::isAbsolutePath(path))
        fail(node, QStringLiteral("%1: the path \"%2\" is not absolute").arg(where, path));
    const QFileInfo info(path);
    if (!info.exists())
        fail(node, QStringLiteral("%1: the path %2 does not exist").arg(where, path));
    if (!info.isDir())
        fail(node, QStringLiteral("%1: the path %2 is not a directory").arg(where, path));
    return QFile::encodeName(QDir::cleanPath(path));
}

} // namespace

SiteFileError::SiteFileError(QString path, int line, QString what)
    : std::runtime_error(formatMessage(path, line, what).toStdString()),
      m_path(std::move(path)),
      m_line(line),
      m_what(std::move(what)) {}

QString SiteFileError::message() const {
    return formatMessage(m_path, m_line, m_what);
}

QString SiteFile::locate(const QProcessEnvironment& env, const QString& systemPath) {
    // An explicit choice is returned even when missing, so parse() can say so
    // instead of silently falling back to another file.
    const QString chosen = env.value(QStringLiteral("QUARVO_SITE"));
    if (!chosen.isEmpty())
        return chosen;
    QString configHome = env.value(QStringLiteral("XDG_CONFIG_HOME"));
    if (configHome.isEmpty())
        configHome = env.value(QStringLiteral("HOME")) + QStringLiteral("/.config");
    const QString userPath = configHome + QStringLiteral("/Tessaloom/site.toml");
    if (QFileInfo::exists(userPath))
        return userPath;
    if (QFileInfo::exists(systemPath))
        return systemPath;
    return {};
}

Site SiteFile::parse(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw SiteFileError(path, 0, QStringLiteral("cannot open the site file: %1").arg(file.errorString()));
    return parse(path, file.readAll());
}

Site SiteFile::parse(const QString& path, const QByteArray& text) {
    return SiteReader(path, text).read();
}
