#pragma once

#include "netware/directory_env.h"

#include <QString>

#include <cstdint>
#include <optional>

// A directory-services context on the run's tree for one query, freed when
// the query ends. Without flags it asks for typeless names; with a name
// context, names are read relative to it.
class QueryContext {
public:
    QueryContext(const DirectoryEnv& env, std::optional<QString> nameContext, std::optional<std::uint32_t> flags = {});
    ~QueryContext();
    QueryContext(const QueryContext&) = delete;
    QueryContext& operator=(const QueryContext&) = delete;
    NWDSContextHandle handle() const { return m_handle; }

private:
    NetWareClient& m_client;
    NWDSContextHandle m_handle = 0;
};
