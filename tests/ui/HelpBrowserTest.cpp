// SPDX-License-Identifier: MIT
#include "ui/HelpBrowser.h"
#include "UiTestSupport.h"
#include "ui/HelpWindow.h"

#include <gtest/gtest.h>

#include <QTest>

namespace {

// Two pages in a folder of their own; whatever the view hands to the desktop is kept.
class HelpBrowserTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_pages.isValid());
        write(QStringLiteral("index.html"),
              "<html><head><title>Start</title></head><body>"
              "<p><a href=\"http://example.org/news\">Web</a></p>"
              "<p><a href=\"second.html\">Second</a></p></body></html>");
        write(QStringLiteral("second.html"), "<html><head><title>Second</title></head><body>Two</body></html>");
        m_browser.setDesktopHandOff([this](const QUrl &url) { m_handedOff << url; });
        m_browser.resize(400, 300);
        m_browser.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_browser));
        m_browser.setSource(page(QStringLiteral("index.html")));
    }

    void write(const QString &name, const char *html)
    {
        QFile file(m_pages.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(html);
    }

    QUrl page(const QString &name) const { return QUrl::fromLocalFile(m_pages.filePath(name)); }

    // Clicks the link as a person would, inside its text.
    void clickLink(const QString &text)
    {
        QTextCursor cursor = m_browser.document()->find(text);
        ASSERT_FALSE(cursor.isNull());
        cursor.setPosition(cursor.selectionStart() + 1);
        QTest::mouseClick(m_browser.viewport(), Qt::LeftButton, {}, m_browser.cursorRect(cursor).center());
    }

    QApplication &m_application = uiApplication();
    QTemporaryDir m_pages;
    HelpBrowser m_browser;
    QList<QUrl> m_handedOff;
};

} // namespace

TEST_F(HelpBrowserTest, WebLinkGoesToTheDesktopAndTheViewStays)
{
    clickLink(QStringLiteral("Web"));
    EXPECT_EQ(m_handedOff, QList<QUrl>{QUrl(QStringLiteral("http://example.org/news"))});
    EXPECT_EQ(m_browser.source(), page(QStringLiteral("index.html")));
    EXPECT_EQ(m_browser.documentTitle(), QStringLiteral("Start"));

    m_browser.setSource(QUrl(QStringLiteral("https://example.org/")));
    EXPECT_EQ(m_handedOff.size(), 2);
    EXPECT_EQ(m_browser.source(), page(QStringLiteral("index.html")));
    EXPECT_FALSE(m_browser.loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("http://example.org/a.png")))
                     .isValid());
}

TEST_F(HelpBrowserTest, LocalLinkOpensInTheView)
{
    clickLink(QStringLiteral("Second"));
    EXPECT_TRUE(m_handedOff.isEmpty());
    EXPECT_EQ(m_browser.source(), page(QStringLiteral("second.html")));
    EXPECT_EQ(m_browser.documentTitle(), QStringLiteral("Second"));
}

TEST_F(HelpBrowserTest, MissingStartPageSaysWhereItWasExpected)
{
    const QString missing = m_pages.filePath(QStringLiteral("absent/index.html"));
    HelpWindow window(missing);
    window.showStartPage();
    EXPECT_TRUE(window.browser()->toPlainText().contains(
        QStringLiteral("The help pages are missing from this installation (expected at %1).").arg(missing)));
}
