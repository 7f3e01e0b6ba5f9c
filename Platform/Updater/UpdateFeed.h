#pragma once

#include "Platform/Updater/VersionNumber.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

namespace kestrune {

// One published release: its number and the web page to get it from.
struct UpdateRelease {
    VersionNumber version;
    QUrl page;
};

// The release feed: RSS 2.0 with one item per release, each naming its number in our own
// namespace and its page in the item's link:
//
//   <rss version="2.0" xmlns:kestrune="https://kestrune.org/xmlns/update">
//     <channel>
//       <title>Kestrune</title>
//       <item>
//         <title>Kestrune 0.2.0</title>
//         <link>https://kestrune.org/releases/0.2.0</link>
//         <kestrune:version>0.2.0</kestrune:version>
//       </item>
//     </channel>
//   </rss>
//
// Items whose number cannot be read, or whose link is not a web address, are passed over:
// the page is opened in the user's browser, so nothing else may reach it.
class UpdateFeed {
public:
    static constexpr auto versionNamespace = "https://kestrune.org/xmlns/update";

    struct Result {
        std::optional<UpdateRelease> newest; // set when `error` is empty
        QString error;
    };

    // An http or https address with a host: the only kind the updater fetches or sends the
    // user's browser to.
    static bool isWebAddress(const QUrl& url);

    // The newest release of the feed. A document that is not such a feed, or one without a
    // single usable release, is an error: it never means that there is nothing newer.
    static Result newestRelease(const QByteArray& document);
};

} // namespace kestrune
