// SPDX-License-Identifier: MIT
#include "ui/HelpWindow.h"

#include "platform/Bundle.h"
#include "ui/HelpBrowser.h"
#include "ui_Help.h"

#include <QFileInfo>
#include <QLocale>
#include <QStyle>

// The pages in the first of the person's languages they were written or translated in
// (Help/de/ for German); the English ones are Help/ itself.
QString HelpWindow::installedStartPage()
{
    for (const QString &language : QLocale().uiLanguages()) {
        const QString code = language.section(u'-', 0, 0);
        if (code == u"en")
            break;
        const QString translated = Bundle::pathForResource(QStringLiteral("Help/%1/index.html").arg(code));
        if (QFileInfo::exists(translated))
            return translated;
    }
    return Bundle::pathForResource(QStringLiteral("Help/index.html"));
}

HelpWindow::HelpWindow(const QString &startPage, QWidget *parent)
    : QMainWindow(parent)
    , m_ui(std::make_unique<Ui::HelpWindow>())
    , m_startPage(startPage)
{
    m_ui->setupUi(this);
    setUpActions();
}

HelpWindow::~HelpWindow() = default;

HelpBrowser *HelpWindow::browser() const
{
    return m_ui->browser;
}

void HelpWindow::showStartPage()
{
    loadStartPage();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

// The desktop's icon theme first, the style's own pictures where it has none.
void HelpWindow::setUpActions()
{
    const auto icon = [this](const char *themeName, QStyle::StandardPixmap fallback) {
        return QIcon::fromTheme(QLatin1StringView(themeName), style()->standardIcon(fallback));
    };
    m_ui->backAction->setIcon(icon("go-previous", QStyle::SP_ArrowBack));
    m_ui->backAction->setShortcut(QKeySequence::Back);
    m_ui->forwardAction->setIcon(icon("go-next", QStyle::SP_ArrowForward));
    m_ui->forwardAction->setShortcut(QKeySequence::Forward);
    // The style has no picture that reads as "contents", so without a theme the label stands alone.
    m_ui->startAction->setIcon(QIcon::fromTheme(QStringLiteral("go-home")));
    m_ui->closeAction->setShortcut(QKeySequence::Close);
    addAction(m_ui->closeAction);

    HelpBrowser *view = m_ui->browser;
    connect(m_ui->backAction, &QAction::triggered, view, &QTextBrowser::backward);
    connect(m_ui->forwardAction, &QAction::triggered, view, &QTextBrowser::forward);
    connect(view, &QTextBrowser::backwardAvailable, m_ui->backAction, &QAction::setEnabled);
    connect(view, &QTextBrowser::forwardAvailable, m_ui->forwardAction, &QAction::setEnabled);
    connect(m_ui->startAction, &QAction::triggered, this, &HelpWindow::loadStartPage);
    connect(m_ui->closeAction, &QAction::triggered, this, &QWidget::close);
}

void HelpWindow::loadStartPage()
{
    m_ui->browser->showPage(QUrl::fromLocalFile(m_startPage));
}
