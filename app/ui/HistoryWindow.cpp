// SPDX-License-Identifier: MIT
#include "ui/HistoryWindow.h"

#include "history/HistoryFile.h"
#include "logging/GuardedFile.h"
#include "platform/Clock.h"
#include "ui/HistoryTableModel.h"
#include "ui/PlainAlert.h"
#include "ui/SpeedGraph.h"
#include "ui_HistoryWindow.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLocale>
#include <QPointer>
#include <QShortcut>
#include <QShowEvent>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// The choices of the two boxes, in their order.
constexpr std::array kSpans{3600.0, 86400.0, 7 * 86400.0};
constexpr int kCustomRange = 3;
constexpr int kStreamGrouping = 3;

std::optional<HistoryQuery::Grouping> groupingAt(int index)
{
    constexpr std::array kGroupings{HistoryQuery::Grouping::RemoteHost, HistoryQuery::Grouping::Program,
                                    HistoryQuery::Grouping::Service};
    if (index < 0 || index >= kStreamGrouping)
        return std::nullopt;
    return kGroupings[static_cast<std::size_t>(index)];
}

// About kChartBuckets buckets; from an hour on, whole hours, since the roll-up counts each
// hour in the bucket it starts in and a bucket of an hour and a half would alternate.
double bucketSeconds(double span)
{
    const double seconds = span / HistoryWindow::kChartBuckets;
    return seconds < 3600.0 ? seconds : std::ceil(seconds / 3600.0) * 3600.0;
}

QString bucketText(double seconds)
{
    const QLocale locale;
    if (seconds < 120.0)
        return HistoryWindow::tr("%1 s").arg(locale.toString(seconds, 'f', 0));
    if (seconds < 2 * 3600.0)
        return HistoryWindow::tr("%1 min").arg(locale.toString(seconds / 60.0, 'f', 0));
    return HistoryWindow::tr("%1 h").arg(locale.toString(seconds / 3600.0, 'f', 0));
}

} // namespace

HistoryWindow::HistoryWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_ui(std::make_unique<Ui::HistoryWindow>())
    , m_model(new HistoryTableModel(this))
    , m_tableLookup(new HistoryLookup(this))
    , m_chartLookup(new HistoryLookup(this))
{
    m_ui->setupUi(this);
    m_ui->tableView->setModel(m_model);
    m_ui->tableView->verticalHeader()->hide();
    m_ui->tableView->verticalHeader()->setDefaultSectionSize(m_ui->tableView->fontMetrics().height() + 6);
    m_ui->splitter->setStretchFactor(0, 3);
    m_ui->splitter->setStretchFactor(1, 1);
    setUpQuestion();
    setUpShortcuts();
    connect(m_tableLookup, &HistoryLookup::answered, this, &HistoryWindow::showAnswer);
    connect(m_tableLookup, &HistoryLookup::failed, this, &HistoryWindow::showFailure);
    connect(m_chartLookup, &HistoryLookup::answered, this, &HistoryWindow::showChart);
    connect(m_chartLookup, &HistoryLookup::failed, this, &HistoryWindow::showFailure);
    connect(m_ui->tableView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &HistoryWindow::chartSelected);
}

HistoryWindow::~HistoryWindow() = default;

QTableView *HistoryWindow::tableView() const
{
    return m_ui->tableView;
}

QLineEdit *HistoryWindow::searchField() const
{
    return m_ui->searchField;
}

SpeedGraph *HistoryWindow::chart() const
{
    return m_ui->chart;
}

bool HistoryWindow::isBusy() const
{
    return m_tableLookup->isBusy() || m_chartLookup->isBusy();
}

void HistoryWindow::setUpQuestion()
{
    const QDateTime now = QDateTime::currentDateTime();
    m_ui->sinceEdit->setDateTime(now.addDays(-1));
    m_ui->untilEdit->setDateTime(now);
    m_ui->rangeBox->setCurrentIndex(1);
    rangeChosen();
    connect(m_ui->rangeBox, &QComboBox::currentIndexChanged, this, [this] {
        rangeChosen();
        refresh();
    });
    connect(m_ui->sinceEdit, &QDateTimeEdit::editingFinished, this, &HistoryWindow::refresh);
    connect(m_ui->untilEdit, &QDateTimeEdit::editingFinished, this, &HistoryWindow::refresh);
    connect(m_ui->groupingBox, &QComboBox::currentIndexChanged, this, &HistoryWindow::refresh);
    connect(m_ui->searchField, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_model->setSearch(text);
        showStatus();
        if (m_model->rowCount() > 0)
            m_ui->tableView->selectRow(0);
    });
    connect(m_ui->exportButton, &QPushButton::clicked, this, &HistoryWindow::exportTable);
}

void HistoryWindow::setUpShortcuts()
{
    auto *copyShortcut = new QShortcut(QKeySequence::Copy, this);
    connect(copyShortcut, &QShortcut::activated, this, &HistoryWindow::copy);
    auto *find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] { m_ui->searchField->setFocus(Qt::ShortcutFocusReason); });
    auto *again = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), this);
    connect(again, &QShortcut::activated, this, &HistoryWindow::refresh);
    auto *closeShortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_W), this);
    connect(closeShortcut, &QShortcut::activated, this, &QWidget::close);
    // As in the stream window, Escape clears a search being typed; anywhere else it closes.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (m_ui->searchField->hasFocus() && !m_ui->searchField->text().isEmpty())
            m_ui->searchField->clear();
        else
            close();
    });
}

void HistoryWindow::rangeChosen()
{
    const bool custom = m_ui->rangeBox->currentIndex() == kCustomRange;
    m_ui->sinceEdit->setVisible(custom);
    m_ui->untilEdit->setVisible(custom);
}

// A range back from now includes this very moment, as the command's does.
HistoryQuery::Range HistoryWindow::range() const
{
    const int chosen = m_ui->rangeBox->currentIndex();
    if (chosen == kCustomRange)
        return {Clock::referenceFromDateTime(m_ui->sinceEdit->dateTime()),
                Clock::referenceFromDateTime(m_ui->untilEdit->dateTime())};
    const double now = Clock::now() + 1.0;
    return {now - kSpans[static_cast<std::size_t>(std::clamp(chosen, 0, kCustomRange - 1))], now};
}

void HistoryWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        refresh();
}

void HistoryWindow::refresh()
{
    m_range = range();
    if (m_range.until <= m_range.since) {
        showFailure(tr("The start of the range must come before its end."));
        return;
    }
    m_bucketSeconds = bucketSeconds(m_range.until - m_range.since);
    const HistoryQuery::Range asked = m_range;
    const std::optional<HistoryQuery::Grouping> grouping = groupingAt(m_ui->groupingBox->currentIndex());
    // One more than is shown tells whether there are more.
    m_tableLookup->ask(HistoryFile::preferredPath(), [asked, grouping](HistoryQuery &query) {
        HistoryLookup::Answer answer;
        if (grouping)
            answer.groups = query.top(*grouping, asked, kGroupLimit + 1);
        else
            answer.streams = query.streams(asked, kGroupLimit + 1);
        return answer;
    });
}

void HistoryWindow::showAnswer(const HistoryLookup::Answer &answer)
{
    const std::optional<HistoryQuery::Grouping> grouping = groupingAt(m_ui->groupingBox->currentIndex());
    m_cut = std::max(answer.groups.size(), answer.streams.size()) > kGroupLimit;
    if (grouping) {
        std::vector<HistoryQuery::Group> groups = answer.groups;
        groups.resize(std::min(groups.size(), kGroupLimit));
        m_model->setGroups(groups, *grouping);
    } else {
        std::vector<HistoryRecord> streams = answer.streams;
        streams.resize(std::min(streams.size(), kGroupLimit));
        m_model->setStreams(streams);
    }
    m_ui->tableView->resizeColumnsToContents();
    showStatus();
    if (m_model->rowCount() > 0)
        m_ui->tableView->selectRow(0);
    else
        chartSelected();
}

void HistoryWindow::showFailure(const QString &message)
{
    m_model->clear();
    m_ui->chart->showSeries({}, m_range.since, m_range.until);
    m_ui->chartLabel->clear();
    m_ui->statusLabel->setText(message);
}

void HistoryWindow::showStatus()
{
    const QLocale locale;
    QString text = m_model->rowCount() == m_model->allRowCount()
        ? tr("%1 listed.").arg(locale.toString(m_model->rowCount()))
        : tr("%1 of %2 listed.").arg(locale.toString(m_model->rowCount()), locale.toString(m_model->allRowCount()));
    if (m_cut)
        text += u' '
            + tr("Only the %1 with the most bytes are listed; the range holds more.")
                  .arg(locale.toString(static_cast<qulonglong>(kGroupLimit)));
    m_ui->statusLabel->setText(text);
}

// A stream's own bytes are a single record, so for streams the chart shows all traffic.
void HistoryWindow::chartSelected()
{
    const int row = m_ui->tableView->selectionModel()->currentIndex().row();
    const std::optional<HistoryQuery::GroupKey> group = m_model->groupAt(row);
    const QString name = group ? m_model->index(row, 0).data().toString() : tr("all streams");
    m_ui->chartLabel->setText(tr("Bytes every %1: %2").arg(bucketText(m_bucketSeconds), name));
    const HistoryQuery::Range asked = m_range;
    const double bucket = m_bucketSeconds;
    m_chartLookup->ask(HistoryFile::preferredPath(), [asked, bucket, group](HistoryQuery &query) {
        HistoryLookup::Answer answer;
        answer.buckets = query.bytesOverTime(asked, bucket, group);
        return answer;
    });
}

void HistoryWindow::showChart(const HistoryLookup::Answer &answer)
{
    std::vector<SpeedGraph::Point> points;
    for (const HistoryQuery::Bucket &bucket : answer.buckets)
        points.push_back({bucket.start + m_bucketSeconds / 2.0, static_cast<double>(bucket.totals.upBytes),
                          static_cast<double>(bucket.totals.downBytes)});
    m_ui->chart->showSeries(std::move(points), m_range.since, m_range.until);
}

void HistoryWindow::copy()
{
    QList<int> rows;
    for (const QModelIndex &index : m_ui->tableView->selectionModel()->selectedRows())
        rows << index.row();
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end());
    const HistoryReport::Table table = m_model->shownTable(rows);
    QGuiApplication::clipboard()->setText(
        QString::fromUtf8(HistoryReport::formatted(table, HistoryReport::Format::Text)));
}

void HistoryWindow::exportTable()
{
    TableExport::openSaveDialog(this, [window = QPointer(this)](const QString &path, TableExport::Format format) {
        if (window)
            window->writeExport(path, format);
    });
}

void HistoryWindow::writeExport(const QString &path, TableExport::Format format)
{
    const HistoryReport::Format as
        = format == TableExport::Format::Json ? HistoryReport::Format::Json : HistoryReport::Format::Csv;
    const QString failure = GuardedFile::replaceContents(path, HistoryReport::formatted(m_model->shownTable(), as));
    if (!failure.isEmpty())
        plainAlert(this, QMessageBox::Warning,
                   tr("The history could not be exported to the file %1").arg(QFileInfo(path).fileName()), failure)
            ->open();
}
