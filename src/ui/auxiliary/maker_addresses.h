#pragma once

#include <QString>

// The maker's addresses, in one place (the help's contents page shows them too).
namespace MakerAddresses {

inline QString webSite() { return QStringLiteral("https://quarvo.example.org/"); }
inline QString faqs() { return QStringLiteral("https://quarvo.example.org/faq"); }
inline QString otherProducts() { return QStringLiteral("https://quarvo.example.org/products"); }
inline QString supportMail() { return QStringLiteral("mailto:support@quarvo.example.org"); }
// Where the scripting runtime the notice names is downloaded.
inline QString scriptingDownloads() { return QStringLiteral("https://www.microsoft.com/download"); }

} // namespace MakerAddresses
