// SPDX-License-Identifier: MIT
#pragma once

#include <QMainWindow>

#include <memory>

class HelpBrowser;

namespace Ui {
class HelpWindow;
}

// The help: the installed pages in a browser with Back, Forward and Contents. Closing it
// only hides it, so it keeps its size and place for the next Help command.
class HelpWindow : public QMainWindow
{
    Q_OBJECT

public:
    // The start page the application ships: Help/index.html among its resources, or its
    // translation in the person's language (Help/de/index.html).
    static QString installedStartPage();

    explicit HelpWindow(const QString &startPage = installedStartPage(), QWidget *parent = nullptr);
    ~HelpWindow() override;

    HelpBrowser *browser() const;
    // The start page read afresh, in front of the other windows (the Help command).
    void showStartPage();

private:
    void setUpActions();
    void loadStartPage();

    std::unique_ptr<Ui::HelpWindow> m_ui;
    QString m_startPage;
};
