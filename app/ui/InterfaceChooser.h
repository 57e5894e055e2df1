// SPDX-License-Identifier: MIT
#pragma once

#include "platform/InterfaceList.h"

#include <QDialog>

#include <memory>
#include <optional>

namespace Ui {
class InterfaceChooser;
}

// The small window that starts it all: the machine's interfaces in a list, Watch to open a
// stream window on the chosen one, Help and Quit. Closing it (or Escape) emits rejected();
// what follows is the application controller's decision.
class InterfaceChooser : public QDialog
{
    Q_OBJECT

public:
    explicit InterfaceChooser(QWidget *parent = nullptr);
    ~InterfaceChooser() override;

    // Offers the entries' formatted names in list order and keeps the chosen interface chosen
    // when it is still there. Without entries (or without a list: the system would not give
    // one) Watch is off and the window says why.
    void setInterfaces(const std::optional<QList<InterfaceList::Entry>> &interfaces);
    // The position of the chosen entry in the list last given; -1 when there is none.
    int chosenIndex() const;
    // While a capture starts Watch is off, so a second start cannot begin inside the first.
    void setStarting(bool starting);

signals:
    void watchRequested();
    void helpRequested();
    void quitRequested();

private:
    void showReason(const QString &reason);
    void updateWatchButton();

    std::unique_ptr<Ui::InterfaceChooser> m_ui;
    bool m_starting = false;
};
