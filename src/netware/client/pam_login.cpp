#include "netware/client/pam_login.h"

#include "netware/client/secret_bytes.h"

#include <QFile>
#include <QProcessEnvironment>

#include <security/pam_appl.h>

#include <cstdlib>
#include <cstring>

namespace {

// Answers every password prompt with the password; messages need no answer;
// any other question fails, as nothing else was typed.
int converse(int count, const pam_message** messages, pam_response** responses, void* password) {
    auto* replies = static_cast<pam_response*>(std::calloc(std::size_t(count), sizeof(pam_response)));
    if (!replies)
        return PAM_BUF_ERR;
    for (int i = 0; i < count; ++i) {
        const int style = messages[i]->msg_style;
        if (style == PAM_PROMPT_ECHO_OFF) {
            replies[i].resp = ::strdup(static_cast<const char*>(password));
        } else if (style != PAM_ERROR_MSG && style != PAM_TEXT_INFO) {
            for (int j = 0; j < i; ++j) {
                if (replies[j].resp)
                    ::explicit_bzero(replies[j].resp, std::strlen(replies[j].resp));
                std::free(replies[j].resp);
            }
            std::free(replies);
            return PAM_CONV_ERR;
        }
    }
    *responses = replies;
    return PAM_SUCCESS;
}

} // namespace

QByteArray PamLogin::serviceName() {
    // Under pam_wrapper (tests) the services live in a folder of their own.
    const QString wrapped = QProcessEnvironment::systemEnvironment().value(QStringLiteral("PAM_WRAPPER_SERVICE_DIR"));
    for (const QString& folder : {wrapped, QStringLiteral("/etc/pam.d"), QStringLiteral("/usr/lib/pam.d")}) {
        if (!folder.isEmpty() && QFile::exists(folder + QStringLiteral("/quarvo")))
            return QByteArrayLiteral("quarvo");
    }
    return QByteArrayLiteral("login");
}

NWDSCCODE PamLogin::check(const QByteArray& account, const QString& password) {
    SecretBytes secret(password);
    const pam_conv conversation{converse, secret.data()};
    pam_handle_t* handle = nullptr;
    if (::pam_start(serviceName().constData(), account.constData(), &conversation, &handle) != PAM_SUCCESS)
        return nw::ERR_NO_LOGIN_METHOD;
    int result = ::pam_authenticate(handle, PAM_SILENT | PAM_DISALLOW_NULL_AUTHTOK);
    if (result == PAM_SUCCESS)
        result = ::pam_acct_mgmt(handle, PAM_SILENT | PAM_DISALLOW_NULL_AUTHTOK);
    ::pam_end(handle, result);
    return result == PAM_SUCCESS ? nw::SUCCESSFUL : nw::ERR_FAILED_AUTHENTICATION;
}
