#include "netware/client/object_list_directory.h"
#include "netware/client/system_directory.h"

#include <gtest/gtest.h>

namespace {

QList<DirectoryObject> hostObjects() {
    const QList<SystemDirectory::Account> accounts = {
        {"root", 0, 0, "root"},
        {"alice", 1001, 100, "Alice Liddell,Room 7,,"},
        {"bob", 1002, 1002, ""},
        {"alias", 1001, 100, "Alice again"},
        {"john.doe", 1003, 100, "John Ronald Doe"},
    };
    const QList<SystemDirectory::Group> groups = {
        {"users", 100, {"bob"}},
        {"bob", 1002, {}},
        {"wheel", 10, {"alice", "ghost"}},
    };
    return SystemDirectory::objects("VM", "VM", accounts, groups);
}

const DirectoryObject* named(const QList<DirectoryObject>& objects, const QString& name) {
    for (const DirectoryObject& o : objects) {
        if (o.name == name)
            return &o;
    }
    return nullptr;
}

} // namespace

TEST(SystemDirectoryObjects, OneOrganizationWithUsersGroupsAndTheServer) {
    const QList<DirectoryObject> objects = hostObjects();
    ASSERT_TRUE(named(objects, "VM"));
    EXPECT_EQ(named(objects, "VM")->className, "Organization");
    ASSERT_TRUE(named(objects, "VM.VM"));
    EXPECT_EQ(named(objects, "VM.VM")->className, "NCP Server");
    EXPECT_FALSE(named(objects, "root.VM")); // root is the supervisor
    EXPECT_FALSE(named(objects, "alias.VM")); // uid 1001 already has a user
    ASSERT_TRUE(named(objects, "alice.VM"));
    EXPECT_EQ(named(objects, "alice.VM")->uid, 1001u);
    ASSERT_TRUE(named(objects, "john_doe.VM")); // a dot would split the name
    EXPECT_EQ(named(objects, "john_doe.VM")->uid, 1003u);
}

TEST(SystemDirectoryObjects, GroupMembersIncludeThoseWhosePrimaryGroupItIs) {
    const QList<DirectoryObject> objects = hostObjects();
    EXPECT_EQ(named(objects, "users.VM")->members, (QStringList{"bob.VM", "alice.VM", "john_doe.VM"}));
    // bob's private group would share bob's name; the user keeps it.
    EXPECT_EQ(named(objects, "bob.VM")->className, "User");
    EXPECT_EQ(std::count_if(objects.begin(), objects.end(), [](const DirectoryObject& o) { return o.name == "bob.VM"; }),
              1);
    EXPECT_EQ(named(objects, "wheel.VM")->members, QStringList{"alice.VM"}); // ghost has no account
}

TEST(SystemDirectoryObjects, NamesComeFromTheGecosField) {
    const QList<DirectoryObject> objects = hostObjects();
    const DirectoryObject* alice = named(objects, "alice.VM");
    EXPECT_EQ(alice->fullName, "Alice Liddell");
    EXPECT_EQ(alice->givenName, "Alice");
    EXPECT_EQ(alice->surname, "Liddell");
    const DirectoryObject* john = named(objects, "john_doe.VM");
    EXPECT_EQ(john->givenName, "John Ronald");
    EXPECT_EQ(john->surname, "Doe");
    const DirectoryObject* bob = named(objects, "bob.VM");
    EXPECT_EQ(bob->fullName, "");
    EXPECT_EQ(bob->givenName, "");
}

TEST(SystemDirectoryObjects, UidsMapBackToTheirUser) {
    ObjectListDirectory directory(hostObjects(), "alice.VM");
    ASSERT_TRUE(directory.userOfUid(1001));
    EXPECT_EQ(directory.userOfUid(1001)->name, "alice.VM");
    EXPECT_FALSE(directory.userOfUid(0));
    EXPECT_FALSE(directory.userOfUid(4242));
    EXPECT_TRUE(directory.find("ALICE.vm"));
}

TEST(SystemDirectoryAccounts, TheHostsAccountDatabaseIsRead) {
    const QList<SystemDirectory::Account> accounts = SystemDirectory::readAccounts();
    const bool hasRoot = std::any_of(accounts.begin(), accounts.end(),
                                     [](const SystemDirectory::Account& a) { return a.uid == 0 && a.name == "root"; });
    EXPECT_TRUE(hasRoot);
    EXPECT_FALSE(SystemDirectory::readGroups().isEmpty());
    EXPECT_FALSE(SystemDirectory::currentAccount().isEmpty());
}
