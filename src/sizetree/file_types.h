#pragma once

#include <QByteArrayView>
#include <QString>

#include <cstdint>

// The kinds of file the breakdowns and the treemap tell apart, by name.
enum class FileCategory { Documents, Images, AudioVideo, Archives, Code, Executables, Other };

namespace FileTypes {

// The extension after the last dot, lower-cased ASCII; empty for none (a
// name with no dot, or only a leading one such as ".profile").
QByteArray extensionOf(QByteArrayView name);
FileCategory categoryOf(QByteArrayView extension);
QString nameOf(FileCategory category);
// The treemap's fixed colour of each category, as 0xRRGGBB.
std::uint32_t colourOf(FileCategory category);

} // namespace FileTypes
