#pragma once

#include "netware/client/nw_types.h"

#include <QByteArray>
#include <QString>

// Checks a host account's password through PAM: the service "quarvo" where
// the system has one, else "login". The conversation is answered from the
// typed password only; a prompt that asks for anything else fails the login.
class PamLogin {
public:
    // 0 when the account may log in with the password; nw::ERR_FAILED_AUTHENTICATION
    // for a wrong password or an account PAM refuses; nw::ERR_NO_LOGIN_METHOD
    // when PAM cannot be started.
    static NWDSCCODE check(const QByteArray& account, const QString& password);
    static QByteArray serviceName();
};
