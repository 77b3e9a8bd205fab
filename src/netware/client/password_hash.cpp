#include "netware/client/password_hash.h"

#include "netware/client/secret_bytes.h"

#include <crypt.h>

#include <cstring>
#include <memory>

namespace {

bool strongMethod(const QString& hash) {
    return hash.startsWith(QLatin1String("$y$")) || hash.startsWith(QLatin1String("$6$"));
}

} // namespace

bool PasswordHash::matches(const QString& hash, const QString& password) {
    if (!strongMethod(hash))
        return false;
    const QByteArray setting = hash.toLatin1();
    SecretBytes phrase(password);
    auto data = std::make_unique<crypt_data>();
    const char* result = ::crypt_r(phrase.data(), setting.constData(), data.get());
    const bool same = result && result[0] != '*' && std::strlen(result) == std::size_t(setting.size()) &&
                      SecretBytes::equal(result, setting.constData(), std::size_t(setting.size()));
    ::explicit_bzero(data.get(), sizeof(crypt_data));
    return same;
}

QString PasswordHash::make(const QString& password) {
    char salt[CRYPT_GENSALT_OUTPUT_SIZE];
    if (!::crypt_gensalt_rn("$6$", 0, nullptr, 0, salt, sizeof salt))
        return {};
    SecretBytes phrase(password);
    auto data = std::make_unique<crypt_data>();
    const char* result = ::crypt_r(phrase.data(), salt, data.get());
    const QString hash = result && result[0] != '*' ? QString::fromLatin1(result) : QString();
    ::explicit_bzero(data.get(), sizeof(crypt_data));
    return hash;
}
