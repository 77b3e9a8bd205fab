#pragma once

#include "netware/client/nw_types.h"
#include "netware/client/site.h"

// What every group of client calls shares: the site they work on, whether
// the client was started, and the result of the latest call.
class ClientCore {
public:
    const Site& site() const { return m_site; }
    NWCCODE lastResult() const { return m_lastResult; }
    // Why the latest call that failed because the tree's directory did not
    // answer failed (the server and what it said); kept until another such
    // failure, so a caller can still say it after closing its context.
    const QString& directoryFailure() const { return m_directoryFailure; }

protected:
    explicit ClientCore(Site site) : m_site(std::move(site)) {}
    std::int32_t done(std::int32_t result) { return m_lastResult = result; }
    // The call failed as the directory did: its code, its reason kept.
    std::int32_t failedAsDirectory(std::int32_t code, const QString& why) {
        m_directoryFailure = why;
        return m_lastResult = code;
    }

    Site m_site;
    bool m_initialized = false;

private:
    std::int32_t m_lastResult = 0;
    QString m_directoryFailure;
};
