// SPDX-License-Identifier: MIT
#pragma once

#include <QTextBrowser>

#include <functional>

// A view of the installed help pages that reads nothing but local files. A page, picture or
// style sheet is loaded only from a "file" URL; a link anywhere else (a web page, a mail
// address) is handed to the desktop, which opens it in the person's own program, and the
// view stays on the page it shows. Help pages are never a way to fetch from the network.
class HelpBrowser : public QTextBrowser
{
    Q_OBJECT

public:
    using DesktopHandOff = std::function<void(const QUrl &)>;

    explicit HelpBrowser(QWidget *parent = nullptr);

    // Where links the view does not follow go: QDesktopServices::openUrl unless replaced.
    void setDesktopHandOff(DesktopHandOff handOff);
    // Shows the page read afresh, from its top.
    void showPage(const QUrl &page);

    // A missing local page reads as a page saying so, with the path it was expected at.
    QVariant loadResource(int type, const QUrl &name) override;

protected:
    void doSetSource(const QUrl &name, QTextDocument::ResourceType type) override;

private:
    static QString missingPage(const QString &path);

    DesktopHandOff m_handOff;
};
