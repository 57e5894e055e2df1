// SPDX-License-Identifier: MIT
#include "ui/StreamWindowToolbar.h"

#include "platform/Bundle.h"
#include "platform/Preferences.h"
#include "platform/SystemLog.h"
#include "ui/ToolbarImages.h"

#include <QActionGroup>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QWidgetAction>

#include <array>

namespace {

const QString kItemsKey = QStringLiteral("items");
const QString kDisplayKey = QStringLiteral("display");
const QString kFlexibleSpace = QStringLiteral("FlexibleSpace");
constexpr int kSearchMinimumWidth = 100;
constexpr int kSearchMaximumWidth = 400;

struct ItemChoice
{
    const char *identifier;
    const char *paletteLabel;
};

// Every item the person may show, in the one order they take; all of them by default.
constexpr std::array kItemChoices{
    ItemChoice{"Refresh", QT_TRANSLATE_NOOP("StreamWindowToolbar", "Refresh")},
    ItemChoice{"Pause", QT_TRANSLATE_NOOP("StreamWindowToolbar", "Pause")},
    ItemChoice{"Summary", QT_TRANSLATE_NOOP("StreamWindowToolbar", "Summary")},
    ItemChoice{"Logging", QT_TRANSLATE_NOOP("StreamWindowToolbar", "Log to File")},
    ItemChoice{"FlexibleSpace", QT_TRANSLATE_NOOP("StreamWindowToolbar", "Flexible Space")},
    ItemChoice{"Search", QT_TRANSLATE_NOOP("StreamWindowToolbar", "Search")},
};

struct DisplayMode
{
    const char *name;
    Qt::ToolButtonStyle style;
    const char *label;
};

// The first is the default.
constexpr std::array kDisplayModes{
    DisplayMode{"iconAndLabel", Qt::ToolButtonTextUnderIcon,
                QT_TRANSLATE_NOOP("StreamWindowToolbar", "Icon and Label")},
    DisplayMode{"iconOnly", Qt::ToolButtonIconOnly, QT_TRANSLATE_NOOP("StreamWindowToolbar", "Icon Only")},
    DisplayMode{"labelOnly", Qt::ToolButtonTextOnly, QT_TRANSLATE_NOOP("StreamWindowToolbar", "Label Only")},
};

QStringList defaultItemIdentifiers()
{
    QStringList identifiers;
    for (const ItemChoice &choice : kItemChoices)
        identifiers << QLatin1StringView(choice.identifier);
    return identifiers;
}

const DisplayMode &displayModeNamed(const QString &name)
{
    for (const DisplayMode &mode : kDisplayModes) {
        if (name == QLatin1StringView(mode.name))
            return mode;
    }
    return kDisplayModes.front();
}

QString displayModeName(Qt::ToolButtonStyle style)
{
    for (const DisplayMode &mode : kDisplayModes) {
        if (mode.style == style)
            return QLatin1StringView(mode.name);
    }
    return QLatin1StringView(kDisplayModes.front().name);
}

QWidget *flexibleSpace()
{
    auto *space = new QWidget;
    space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return space;
}

} // namespace

// One toolbar item: a button, or a widget in its place. A lent widget (the window's search
// field) stays the window's: when the item leaves the toolbar it is hidden, not deleted.
class StreamWindowToolbar::Item : public QWidgetAction
{
public:
    Item(const QString &identifier, QObject *parent)
        : QWidgetAction(parent)
    {
        setObjectName(identifier);
        setText(identifier);
    }

    void lend(QWidget *widget) { m_lent = widget; }

protected:
    QWidget *createWidget(QWidget *parent) override
    {
        // One place at a time: an overflow menu shows the item as a plain entry.
        if (m_lent == nullptr || m_lentOut)
            return nullptr;
        m_lent->setParent(parent);
        m_lentOut = true;
        return m_lent;
    }

    void deleteWidget(QWidget *widget) override
    {
        widget->hide();
        m_lentOut = false;
    }

private:
    QPointer<QWidget> m_lent;
    bool m_lentOut = false;
};

StreamWindowToolbar::StreamWindowToolbar(QLineEdit *searchField, QWidget *parent)
    : QToolBar(parent)
    , m_searchField(searchField)
{
    setObjectName(QStringLiteral("StreamWindow"));
    setMovable(false);
    setIconSize(QSize(32, 32));
    Preferences::shared().bind(QString(Preferences::StreamWindow), this,
                               [this](const QVariant &saved) { applyConfiguration(saved); });
}

void StreamWindowToolbar::showPaused(bool paused)
{
    m_paused = paused;
    if (QAction *item = itemWithIdentifier(QStringLiteral("Pause")))
        showPauseLook(item);
}

void StreamWindowToolbar::showLogging(bool logging)
{
    m_logging = logging;
    if (QAction *item = itemWithIdentifier(QStringLiteral("Logging")))
        showLoggingLook(item);
}

QStringList StreamWindowToolbar::itemIdentifiers() const
{
    QStringList identifiers;
    for (const QAction *item : actions())
        identifiers << item->objectName();
    return identifiers;
}

QAction *StreamWindowToolbar::itemWithIdentifier(const QString &identifier) const
{
    for (QAction *item : actions()) {
        if (item->objectName() == identifier)
            return item;
    }
    return nullptr;
}

// Without saved items (nothing saved yet) every item is shown.
void StreamWindowToolbar::applyConfiguration(const QVariant &saved)
{
    const QVariantMap configuration = saved.toMap();
    QStringList identifiers
        = configuration.contains(kItemsKey) ? configuration.value(kItemsKey).toStringList() : defaultItemIdentifiers();
    identifiers.removeDuplicates();
    setToolButtonStyle(displayModeNamed(configuration.value(kDisplayKey).toString()).style);
    placeItems(identifiers);
}

// An item that stays shown is kept as it is (the search field keeps its focus); new items are
// made as they are inserted.
void StreamWindowToolbar::placeItems(const QStringList &identifiers)
{
    for (QAction *item : actions()) {
        if (!identifiers.contains(item->objectName())) {
            // Off the toolbar first: that gives the lent search field back.
            removeAction(item);
            delete item;
        }
    }
    for (qsizetype index = 0; index < identifiers.size(); ++index) {
        QAction *item = itemWithIdentifier(identifiers[index]);
        if (item == nullptr)
            item = makeItem(identifiers[index]);
        const QList<QAction *> placed = actions();
        if (placed.value(index) != item)
            insertAction(placed.value(index), item);
    }
}

const QHash<QString, StreamWindowToolbar::ItemSetup> &StreamWindowToolbar::itemSetups()
{
    static const QHash<QString, ItemSetup> setups{
        {QStringLiteral("setupRefreshToolbarItem:"), &StreamWindowToolbar::setupRefreshToolbarItem},
        {QStringLiteral("setupPauseToolbarItem:"), &StreamWindowToolbar::setupPauseToolbarItem},
        {QStringLiteral("setupSummaryToolbarItem:"), &StreamWindowToolbar::setupSummaryToolbarItem},
        {QStringLiteral("setupLoggingToolbarItem:"), &StreamWindowToolbar::setupLoggingToolbarItem},
        {QStringLiteral("setupSearchToolbarItem:"), &StreamWindowToolbar::setupSearchToolbarItem},
    };
    return setups;
}

// An identifier without a setup function gives a bare item: its identifier as text, and
// nothing happens when it is pressed.
QAction *StreamWindowToolbar::makeItem(const QString &identifier)
{
    auto *item = new Item(identifier, this);
    if (identifier == kFlexibleSpace) {
        item->setDefaultWidget(flexibleSpace());
        return item;
    }
    const QString selector = QStringLiteral("setup%1ToolbarItem:").arg(identifier);
    if (const ItemSetup setup = itemSetups().value(selector))
        (this->*setup)(item);
    else
        systemLog(QStringLiteral("Couldn't find selector %1 when creating toolbar item!").arg(selector));
    return item;
}

void StreamWindowToolbar::setupRefreshToolbarItem(Item *item)
{
    item->setText(tr("Refresh"));
    item->setIcon(ToolbarImages::refreshImage());
    connect(item, &QAction::triggered, this, &StreamWindowToolbar::refreshRequested);
}

void StreamWindowToolbar::setupPauseToolbarItem(Item *item)
{
    showPauseLook(item);
    connect(item, &QAction::triggered, this, &StreamWindowToolbar::pauseRequested);
}

void StreamWindowToolbar::setupSummaryToolbarItem(Item *item)
{
    item->setText(tr("Summary"));
    item->setIcon(QIcon(Bundle::pathForResource(QStringLiteral("Summary.png"))));
    connect(item, &QAction::triggered, this, &StreamWindowToolbar::summaryRequested);
}

void StreamWindowToolbar::setupLoggingToolbarItem(Item *item)
{
    showLoggingLook(item);
    connect(item, &QAction::triggered, this, &StreamWindowToolbar::loggingRequested);
}

void StreamWindowToolbar::setupSearchToolbarItem(Item *item)
{
    item->setText(tr("Search"));
    m_searchField->setMinimumWidth(kSearchMinimumWidth);
    m_searchField->setMaximumWidth(kSearchMaximumWidth);
    item->lend(m_searchField);
}

void StreamWindowToolbar::showPauseLook(QAction *item) const
{
    item->setText(m_paused ? tr("Resume") : tr("Pause"));
    item->setIcon(m_paused ? ToolbarImages::playImage() : ToolbarImages::pauseImage());
}

void StreamWindowToolbar::showLoggingLook(QAction *item) const
{
    item->setText(m_logging ? tr("Stop Logging") : tr("Log to File"));
    item->setIcon(m_logging ? ToolbarImages::stopLogImage() : ToolbarImages::logImage());
}

QMenu *StreamWindowToolbar::customizationMenu(QWidget *parent)
{
    auto *menu = new QMenu(parent);
    addItemChoices(menu);
    menu->addSeparator();
    addDisplayChoices(menu);
    return menu;
}

void StreamWindowToolbar::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = customizationMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

void StreamWindowToolbar::addItemChoices(QMenu *menu)
{
    const QStringList shown = itemIdentifiers();
    for (const ItemChoice &choice : kItemChoices) {
        const QString identifier = QLatin1StringView(choice.identifier);
        QAction *action = menu->addAction(tr(choice.paletteLabel));
        action->setCheckable(true);
        action->setChecked(shown.contains(identifier));
        connect(action, &QAction::triggered, this, [this, identifier](bool show) { setItemShown(identifier, show); });
    }
}

void StreamWindowToolbar::addDisplayChoices(QMenu *menu)
{
    auto *group = new QActionGroup(menu);
    for (const DisplayMode &mode : kDisplayModes) {
        QAction *action = group->addAction(tr(mode.label));
        action->setCheckable(true);
        action->setChecked(mode.style == toolButtonStyle());
        const QString name = QLatin1StringView(mode.name);
        connect(action, &QAction::triggered, this, [this, name] { saveConfiguration(itemIdentifiers(), name); });
    }
    menu->addActions(group->actions());
}

// Saved in the one allowed order, which also drops identifiers this version does not know.
void StreamWindowToolbar::showSearchField()
{
    const QString search = QStringLiteral("Search");
    if (!itemIdentifiers().contains(search))
        setItemShown(search, true);
    show();
}

void StreamWindowToolbar::setItemShown(const QString &identifier, bool shown)
{
    const QStringList current = itemIdentifiers();
    QStringList identifiers;
    for (const ItemChoice &choice : kItemChoices) {
        const QString candidate = QLatin1StringView(choice.identifier);
        if (candidate == identifier ? shown : current.contains(candidate))
            identifiers << candidate;
    }
    saveConfiguration(identifiers, displayModeName(toolButtonStyle()));
}

// Every open toolbar, this one included, follows the saved value.
void StreamWindowToolbar::saveConfiguration(const QStringList &identifiers, const QString &display) const
{
    Preferences::shared().setValue(QString(Preferences::StreamWindow),
                                   QVariantMap{{kItemsKey, identifiers}, {kDisplayKey, display}});
}
