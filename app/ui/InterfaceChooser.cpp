// SPDX-License-Identifier: MIT
#include "ui/InterfaceChooser.h"

#include "ui_InterfaceChooser.h"

#include <algorithm>

InterfaceChooser::InterfaceChooser(QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::InterfaceChooser>())
{
    m_ui->setupUi(this);
    m_ui->reasonLabel->hide();
    m_ui->helpButton->setShortcut(QKeySequence::HelpContents);
    m_ui->quitButton->setShortcut(QKeySequence::Quit);
    connect(m_ui->watchButton, &QPushButton::clicked, this, &InterfaceChooser::watchRequested);
    connect(m_ui->helpButton, &QPushButton::clicked, this, &InterfaceChooser::helpRequested);
    connect(m_ui->quitButton, &QPushButton::clicked, this, &InterfaceChooser::quitRequested);
}

InterfaceChooser::~InterfaceChooser() = default;

void InterfaceChooser::setInterfaces(const std::optional<QList<InterfaceList::Entry>> &interfaces)
{
    QComboBox *box = m_ui->interfaceBox;
    const QString chosen = box->currentText();
    box->clear();
    for (const InterfaceList::Entry &entry : interfaces.value_or(QList<InterfaceList::Entry>{}))
        box->addItem(entry.formattedName);
    box->setCurrentIndex(std::max(box->findText(chosen), 0));
    if (!interfaces)
        showReason(tr("The network interfaces could not be read."));
    else if (interfaces->isEmpty())
        showReason(tr("No network interface that is up has an address."));
    else
        showReason({});
    updateWatchButton();
}

int InterfaceChooser::chosenIndex() const
{
    return m_ui->interfaceBox->currentIndex();
}

void InterfaceChooser::setStarting(bool starting)
{
    m_starting = starting;
    updateWatchButton();
}

// Without interfaces the list gives way to the reason.
void InterfaceChooser::showReason(const QString &reason)
{
    m_ui->reasonLabel->setText(reason);
    m_ui->reasonLabel->setVisible(!reason.isEmpty());
    m_ui->promptLabel->setVisible(reason.isEmpty());
    m_ui->interfaceBox->setVisible(reason.isEmpty());
}

void InterfaceChooser::updateWatchButton()
{
    m_ui->watchButton->setEnabled(!m_starting && m_ui->interfaceBox->count() > 0);
}
