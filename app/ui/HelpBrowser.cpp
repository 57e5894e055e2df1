// SPDX-License-Identifier: MIT
#include "ui/HelpBrowser.h"

#include <QDesktopServices>
#include <QFileInfo>

namespace {

// Exactly "file": anything else, however it is spelt, is not a local help page.
bool isLocal(const QUrl &url)
{
    return url.scheme() == QLatin1StringView("file");
}

} // namespace

HelpBrowser::HelpBrowser(QWidget *parent)
    : QTextBrowser(parent)
    , m_handOff([](const QUrl &url) { QDesktopServices::openUrl(url); })
{
    // Every activated link comes here first, so no link bypasses doSetSource's check.
    document()->setDocumentMargin(12);
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl &link) { setSource(link); });
}

void HelpBrowser::setDesktopHandOff(DesktopHandOff handOff)
{
    m_handOff = std::move(handOff);
}

void HelpBrowser::showPage(const QUrl &page)
{
    if (source() == page)
        reload();
    else
        setSource(page);
}

QVariant HelpBrowser::loadResource(int type, const QUrl &name)
{
    const QUrl url = source().resolved(name);
    if (!isLocal(url))
        return {};
    if (type == QTextDocument::HtmlResource && !QFileInfo::exists(url.toLocalFile()))
        return missingPage(url.toLocalFile());
    return QTextBrowser::loadResource(type, url);
}

void HelpBrowser::doSetSource(const QUrl &name, QTextDocument::ResourceType type)
{
    const QUrl url = source().resolved(name);
    if (url.isEmpty())
        return;
    if (isLocal(url))
        QTextBrowser::doSetSource(url, type);
    else
        m_handOff(url);
}

QString HelpBrowser::missingPage(const QString &path)
{
    return QStringLiteral("<html><body><h2>%1</h2><p>%2</p></body></html>")
        .arg(tr("Help Is Not Available").toHtmlEscaped(),
             tr("The help pages are missing from this installation (expected at %1).").arg(path).toHtmlEscaped());
}
