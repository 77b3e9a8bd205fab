#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// Sizes as a person reads them best, for the window only: in B, KB, MB, GB
// or TB, whichever keeps the figure under 1,024 (powers of 1,024, two
// decimals in the locale's form). Saved files, copies and the command line
// keep their megabytes.
namespace FittingSizes {

QString of(double bytes);
// Columns of sizes: megabyte columns ("Size(MB)", "Change(MB)"...) and the
// byte columns "Size" and "Allocated".
bool isSizeHeading(const QString& heading);
// The heading without its unit: "Size(MB)" -> "Size".
QString heading(const QString& heading);
// A size cell in fitting units: exactBytes when given, else the figure the
// cell holds (megabytes under an "(MB)" heading, bytes otherwise); a cell
// that is no number stays as it is.
QString cell(const QString& heading, const QString& text, std::optional<std::int64_t> exactBytes = std::nullopt);

} // namespace FittingSizes
