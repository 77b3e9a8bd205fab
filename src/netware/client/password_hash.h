#pragma once

#include <QString>

// Salted password hashes as crypt(3) writes them ("$y$..." yescrypt,
// "$6$..." SHA-512): what an inline tree keeps for each user who may log in.
class PasswordHash {
public:
    // Whether the password gives the hash. An empty or unreadable hash
    // matches nothing; so does a hash of a method other than yescrypt or SHA-512.
    static bool matches(const QString& hash, const QString& password);
    // A new SHA-512 hash of the password, for tests and for writing site files.
    static QString make(const QString& password);
};
