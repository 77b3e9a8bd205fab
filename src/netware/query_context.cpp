#include "netware/query_context.h"

QueryContext::QueryContext(const DirectoryEnv& env, std::optional<QString> nameContext, std::optional<std::uint32_t> flags)
    : m_client(env.client) {
    m_client.NWDSCreateContextHandle(m_handle);
    m_client.NWDSSetContext(m_handle, nw::DCK_TREE_NAME, env.app.treeName);
    std::uint32_t value = 0;
    if (flags) {
        value = *flags;
    } else {
        m_client.NWDSGetContext(m_handle, nw::DCK_FLAGS, value);
        value |= nw::DCV_TYPELESS_NAMES;
    }
    m_client.NWDSSetContext(m_handle, nw::DCK_FLAGS, value);
    if (nameContext)
        m_client.NWDSSetContext(m_handle, nw::DCK_NAME_CONTEXT, *nameContext);
}

QueryContext::~QueryContext() {
    m_client.NWDSFreeContext(m_handle);
}
