// SPDX-License-Identifier: MIT
#include "ui/StreamWindowController.h"

#include "capture/StreamCapture.h"
#include "logging/GuardedFile.h"
#include "logging/PasteboardSupport.h"
#include "model/Stream.h"
#include "model/StreamGroup.h"
#include "platform/Preferences.h"
#include "ui/PlainAlert.h"
#include "ui/StreamGroupModel.h"
#include "ui/StreamSortModel.h"
#include "ui/StreamTableModel.h"
#include "ui/StreamWindowToolbar.h"
#include "ui/SummaryDrawer.h"
#include "ui/TableExport.h"
#include "ui_StreamWindow.h"

#include <QActionGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <array>
#include <span>

namespace {

constexpr QLatin1StringView kGeometryKey{"StreamWindowGeometry"};
constexpr QLatin1StringView kTableKey{"StreamWindowTable"};
constexpr QLatin1StringView kStateKey{"StreamWindowState"};

// A store that cannot be written, or whose damaged file was moved aside, says so in its
// message; the capture goes on all the same.
QString historyText(const std::optional<HistoryStore::Status> &status)
{
    if (!status)
        return QCoreApplication::translate("StreamWindowController", "Off");
    if (!status->message.isEmpty())
        return status->message;
    return QCoreApplication::translate("StreamWindowController", "Kept in %1").arg(status->path);
}

} // namespace

StreamWindowController *StreamWindowController::showControllerWithInterface(const QString &interfaceName,
                                                                            const QString &address, QString *failure)
{
    auto *controller = new StreamWindowController(interfaceName, address);
    if (!controller->startCapture()) {
        if (failure != nullptr)
            *failure = controller->startFailure();
        delete controller;
        return nullptr;
    }
    controller->show();
    return controller;
}

StreamWindowController::StreamWindowController(const QString &interfaceName, const QString &address, QWidget *parent)
    : QMainWindow(parent)
    , m_ui(std::make_unique<Ui::StreamWindow>())
    , m_capture(new StreamCapture(this))
    , m_model(new StreamTableModel(this))
    , m_sortModel(new StreamSortModel(m_model, this))
    , m_groupModel(new StreamGroupModel(this))
    , m_groupSortModel(new StreamSortModel(m_groupModel, this))
    , m_searchField(new QLineEdit(this))
    , m_interfaceName(interfaceName)
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    QStringList title{QStringLiteral("Quillmere")};
    if (!interfaceName.isNull())
        title << interfaceName;
    if (!address.isNull())
        title << address;
    setWindowTitle(title.join(QStringLiteral(" - ")));
    setUpTable();
    setUpGroupView();
    setUpToolbar();
    setUpMenus();
    m_ui->summaryDrawer->setInterface(interfaceName, address);
    m_ui->summaryDrawer->hide();
    restoreLayout();
    Preferences::shared().bind(Preferences::GroupBy, this, [this](const QVariant &name) { showGrouping(name); });
    connect(m_capture, &StreamCapture::streamsArrayDisplayChanged, this, &StreamWindowController::refreshDisplay);
    connect(m_capture, &StreamCapture::captureError, this, &StreamWindowController::captureFailed);
}

// The table lets go of the streams first; the capture is shut down before it goes, and its
// signals no longer reach this window.
StreamWindowController::~StreamWindowController()
{
    // The widgets going down below may still move the focus or the selection; by then this
    // is no longer a StreamWindowController to tell.
    disconnect(qApp, nullptr, this, nullptr);
    disconnect(m_ui->tableView->selectionModel(), nullptr, this, nullptr);
    disconnect(m_ui->groupView->selectionModel(), nullptr, this, nullptr);
    m_capture->disconnect(this);
    m_model->setStreams({});
    m_groupModel->setStreams({});
    m_capture->shutdown();
}

bool StreamWindowController::startCapture()
{
    m_opened.start();
    return m_capture->setInterface(m_interfaceName);
}

QString StreamWindowController::startFailure() const
{
    return m_capture->startFailure();
}

QTableView *StreamWindowController::tableView() const
{
    return m_ui->tableView;
}

QTreeView *StreamWindowController::groupView() const
{
    return m_ui->groupView;
}

bool StreamWindowController::isGrouped() const
{
    return m_ui->viewStack->currentWidget() == m_ui->groupPage;
}

QAbstractItemView *StreamWindowController::shownView() const
{
    return isGrouped() ? static_cast<QAbstractItemView *>(m_ui->groupView) : m_ui->tableView;
}

QHeaderView *StreamWindowController::shownHeader() const
{
    return isGrouped() ? m_ui->groupView->header() : m_ui->tableView->horizontalHeader();
}

void StreamWindowController::setUpTable()
{
    QTableView *table = m_ui->tableView;
    table->setModel(m_sortModel);
    table->sortByColumn(-1, Qt::AscendingOrder);
    // Rows as tall as their text needs: a live table shows as many streams as it can.
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    QHeaderView *header = table->horizontalHeader();
    header->setSectionsMovable(true);
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    for (int column = 0; column < StreamTableModel::ColumnCount; ++column)
        header->setSectionHidden(column, !StreamTableModel::isShownByDefault(column));
    // Every title whole, in whatever language: a longer one widens its column.
    for (int column = 0; column < StreamTableModel::ColumnCount; ++column)
        header->resizeSection(column, std::max(header->defaultSectionSize(), header->sectionSizeHint(column)));
    header->resizeSection(StreamTableModel::SourceColumn, 190);
    header->resizeSection(StreamTableModel::DestinationColumn, 190);
    connect(header, &QWidget::customContextMenuRequested, this, &StreamWindowController::showColumnMenu);
    connect(header, &QHeaderView::sortIndicatorChanged, this, [this, header] { saveSort(header); });
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &StreamWindowController::updateCopyAction);
    connect(qApp, &QApplication::focusChanged, this, &StreamWindowController::updateCopyAction);
}

// The tree shares the table's columns; it takes the table's column layout and sort whenever
// it is shown, and gives them back when it goes (showView).
void StreamWindowController::setUpGroupView()
{
    QTreeView *tree = m_ui->groupView;
    tree->setModel(m_groupSortModel);
    tree->sortByColumn(-1, Qt::AscendingOrder);
    QHeaderView *header = tree->header();
    header->setSectionsMovable(true);
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this, &StreamWindowController::showColumnMenu);
    connect(header, &QHeaderView::sortIndicatorChanged, this, [this, header] { saveSort(header); });
    connect(tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &StreamWindowController::updateCopyAction);
    // The table comes filtered by the capture; the tree holds every stream and filters itself.
    connect(m_searchField, &QLineEdit::textChanged, m_groupSortModel, &StreamSortModel::setFilterText);
}

void StreamWindowController::setUpGroupMenu(QMenu *view)
{
    QMenu *groupBy = view->addMenu(tr("Group by"));
    m_groupActions = new QActionGroup(this);
    const std::array<std::pair<QString, StreamGroup::By>, 3> choices{{
        {tr("None"), StreamGroup::By::None},
        {tr("Program"), StreamGroup::By::Program},
        {tr("Remote Host"), StreamGroup::By::RemoteHost},
    }};
    for (const auto &[text, by] : choices) {
        QAction *action = groupBy->addAction(text);
        action->setCheckable(true);
        action->setActionGroup(m_groupActions);
        const QString name = StreamGroup::nameOf(by);
        connect(action, &QAction::triggered, this,
                [name] { Preferences::shared().setValue(Preferences::GroupBy, name); });
        action->setData(name);
    }
}

// Every window groups as the preference says; an unknown word groups nothing.
void StreamWindowController::showGrouping(const QVariant &name)
{
    const StreamGroup::By by = StreamGroup::byNamed(name.toString()).value_or(StreamGroup::By::None);
    for (QAction *action : m_groupActions->actions())
        action->setChecked(action->data().toString() == StreamGroup::nameOf(by));
    const bool grouped = by != StreamGroup::By::None;
    m_groupModel->setGroupBy(by);
    m_groupModel->setStreams(grouped ? m_capture->streamsArraySource() : std::vector<std::shared_ptr<Stream>>{});
    if (grouped != isGrouped())
        showView(grouped);
    updateCopyAction();
}

// The view coming takes the columns, their order, widths and the sort of the one going.
void StreamWindowController::showView(bool grouped)
{
    QAbstractItemView *before = shownView();
    QHeaderView *header = grouped ? m_ui->groupView->header() : m_ui->tableView->horizontalHeader();
    header->restoreState(shownHeader()->saveState());
    m_ui->viewStack->setCurrentWidget(grouped ? m_ui->groupPage : m_ui->tablePage);
    if (grouped)
        m_ui->groupView->sortByColumn(header->sortIndicatorSection(), header->sortIndicatorOrder());
    else
        m_ui->tableView->sortByColumn(header->sortIndicatorSection(), header->sortIndicatorOrder());
    if (before->hasFocus())
        shownView()->setFocus();
}

void StreamWindowController::setUpToolbar()
{
    m_searchField->setPlaceholderText(tr("Search"));
    m_searchField->setClearButtonEnabled(true);
    connect(m_searchField, &QLineEdit::textChanged, m_capture, &StreamCapture::setFilter);
    auto *clearSearch
        = new QShortcut(QKeySequence(Qt::Key_Escape), m_searchField, nullptr, nullptr, Qt::WidgetShortcut);
    connect(clearSearch, &QShortcut::activated, m_searchField, &QLineEdit::clear);
    m_toolbar = new StreamWindowToolbar(m_searchField, this);
    addToolBar(Qt::TopToolBarArea, m_toolbar);
    connect(m_toolbar, &StreamWindowToolbar::refreshRequested, m_capture, &StreamCapture::update);
    connect(m_toolbar, &StreamWindowToolbar::pauseRequested, this, &StreamWindowController::pause);
    connect(m_toolbar, &StreamWindowToolbar::summaryRequested, this, &StreamWindowController::showSummary);
    connect(m_toolbar, &StreamWindowToolbar::loggingRequested, this, &StreamWindowController::log);
}

void StreamWindowController::setUpMenus()
{
    QMenu *file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("&New"), QKeySequence::New, this, &StreamWindowController::newRequested);
    m_loggingAction
        = file->addAction(tr("&Log to File…"), QKeySequence(Qt::CTRL | Qt::Key_L), this, &StreamWindowController::log);
    file->addAction(tr("&Export…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E), this,
                    &StreamWindowController::exportTable);
    file->addSeparator();
    file->addAction(tr("&Close"), QKeySequence::Close, this, &QWidget::close);
    file->addAction(tr("&Quit"), QKeySequence::Quit, this, &StreamWindowController::quitRequested);

    QMenu *edit = menuBar()->addMenu(tr("&Edit"));
    m_copyAction = edit->addAction(tr("&Copy"), QKeySequence::Copy, this, &StreamWindowController::copy);
    m_copyAction->setEnabled(false);
    edit->addAction(tr("&Find"), QKeySequence::Find, m_searchField, [this] {
        m_toolbar->showSearchField();
        m_searchField->setFocus(Qt::ShortcutFocusReason);
    });
    edit->addSeparator();
    edit->addAction(tr("&Preferences…"), QKeySequence(Qt::CTRL | Qt::Key_Comma), this,
                    &StreamWindowController::preferencesRequested);

    QMenu *view = menuBar()->addMenu(tr("&View"));
    view->addAction(tr("&Refresh"), QKeySequence(Qt::CTRL | Qt::Key_R), m_capture, &StreamCapture::update);
    m_pauseAction
        = view->addAction(tr("&Pause"), QKeySequence(Qt::CTRL | Qt::Key_P), this, &StreamWindowController::pause);
    view->addAction(tr("&Summary"), this, &StreamWindowController::showSummary);
    view->addAction(tr("&History…"), QKeySequence(Qt::CTRL | Qt::Key_H), this,
                    &StreamWindowController::historyRequested);
    setUpGroupMenu(view);

    QMenu *help = menuBar()->addMenu(tr("&Help"));
    help->addAction(tr("Quillmere &Help"), QKeySequence::HelpContents, this, &StreamWindowController::helpRequested);
}

void StreamWindowController::restoreLayout()
{
    Preferences &preferences = Preferences::shared();
    restoreGeometry(preferences.value(kGeometryKey).toByteArray());
    keepOnScreen();
    restoreState(preferences.value(kStateKey).toByteArray());
    QHeaderView *header = m_ui->tableView->horizontalHeader();
    // A restored header shows its sort indicator without sorting by it.
    if (header->restoreState(preferences.value(kTableKey).toByteArray()))
        m_ui->tableView->sortByColumn(header->sortIndicatorSection(), header->sortIndicatorOrder());
}

// A size saved at another scale or on a larger screen, or the first size on a small one,
// would leave parts of the window out of reach.
void StreamWindowController::keepOnScreen()
{
    const QRect available = screen()->availableGeometry();
    const QSize frame = frameGeometry().size() - size();
    resize(size().boundedTo(available.size() - frame));
    QRect placed = frameGeometry();
    placed.moveRight(std::min(placed.right(), available.right()));
    placed.moveBottom(std::min(placed.bottom(), available.bottom()));
    placed.moveLeft(std::max(placed.left(), available.left()));
    placed.moveTop(std::max(placed.top(), available.top()));
    move(placed.topLeft());
}

// The next window opens sorted the same way, even when this one never closes normally. The
// hidden view taking the shown one's columns is no choice of the person's.
void StreamWindowController::saveSort(const QHeaderView *header)
{
    if (header == shownHeader())
        Preferences::shared().setValue(kTableKey, header->saveState());
}

void StreamWindowController::saveLayout() const
{
    Preferences &preferences = Preferences::shared();
    preferences.setValue(kGeometryKey, saveGeometry());
    preferences.setValue(kStateKey, saveState());
    preferences.setValue(kTableKey, shownHeader()->saveState());
}

void StreamWindowController::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        keepOnScreen();
}

void StreamWindowController::closeEvent(QCloseEvent *event)
{
    saveLayout();
    QMainWindow::closeEvent(event);
}

void StreamWindowController::showColumnMenu(const QPoint &position)
{
    QHeaderView *header = shownHeader();
    QMenu menu(this);
    for (int column = 0; column < StreamTableModel::ColumnCount; ++column) {
        QAction *action = menu.addAction(m_model->headerData(column, Qt::Horizontal).toString());
        action->setCheckable(true);
        action->setChecked(!header->isSectionHidden(column));
        connect(action, &QAction::toggled, header,
                [header, column](bool shown) { header->setSectionHidden(column, !shown); });
    }
    menu.exec(header->mapToGlobal(position));
}

void StreamWindowController::pause()
{
    m_capture->pause();
    const bool paused = m_capture->isPaused();
    m_toolbar->showPaused(paused);
    m_pauseAction->setText(paused ? tr("&Resume") : tr("&Pause"));
}

// The drawer opens at its natural width, but never at more than a third of the window: the
// table is what the window is for.
void StreamWindowController::showSummary()
{
    SummaryDrawer *drawer = m_ui->summaryDrawer;
    drawer->setVisible(!drawer->isVisible());
    if (drawer->isVisible())
        resizeDocks({drawer}, {std::min(drawer->sizeHint().width(), width() / 3)}, Qt::Horizontal);
    refreshSummary();
}

void StreamWindowController::refreshDisplay()
{
    m_model->setStreams(m_capture->streamsArrayDisplay());
    if (m_groupModel->groupBy() != StreamGroup::By::None)
        m_groupModel->setStreams(m_capture->streamsArraySource());
    refreshSummary();
    updateCopyAction();
}

void StreamWindowController::refreshSummary()
{
    SummaryDrawer::Cycle cycle;
    cycle.openedMilliseconds = m_opened.elapsed();
    cycle.totals = m_capture->totals();
    cycle.shownStreams = m_capture->streamsArrayDisplay().size();
    cycle.history = historyText(m_capture->historyStatus());
    for (const auto &stream : m_capture->streamsArraySource()) {
        cycle.upSpeed += stream->upSpeedNumber();
        cycle.downSpeed += stream->downSpeedNumber();
    }
    m_ui->summaryDrawer->refresh(cycle);
}

bool StreamWindowController::canCopy() const
{
    const QAbstractItemView *view = shownView();
    const QModelIndex current = view->selectionModel()->currentIndex();
    const bool selected = view->selectionModel()->hasSelection() && current.isValid();
    return PasteboardSupport::canCopy(view->hasFocus(), selected ? current.row() : -1);
}

void StreamWindowController::updateCopyAction()
{
    m_copyAction->setEnabled(canCopy());
}

QList<int> StreamWindowController::visibleColumns() const
{
    const QHeaderView *header = shownHeader();
    QList<int> columns;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (!header->isSectionHidden(column))
            columns << column;
    }
    return columns;
}

QStringList StreamWindowController::visibleColumnIdentifiers() const
{
    QStringList identifiers;
    for (const int column : visibleColumns())
        identifiers << StreamTableModel::identifierOfColumn(column);
    return identifiers;
}

// The row the person selected, through the sort, is the display array's row of the same
// stream; without a selection the clipboard stays as it was.
void StreamWindowController::copy()
{
    if (!canCopy())
        return;
    std::optional<QString> text;
    if (isGrouped()) {
        text = copiedGroupText();
    } else {
        const QModelIndex selected = m_sortModel->mapToSource(m_ui->tableView->selectionModel()->currentIndex());
        text = PasteboardSupport::stringForCopy(visibleColumnIdentifiers(), selected.row(), m_model->streams());
    }
    if (text)
        QGuiApplication::clipboard()->setText(*text);
}

// A group row copies as the group's line and the lines of its streams the search leaves, in
// the order shown; a stream row as its line.
std::optional<QString> StreamWindowController::copiedGroupText() const
{
    const QModelIndex current = m_ui->groupView->selectionModel()->currentIndex().siblingAtColumn(0);
    const QModelIndex selected = m_groupSortModel->mapToSource(current);
    if (const StreamGroup *group = m_groupModel->groupAt(selected)) {
        std::vector<std::shared_ptr<Stream>> shown;
        for (int row = 0; row < m_groupSortModel->rowCount(current); ++row)
            shown.push_back(
                m_groupModel->streamAt(m_groupSortModel->mapToSource(m_groupSortModel->index(row, 0, current))));
        return PasteboardSupport::stringForGroupCopy(visibleColumnIdentifiers(), *group, shown);
    }
    const std::shared_ptr<Stream> stream = m_groupModel->streamAt(selected);
    if (!stream)
        return std::nullopt;
    return PasteboardSupport::stringForCopy(visibleColumnIdentifiers(), 0, std::span(&stream, 1));
}

void StreamWindowController::log()
{
    if (m_capture->isLogging()) {
        m_capture->stopLogging();
        showLoggingLook();
        return;
    }
    auto *dialog = new QFileDialog(this, tr("Log to File"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("txt"));
    dialog->setNameFilters({tr("Text files (*.txt)"), tr("All files (*)")});
    // The log is appended to, so choosing an existing file replaces nothing.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QFileDialog::fileSelected, this, &StreamWindowController::startLoggingTo);
    connect(dialog, &QDialog::finished, this, &StreamWindowController::showLoggingLook);
    connect(dialog, &QDialog::finished, dialog, &QObject::deleteLater);
    dialog->open();
}

// The folder and the system's reason: a guess at the cause would send the person looking in
// the wrong place.
void StreamWindowController::startLoggingTo(const QString &path)
{
    if (QString failure; !m_capture->startLoggingToFile(path, &failure)) {
        const QFileInfo file(path);
        plainAlert(this, QMessageBox::Warning, tr("Logging could not be started to the file %1").arg(file.fileName()),
                   tr("Cannot log in the folder %1: %2").arg(file.absolutePath(), failure))
            ->open();
    }
    showLoggingLook();
}

void StreamWindowController::showLoggingLook()
{
    const bool logging = m_capture->isLogging();
    m_toolbar->showLogging(logging);
    m_loggingAction->setText(logging ? tr("Stop &Logging") : tr("&Log to File…"));
}

// The window closes once the person has read why, on the next pass of the event loop.
void StreamWindowController::captureFailed(const QString &message)
{
    QMessageBox *alert
        = plainAlert(this, QMessageBox::Critical, tr("An error occurred during the capture process."), message);
    connect(alert, &QDialog::finished, this, [this] { QTimer::singleShot(0, this, &QWidget::close); });
    alert->open();
}

void StreamWindowController::exportTable()
{
    TableExport::openSaveDialog(this, [window = QPointer(this)](const QString &path, TableExport::Format format) {
        if (window)
            window->writeExport(path, format);
    });
}

void StreamWindowController::writeExport(const QString &path, TableExport::Format format)
{
    const bool json = format == TableExport::Format::Json;
    const QList<TableExport::Field> fields = StreamTableModel::exportFields(visibleColumns());
    const TableExport::Origin origin{m_interfaceName, QDateTime::currentDateTime()};
    const QByteArray bytes
        = json ? TableExport::toJson(*m_sortModel, fields, origin) : TableExport::toCsv(*m_sortModel, fields, origin);
    const QString failure = GuardedFile::replaceContents(path, bytes);
    if (!failure.isEmpty())
        plainAlert(this, QMessageBox::Warning,
                   tr("The table could not be exported to the file %1").arg(QFileInfo(path).fileName()), failure)
            ->open();
}
