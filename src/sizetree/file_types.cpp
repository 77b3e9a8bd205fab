#include "sizetree/file_types.h"

#include <QHash>

namespace FileTypes {

namespace {

const QHash<QByteArray, FileCategory>& categories() {
    static const QHash<QByteArray, FileCategory> known = [] {
        QHash<QByteArray, FileCategory> map;
        const auto add = [&map](FileCategory category, std::initializer_list<const char*> extensions) {
            for (const char* extension : extensions)
                map.insert(extension, category);
        };
        add(FileCategory::Documents, {"pdf", "doc", "docx", "odt", "rtf", "txt", "md", "xls", "xlsx", "ods", "csv",
                                      "ppt", "pptx", "odp", "tex", "epub", "log", "html", "htm", "xml", "json"});
        add(FileCategory::Images, {"jpg", "jpeg", "png", "gif", "bmp", "tif", "tiff", "svg", "webp", "heic", "raw",
                                   "cr2", "nef", "psd", "ico", "xcf"});
        add(FileCategory::AudioVideo, {"mp3", "wav", "flac", "ogg", "oga", "aac", "m4a", "wma", "mp4", "m4v", "mkv",
                                       "avi", "mov", "wmv", "webm", "mpg", "mpeg", "vob", "opus"});
        add(FileCategory::Archives, {"zip", "tar", "gz", "tgz", "bz2", "xz", "zst", "7z", "rar", "iso", "img",
                                     "deb", "rpm", "jar", "cab", "lz", "lzma", "dmg", "qcow2", "vmdk", "bak"});
        add(FileCategory::Code, {"c", "h", "cc", "cpp", "hpp", "cxx", "py", "js", "ts", "java", "go", "rs", "rb",
                                 "php", "pl", "sh", "cs", "swift", "kt", "sql", "css", "ui", "cmake", "o", "obj",
                                 "pyc", "class"});
        add(FileCategory::Executables, {"exe", "dll", "so", "bin", "msi", "appimage", "com", "bat", "cmd", "elf",
                                        "a", "lib", "sys", "ko"});
        return map;
    }();
    return known;
}

} // namespace

QByteArray extensionOf(QByteArrayView name) {
    const qsizetype dot = name.lastIndexOf('.');
    if (dot <= 0 || dot + 1 >= name.size())
        return {};
    return name.sliced(dot + 1).toByteArray().toLower();
}

FileCategory categoryOf(QByteArrayView extension) {
    return categories().value(extension.toByteArray(), FileCategory::Other);
}

QString nameOf(FileCategory category) {
    switch (category) {
    case FileCategory::Documents: return QStringLiteral("Documents");
    case FileCategory::Images: return QStringLiteral("Images");
    case FileCategory::AudioVideo: return QStringLiteral("Audio and video");
    case FileCategory::Archives: return QStringLiteral("Archives");
    case FileCategory::Code: return QStringLiteral("Code");
    case FileCategory::Executables: return QStringLiteral("Executables");
    case FileCategory::Other: break;
    }
    return QStringLiteral("Other");
}

std::uint32_t colourOf(FileCategory category) {
    switch (category) {
    case FileCategory::Documents: return 0x4e79a7u;
    case FileCategory::Images: return 0x59a14fu;
    case FileCategory::AudioVideo: return 0xe15759u;
    case FileCategory::Archives: return 0xf28e2bu;
    case FileCategory::Code: return 0xb07aa1u;
    case FileCategory::Executables: return 0x76b7b2u;
    case FileCategory::Other: break;
    }
    return 0xbab0acu;
}

} // namespace FileTypes
