#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Where a server's volume lives on this host.
class VolumeLocator {
public:
    virtual ~VolumeLocator() = default;
    // The local root of \\server\volume (names compared without regard to case);
    // empty when the server or the volume is unknown, or the volume is not there now.
    virtual std::optional<QByteArray> volumeRoot(const QString& server, const QString& volume) const = 0;
    // Why a volume the server has gives no root now, such as "\\VM\SCRATCH is
    // not mounted (...)"; empty when the server or the volume is unknown.
    virtual QString whyNoRoot(const QString& /*server*/, const QString& /*volume*/) const { return {}; }
};
