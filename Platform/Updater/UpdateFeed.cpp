#include "Platform/Updater/UpdateFeed.h"

#include "Foundation/Localized.h"

#include <QXmlStreamReader>

namespace kestrune {

namespace {

std::optional<UpdateRelease> readItem(QXmlStreamReader& xml)
{
    std::optional<VersionNumber> version;
    QUrl page;
    while (xml.readNextStartElement()) {
        if (xml.namespaceUri() == QLatin1String(UpdateFeed::versionNamespace) && xml.name() == u"version")
            version = VersionNumber::parse(xml.readElementText());
        else if (xml.namespaceUri().isEmpty() && xml.name() == u"link")
            page = QUrl(xml.readElementText().trimmed(), QUrl::StrictMode);
        else
            xml.skipCurrentElement();
    }
    if (!version || !UpdateFeed::isWebAddress(page))
        return std::nullopt;
    return UpdateRelease{*version, page};
}

} // namespace

bool UpdateFeed::isWebAddress(const QUrl& url)
{
    return url.isValid() && !url.host().isEmpty() && (url.scheme() == u"https" || url.scheme() == u"http");
}

UpdateFeed::Result UpdateFeed::newestRelease(const QByteArray& document)
{
    const QString malformed = Localized::text("アップデート情報の形式が正しくありません");
    QXmlStreamReader xml(document);
    if (!xml.readNextStartElement() || xml.name() != u"rss" || !xml.namespaceUri().isEmpty())
        return {std::nullopt, malformed};

    std::optional<UpdateRelease> newest;
    bool sawChannel = false;
    while (xml.readNextStartElement()) {
        if (xml.name() != u"channel") {
            xml.skipCurrentElement();
            continue;
        }
        sawChannel = true;
        while (xml.readNextStartElement()) {
            if (xml.name() != u"item") {
                xml.skipCurrentElement();
                continue;
            }
            const auto release = readItem(xml);
            if (release && (!newest || release->version > newest->version))
                newest = release;
        }
    }
    // Read to the end, so that a document broken after its items is still refused.
    while (!xml.atEnd())
        xml.readNext();
    if (xml.hasError() || !sawChannel)
        return {std::nullopt, malformed};
    if (!newest)
        return {std::nullopt, Localized::text("アップデート情報に公開中のリリースがありません")};
    return {newest, {}};
}

} // namespace kestrune
