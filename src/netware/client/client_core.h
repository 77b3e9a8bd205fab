#pragma once

#include "netware/client/nw_types.h"
#include "netware/client/site.h"

// What every group of client calls shares: the site they work on, whether
// the client was started, and the result of the latest call.
class ClientCore {
public:
    const Site& site() const { return m_site; }
    NWCCODE lastResult() const { return m_lastResult; }

protected:
    explicit ClientCore(Site site) : m_site(std::move(site)) {}
    std::int32_t done(std::int32_t result) { return m_lastResult = result; }

    Site m_site;
    bool m_initialized = false;

private:
    std::int32_t m_lastResult = 0;
};
