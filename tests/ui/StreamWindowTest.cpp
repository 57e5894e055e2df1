// SPDX-License-Identifier: MIT
#include "FakeCaptureTool.h"
#include "NetworkNamespace.h"
#include "PrivateSystemFolders.h"
#include "TestSockets.h"
#include "UiTestSupport.h"
#include "capture/StreamCapture.h"
#include "capture/StreamCaptureCore.h"
#include "tools/capture/PacketSummary.h"
#include "ui/HelpWindow.h"
#include "ui/PreferencesWindow.h"
#include "ui/StreamGroupModel.h"
#include "ui/StreamSortModel.h"
#include "ui/StreamTableModel.h"
#include "ui/StreamWindowController.h"
#include "ui/StreamWindowToolbar.h"
#include "ui/SummaryDrawer.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QAction>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QTranslator>
#include <QTreeView>

#include <array>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Windows over a shell script in the capture tool's place: no root, no interface needed.
class StreamWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // A window on a real interface has the installer make the capture group, in the
        // test's own /etc; entered before the application object starts any thread.
        if (geteuid() == 0)
            m_privateFolders = PrivateSystemFolders::enter();
        uiApplication();
        Preferences::shared().setValue(Preferences::LookupHostnames, false);
    }
    void TearDown() override
    {
        Preferences::shared().removeValue(Preferences::LookupHostnames);
        Preferences::shared().removeValue(Preferences::GroupBy);
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (window->parentWidget() == nullptr)
                window->deleteLater();
        }
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        StreamCaptureCore::shutdownAll();
    }

    // A window whose tool sent two UDP conversations, their rows shown.
    StreamWindowController *windowWithTwoStreams()
    {
        const QByteArray records = printfRecord({1, 17, 0x7F000001, 0x0A000001, 5000, 53, 60, 32})
            + printfRecord({1, 17, 0x7F000001, 0x0A000002, 5001, 53, 120, 92});
        useTool("printf '" + records + "'; exec sleep 30");
        auto *window = StreamWindowController::showControllerWithInterface(QStringLiteral("qm0"), {});
        EXPECT_NE(window, nullptr);
        processEventsUntil([&] {
            window->streamCapture().update();
            return window->tableModel()->rowCount() == 2;
        });
        return window;
    }

    // The dialog of that kind now showing (one that finished may still await deletion).
    template <typename Dialog> Dialog *openDialog(QWidget *window)
    {
        Dialog *shown = nullptr;
        processEventsUntil([&] {
            for (Dialog *dialog : window->findChildren<Dialog *>()) {
                if (dialog->isVisible())
                    shown = dialog;
            }
            return shown != nullptr;
        });
        return shown;
    }

    void useTool(const QByteArray &script) { m_tool.use(script); }

    QTemporaryDir m_folder;
    std::string m_privateFolders = "needs root: installs the capture tool";
    FakeCaptureTool m_tool;
};

} // namespace

TEST_F(StreamWindowTest, CopyNeedsTheTableFocusedAndARowSelectedAndCopiesTheShownColumns)
{
    StreamWindowController *window = windowWithTwoStreams();
    ASSERT_EQ(window->windowTitle(), "Quillmere - qm0");
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    window->tableView()->setFocus();
    EXPECT_FALSE(window->canCopy());
    window->copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");

    window->tableView()->selectRow(1);
    processEventsUntil([&] { return window->copyAction()->isEnabled(); });
    ASSERT_TRUE(window->copyAction()->isEnabled());
    window->copy();
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(copied.startsWith(QStringLiteral("127.0.0.1:5001\t10.0.0.2:53\tUDP\t"))) << copied.toStdString();
    EXPECT_EQ(copied.count(u'\t'), window->visibleColumnIdentifiers().size() - 1);

    window->searchField()->setFocus();
    processEventsUntil([&] { return !window->copyAction()->isEnabled(); });
    EXPECT_FALSE(window->canCopy());
}

// The tree holds every stream and filters itself: a group stays for its label or for any
// stream the words leave; a group row copies as its line over its shown streams' lines.
TEST_F(StreamWindowTest, GroupedRowsFilterByGroupOrStreamAndCopyAsTheGroupOverItsStreams)
{
    StreamWindowController *window = windowWithTwoStreams();
    QAbstractItemModel *tree = window->groupSortModel();
    const QAbstractItemModelTester groupsTester(window->groupModel(),
                                                QAbstractItemModelTester::FailureReportingMode::Fatal);
    const QAbstractItemModelTester treeTester(tree, QAbstractItemModelTester::FailureReportingMode::Fatal);
    Preferences::shared().setValue(Preferences::GroupBy, QStringLiteral("host"));
    EXPECT_TRUE(window->groupView()->isVisible());
    EXPECT_FALSE(window->tableView()->isVisible());
    EXPECT_EQ(tree->rowCount(), 2);
    window->searchField()->setText(QStringLiteral("10.0.0.2"));
    ASSERT_EQ(tree->rowCount(), 1);
    EXPECT_EQ(tree->index(0, 0).data().toString(), "10.0.0.2");

    // Neither stream has a program: one group holds both.
    Preferences::shared().setValue(Preferences::GroupBy, QStringLiteral("program"));
    window->searchField()->setText(QStringLiteral("program"));
    ASSERT_EQ(tree->rowCount(), 1);
    EXPECT_EQ(tree->index(0, 0).data().toString(), "No program");
    EXPECT_EQ(tree->rowCount(tree->index(0, 0)), 2);
    window->searchField()->setText(QStringLiteral(":5001"));
    ASSERT_EQ(tree->rowCount(), 1);
    ASSERT_EQ(tree->rowCount(tree->index(0, 0)), 1);

    window->groupView()->expand(tree->index(0, 0));
    window->streamCapture().update();
    EXPECT_TRUE(window->groupView()->isExpanded(tree->index(0, 0)));
    window->groupView()->setFocus();
    window->groupView()->setCurrentIndex(tree->index(0, 0));
    processEventsUntil([&] { return window->copyAction()->isEnabled(); });
    window->copy();
    const QStringList lines = QGuiApplication::clipboard()->text().split(u'\n');
    ASSERT_EQ(lines.size(), 2) << lines.join(u'|').toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("No program\t\t\t\t"))) << lines[0].toStdString();
    EXPECT_EQ(lines[0].count(u'\t'), lines[1].count(u'\t'));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("127.0.0.1:5001\t10.0.0.2:53\tUDP\t"))) << lines[1].toStdString();

    Preferences::shared().setValue(Preferences::GroupBy, QStringLiteral("none"));
    EXPECT_TRUE(window->tableView()->isVisible());
    EXPECT_EQ(window->groupModel()->rowCount(), 0);
}

TEST_F(StreamWindowTest, FindShowsTheSearchFieldAgainWhenItWasTakenOffTheToolbar)
{
    StreamWindowController *window = windowWithTwoStreams();
    auto *toolbar = window->findChild<StreamWindowToolbar *>();
    ASSERT_NE(toolbar, nullptr);
    QStringList items = toolbar->itemIdentifiers();
    items.removeAll(QStringLiteral("Search"));
    Preferences::shared().setValue(QString(Preferences::StreamWindow), QVariantMap{{QStringLiteral("items"), items}});
    toolbar->hide();
    ASSERT_FALSE(window->searchField()->isVisible());
    const QList<QAction *> actions = window->findChildren<QAction *>();
    const auto find = std::find_if(actions.begin(), actions.end(),
                                   [](QAction *action) { return action->shortcut() == QKeySequence::Find; });
    ASSERT_NE(find, actions.end());
    (*find)->trigger();
    EXPECT_TRUE(window->searchField()->isVisible());
    EXPECT_TRUE(toolbar->itemIdentifiers().contains(QStringLiteral("Search")));
    Preferences::shared().removeValue(QString(Preferences::StreamWindow));
}

// On a German desk: the application's translation installed, German number formats.
TEST_F(StreamWindowTest, GermanShowsGermanHelpAndButtonsWholeTitlesAndDecimalCommas)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QTranslator german;
    ASSERT_TRUE(german.load(QStringLiteral(QUILLMERE_BUILD_DIR "/share/quillmere/translations/quillmere_de.qm")));
    QCoreApplication::installTranslator(&german);

    EXPECT_TRUE(HelpWindow::installedStartPage().endsWith(QStringLiteral("/Help/de/index.html")))
        << HelpWindow::installedStartPage().toStdString();
    {
        PreferencesWindow preferences;
        EXPECT_EQ(preferences.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Close)->text(), "Schließen");
        preferences.show();
        QApplication::processEvents();
        for (const QLabel *hint : preferences.findChildren<QLabel *>()) {
            if (hint->wordWrap()) {
                EXPECT_GE(hint->height(), hint->heightForWidth(hint->width())) << hint->text().toStdString();
            }
        }
    }
    StreamWindowController *window = windowWithTwoStreams();
    window->sortModel()->sort(StreamTableModel::UpPayloadColumn, Qt::AscendingOrder);
    EXPECT_EQ(window->sortModel()->index(0, StreamTableModel::UpPayloadColumn).data().toString(), "32,0B");
    const QHeaderView *header = window->tableView()->horizontalHeader();
    for (int column = 0; column < StreamTableModel::ColumnCount; ++column) {
        SCOPED_TRACE(header->model()->headerData(column, Qt::Horizontal).toString().toStdString());
        EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column));
    }
    QCoreApplication::removeTranslator(&german);
    QLocale::setDefault(before);
}

TEST_F(StreamWindowTest, TheWindowStaysOnScreenAndTheSummaryYieldsToTheTableInANarrowOne)
{
    StreamWindowController *window = windowWithTwoStreams();
    const QRect available = window->screen()->availableGeometry();
    EXPECT_TRUE(available.contains(window->frameGeometry()))
        << window->frameGeometry().width() << "x" << window->frameGeometry().height() << " on " << available.width()
        << "x" << available.height();
    window->resize(420, 400);
    window->showSummary();
    auto *drawer = window->findChild<SummaryDrawer *>();
    ASSERT_TRUE(processEventsUntil([&] { return drawer->isVisible() && drawer->width() > 0; }));
    QApplication::processEvents();
    EXPECT_LE(drawer->width(), 420 / 3 + 10);
    EXPECT_GE(window->tableView()->width(), 420 / 2);
}

TEST_F(StreamWindowTest, PausingOneOfTwoWindowsLeavesTheOtherRunning)
{
    StreamWindowController *first = windowWithTwoStreams();
    StreamWindowController *second = windowWithTwoStreams();
    first->pause();
    EXPECT_TRUE(first->streamCapture().isPaused());
    EXPECT_FALSE(second->streamCapture().isPaused());
    first->pause();
    EXPECT_FALSE(first->streamCapture().isPaused());
}

TEST_F(StreamWindowTest, LoggingCancelledStartedRefusedAndStoppedWithoutADialog)
{
    StreamWindowController *window = windowWithTwoStreams();
    window->log();
    openDialog<QFileDialog>(window)->reject();
    EXPECT_FALSE(window->streamCapture().isLogging());

    window->log();
    QFileDialog *dialog = openDialog<QFileDialog>(window);
    dialog->selectFile(m_folder.filePath(QStringLiteral("missing-folder/capture.txt")));
    static_cast<QDialog *>(dialog)->accept();
    QMessageBox *alert = openDialog<QMessageBox>(window);
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), "Logging could not be started to the file capture.txt");
    EXPECT_TRUE(alert->informativeText().startsWith("Cannot log in the folder /"))
        << alert->informativeText().toStdString();
    EXPECT_TRUE(alert->informativeText().endsWith("/missing-folder: No such file or directory"))
        << alert->informativeText().toStdString();
    EXPECT_EQ(alert->textFormat(), Qt::PlainText);
    alert->accept();
    processEventsUntil([&] { return window->findChild<QMessageBox *>() == nullptr; });
    EXPECT_FALSE(window->streamCapture().isLogging());

    window->log();
    dialog = openDialog<QFileDialog>(window);
    dialog->selectFile(m_folder.filePath(QStringLiteral("streams")));
    static_cast<QDialog *>(dialog)->accept();
    processEventsUntil([&] { return window->findChild<QFileDialog *>() == nullptr; });
    EXPECT_TRUE(window->streamCapture().isLogging());
    EXPECT_TRUE(QFile::exists(m_folder.filePath(QStringLiteral("streams.txt"))));

    window->log();
    EXPECT_FALSE(window->streamCapture().isLogging());
    EXPECT_EQ(window->findChild<QFileDialog *>(), nullptr);
}

TEST_F(StreamWindowTest, AnExportReadsBackAsTheTableInItsSortOrder)
{
    StreamWindowController *window = windowWithTwoStreams();
    window->sortModel()->sort(StreamTableModel::UpPayloadColumn, Qt::DescendingOrder);
    const QString path = m_folder.filePath(QStringLiteral("table.json"));
    window->exportTable();
    QFileDialog *dialog = openDialog<QFileDialog>(window);
    dialog->selectFile(path);
    static_cast<QDialog *>(dialog)->accept();
    ASSERT_TRUE(processEventsUntil([&] { return QFile::exists(path); }));

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonArray rows = QJsonDocument::fromJson(file.readAll()).array();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].toObject().value(QStringLiteral("source")).toString(), "127.0.0.1:5001");
    EXPECT_EQ(rows[0].toObject().value(QStringLiteral("lifetimeUpDataBytes")).toDouble(), 92.0);
    EXPECT_EQ(rows[1].toObject().value(QStringLiteral("lifetimeUpDataBytes")).toDouble(), 32.0);
    // Beside the columns: the interface, the moment, and each side's address and port.
    const QJsonObject first = rows[0].toObject();
    EXPECT_EQ(first.keys().size(), window->visibleColumnIdentifiers().size() + 6);
    EXPECT_EQ(first.value(QStringLiteral("interface")).toString(), "qm0");
    EXPECT_EQ(first.value(QStringLiteral("sourceAddress")).toString(), "127.0.0.1");
    EXPECT_EQ(first.value(QStringLiteral("sourcePort")).toInt(), 5001);
    EXPECT_EQ(first.value(QStringLiteral("destinationAddress")).toString(), "10.0.0.2");
    for (const char *key : {"openedTime", "exportTime"}) {
        const QString time = first.value(QLatin1StringView(key)).toString();
        EXPECT_TRUE(QDateTime::fromString(time, Qt::ISODateWithMs).isValid()) << key << ": " << time.toStdString();
        EXPECT_TRUE(time.endsWith(u'Z') || time.at(time.size() - 6) == u'+' || time.at(time.size() - 6) == u'-');
    }
}

TEST_F(StreamWindowTest, AFigureSortsLargestFirstOnTheFirstClickAndTheNextWindowKeepsTheSort)
{
    StreamWindowController *window = windowWithTwoStreams();
    QHeaderView *header = window->tableView()->horizontalHeader();
    const auto click = [&](int column) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
        return header->sortIndicatorOrder();
    };
    EXPECT_EQ(click(StreamTableModel::UpPayloadColumn), Qt::DescendingOrder);
    EXPECT_EQ(click(StreamTableModel::SourceColumn), Qt::AscendingOrder);
    EXPECT_EQ(click(StreamTableModel::UpPayloadColumn), Qt::DescendingOrder);

    StreamWindowController *next = windowWithTwoStreams();
    EXPECT_EQ(next->tableView()->horizontalHeader()->sortIndicatorSection(), StreamTableModel::UpPayloadColumn);
    EXPECT_EQ(next->sortModel()->sortOrder(), Qt::DescendingOrder);
    EXPECT_EQ(next->sortModel()->index(0, StreamTableModel::SourceColumn).data().toString(), "127.0.0.1:5001");
    Preferences::shared().removeValue(QStringLiteral("StreamWindowTable"));
}

// QSaveFile on its own writes through a link at the name to wherever it points, even where
// the kernel protects links in such folders.
TEST_F(StreamWindowTest, AnExportIntoASharedFolderNeverGoesThroughALinkPlantedThere)
{
    const QString shared = m_folder.filePath(QStringLiteral("shared"));
    ASSERT_TRUE(QDir().mkdir(shared));
    ASSERT_EQ(chmod(QFile::encodeName(shared).constData(), 01777), 0);
    const QString target = m_folder.filePath(QStringLiteral("chosen-by-another.csv"));
    ASSERT_TRUE(QFile::link(target, shared + QStringLiteral("/table.csv")));

    StreamWindowController *window = windowWithTwoStreams();
    window->exportTable();
    QFileDialog *dialog = openDialog<QFileDialog>(window);
    dialog->selectFile(shared + QStringLiteral("/table.csv"));
    static_cast<QDialog *>(dialog)->accept();
    QMessageBox *alert = openDialog<QMessageBox>(window);
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), "The table could not be exported to the file table.csv");
    EXPECT_EQ(alert->informativeText(), "it is a symbolic link in a folder every user may write to");
    EXPECT_FALSE(QFile::exists(target));
}

// A named pipe whose reader has stopped reading: the lines wait for it, or are dropped and
// counted, while the table goes on and the window closes as ever.
TEST_F(StreamWindowTest, AStalledLogHoldsUpNeitherTheTableNorClosingTheWindow)
{
    const QByteArray fifo = QFile::encodeName(m_folder.filePath(QStringLiteral("stalled.log")));
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    const OwnedDescriptor reader(::open(fifo.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    // Every stream closes at the first cycle, each with a line of 1 MiB: a few fill the pipe
    // and the writer's queue.
    Preferences &preferences = Preferences::shared();
    preferences.setValue(Preferences::StreamClosedLogString, QString(1 << 20, u'x') + QStringLiteral("__source__"));
    preferences.setValue(Preferences::RemoveInterval, 0.0);
    QByteArray records;
    for (std::uint16_t port = 1; port <= 20; ++port)
        records += printfRecord({1, 17, 0x7F000001, 0x0A000001, port, 53, 60, 32});
    useTool("printf '" + records + "'; exec sleep 30");
    StreamWindowController *window = StreamWindowController::showControllerWithInterface(QStringLiteral("qm0"), {});
    ASSERT_NE(window, nullptr);
    StreamCapture &capture = window->streamCapture();
    ASSERT_TRUE(capture.startLoggingToFile(QFile::decodeName(fifo)));
    processEventsUntil([&] {
        capture.update();
        return capture.totals().droppedLogLines > 0;
    });
    preferences.removeValue(Preferences::StreamClosedLogString);
    preferences.removeValue(Preferences::RemoveInterval);
    EXPECT_GT(capture.totals().droppedLogLines, 0u);
    window->showSummary();
    EXPECT_TRUE(window->findChild<QLabel *>(QStringLiteral("droppedLogLinesValue"))->isVisibleTo(window));

    const QPointer<StreamWindowController> open(window);
    QElapsedTimer closing;
    closing.start();
    // It closes at once; the margin is for sanitizer builds on a busy machine, below the
    // seconds a close waiting for the stalled file would take.
    window->close();
    EXPECT_TRUE(processEventsUntil([&] { return open.isNull(); }, std::chrono::seconds(3)));
    EXPECT_LT(closing.elapsed(), 3000);
}

TEST_F(StreamWindowTest, AFailingToolGivesTheAlertAndOkClosesTheWindow)
{
    useTool("echo 'pcap_open_live: qm0: <b>No such device</b> exists' >&2; exit 1");
    QPointer<StreamWindowController> window
        = StreamWindowController::showControllerWithInterface(QStringLiteral("qm0"), QStringLiteral("10.0.0.1"));
    ASSERT_TRUE(window);
    EXPECT_EQ(window->windowTitle(), "Quillmere - qm0 - 10.0.0.1");
    QMessageBox *alert = openDialog<QMessageBox>(window);
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), "An error occurred during the capture process.");
    EXPECT_EQ(alert->informativeText(), "pcap_open_live: qm0: <b>No such device</b> exists");
    auto *informative = alert->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"));
    ASSERT_NE(informative, nullptr);
    EXPECT_EQ(informative->textFormat(), Qt::PlainText);
    alert->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(processEventsUntil([&] { return window.isNull(); }));
}

TEST_F(StreamWindowTest, AWindowOnARealLoopbackShowsTheStreamsSentThere)
{
    const NetworkNamespace network;
    if (!network.failure().empty())
        GTEST_SKIP() << network.failure();
    if (!m_privateFolders.empty())
        GTEST_SKIP() << m_privateFolders;
    qputenv("QUILLMERE_SUPPORT_DIR", m_folder.filePath(QStringLiteral("support")).toUtf8());
    StreamWindowController *window = nullptr;
    QString failure;
    network.inside([&] {
        window = StreamWindowController::showControllerWithInterface(QStringLiteral("lo"), QStringLiteral("127.0.0.1"),
                                                                     &failure);
    });
    qunsetenv("QUILLMERE_SUPPORT_DIR");
    ASSERT_NE(window, nullptr) << failure.toStdString();

    const OwnedDescriptor receiver = boundUdpSocket(network, 0x7F000001, 7001);
    const OwnedDescriptor sender = boundUdpSocket(network, 0x7F000001, 7002);
    EXPECT_TRUE(processEventsUntil([&] {
        sendUdp(sender, 0x7F000001, 7001, 10);
        window->streamCapture().update();
        const StreamTableModel *model = window->tableModel();
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->index(row, StreamTableModel::SourceColumn).data().toString() == "127.0.0.1:7002")
                return model->index(row, StreamTableModel::DestinationColumn).data().toString() == "127.0.0.1:7001";
        }
        return false;
    }));
}
