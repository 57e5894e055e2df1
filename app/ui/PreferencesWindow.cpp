// SPDX-License-Identifier: MIT
#include "ui/PreferencesWindow.h"

#include "capture/StreamCapture.h"
#include "history/HistoryFile.h"
#include "platform/Preferences.h"
#include "ui_PreferencesWindow.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLayout>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

PreferencesWindow::PreferencesWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_ui(std::make_unique<Ui::PreferencesWindow>())
{
    m_ui->setupUi(this);
    // Qt's own translations are often not installed; the button speaks the application's
    // language all the same.
    m_ui->buttonBox->button(QDialogButtonBox::Close)->setText(tr("Close"));
    // The capture brings any interval within these limits, so the controls offer no other.
    m_ui->updateIntervalBox->setRange(StreamCapture::kMinimumUpdateInterval, StreamCapture::kMaximumInterval);
    m_ui->removeIntervalBox->setRange(StreamCapture::kMinimumRemoveInterval, StreamCapture::kMaximumInterval);
    bindInterval(m_ui->updateIntervalBox, Preferences::UpdateInterval);
    bindInterval(m_ui->removeIntervalBox, Preferences::RemoveInterval);
    bindStreamLimit();
    m_ui->tcpIdleLimitBox->setRange(StreamCapture::kMinimumRemoveInterval, StreamCapture::kMaximumInterval);
    bindSwitch(m_ui->keepTcpConnectionsCheck, Preferences::KeepTcpConnections);
    bindInterval(m_ui->tcpIdleLimitBox, Preferences::TcpIdleLimit);
    Preferences::shared().bind(Preferences::KeepTcpConnections, this,
                               [this](const QVariant &value) { m_ui->tcpIdleLimitBox->setEnabled(value.toBool()); });
    bindSwitch(m_ui->lookupHostnamesCheck, Preferences::LookupHostnames);
    bindSwitch(m_ui->lookupServiceNamesCheck, Preferences::LookupServiceNames);
    bindSwitch(m_ui->newStreamLogCheck, Preferences::NewStreamLogEnabled);
    bindSwitch(m_ui->streamClosedLogCheck, Preferences::StreamClosedLogEnabled);
    bindTemplate(m_ui->newStreamTemplateField, Preferences::NewStreamLogString, Preferences::NewStreamLogEnabled);
    bindTemplate(m_ui->streamClosedTemplateField, Preferences::StreamClosedLogString,
                 Preferences::StreamClosedLogEnabled);
    connect(m_ui->restoreTemplatesButton, &QPushButton::clicked, this,
            [] { Preferences::shared().resetLoggingStrings(); });
    bindHistory();
    setUpClosing();
    fitHints();
}

// A top-level window does not ask its layout how tall the wrapped hints are at its width, so
// a longer text (another language) was cut at the size the form was drawn at.
void PreferencesWindow::fitHints()
{
    const int needed = layout()->totalHeightForWidth(width());
    if (needed <= 0)
        return;
    setMinimumHeight(needed);
    resize(width(), std::max(height(), needed));
}

PreferencesWindow::~PreferencesWindow() = default;

// Keyboard tracking is off, so valueChanged comes only once a typed number is committed (Return,
// focus out, the arrows) and a half-typed one never reaches the captures. The value from the
// store is shown with the control's signals blocked, so showing it never writes it back (a
// stored value outside the limits stays as it is).
void PreferencesWindow::bindInterval(QDoubleSpinBox *box, const QString &key)
{
    Preferences::shared().bind(key, this, [box](const QVariant &value) {
        const QSignalBlocker blocker(box);
        box->setValue(value.toDouble());
    });
    connect(box, &QDoubleSpinBox::valueChanged, this,
            [key](double seconds) { Preferences::shared().setValue(key, seconds); });
}

void PreferencesWindow::bindStreamLimit()
{
    QSpinBox *box = m_ui->streamLimitBox;
    Preferences::shared().bind(Preferences::StreamLimit, this, [box](const QVariant &value) {
        const QSignalBlocker blocker(box);
        box->setValue(value.toInt());
    });
    connect(box, &QSpinBox::valueChanged, this,
            [](int limit) { Preferences::shared().setValue(Preferences::StreamLimit, qlonglong{limit}); });
}

void PreferencesWindow::bindSwitch(QCheckBox *check, const QString &key)
{
    Preferences::shared().bind(key, this, [check](const QVariant &value) {
        const QSignalBlocker blocker(check);
        check->setChecked(value.toBool());
    });
    connect(check, &QCheckBox::toggled, this, [key](bool on) { Preferences::shared().setValue(key, on); });
}

// A template goes live when its editing finishes, never per keystroke: a half-typed token would
// otherwise be written into every open window's log. It is stored only when it differs, so
// leaving the field untouched never turns the default into a saved value. The field follows its
// event's switch in the store, whichever window changed it.
void PreferencesWindow::bindTemplate(QLineEdit *field, const QString &key, const QString &enabledKey)
{
    Preferences &preferences = Preferences::shared();
    preferences.bind(key, this, [field](const QVariant &value) {
        if (field->text() == value.toString())
            return;
        field->setText(value.toString());
        field->setCursorPosition(0);
    });
    preferences.bind(enabledKey, this, [field](const QVariant &value) { field->setEnabled(value.toBool()); });
    connect(field, &QLineEdit::editingFinished, this, [field, key] {
        if (field->text() != Preferences::shared().stringValue(key))
            Preferences::shared().setValue(key, field->text());
    });
}

// The limits and the file mean something only while history is kept.
void PreferencesWindow::bindHistory()
{
    bindSwitch(m_ui->historyEnabledCheck, Preferences::HistoryEnabled);
    Preferences::shared().bind(Preferences::HistoryEnabled, this, [this](const QVariant &value) {
        const QList<QWidget *> controls{m_ui->historyDaysBox, m_ui->historySizeBox, m_ui->historySizeUnitBox,
                                        m_ui->historyPathField, m_ui->historyPathButton};
        for (QWidget *control : controls)
            control->setEnabled(value.toBool());
    });
    QSpinBox *days = m_ui->historyDaysBox;
    Preferences::shared().bind(Preferences::HistoryRetentionDays, this, [days](const QVariant &value) {
        const QSignalBlocker blocker(days);
        days->setValue(static_cast<int>(std::lround(value.toDouble())));
    });
    connect(days, &QSpinBox::valueChanged, this,
            [](int kept) { Preferences::shared().setValue(Preferences::HistoryRetentionDays, double(kept)); });
    bindHistorySize();
    bindHistoryPath();
}

// Shown in GiB when it is a whole number of them, else in MiB; stored in bytes.
void PreferencesWindow::bindHistorySize()
{
    constexpr qint64 kMiB = qint64{1} << 20;
    constexpr qint64 kGiB = qint64{1} << 30;
    QSpinBox *size = m_ui->historySizeBox;
    QComboBox *unit = m_ui->historySizeUnitBox;
    Preferences::shared().bind(Preferences::HistoryRetentionBytes, this, [size, unit](const QVariant &value) {
        const qint64 bytes = value.toLongLong();
        const bool inGiB = bytes >= kGiB && bytes % kGiB == 0;
        const QSignalBlocker sizeBlocker(size);
        const QSignalBlocker unitBlocker(unit);
        unit->setCurrentIndex(inGiB ? 1 : 0);
        size->setValue(static_cast<int>(std::max<qint64>(1, bytes / (inGiB ? kGiB : kMiB))));
    });
    const auto store = [size, unit] {
        const qint64 bytes = qint64{size->value()} * (unit->currentIndex() == 1 ? kGiB : kMiB);
        Preferences::shared().setValue(Preferences::HistoryRetentionBytes, qlonglong{bytes});
    };
    connect(size, &QSpinBox::valueChanged, this, store);
    connect(unit, &QComboBox::currentIndexChanged, this, store);
}

// An empty field stands for the default file, which it shows greyed.
void PreferencesWindow::bindHistoryPath()
{
    QLineEdit *field = m_ui->historyPathField;
    field->setPlaceholderText(HistoryFile::defaultPath());
    Preferences::shared().bind(Preferences::HistoryPath, this, [field](const QVariant &value) {
        if (field->text() != value.toString())
            field->setText(value.toString());
    });
    connect(field, &QLineEdit::editingFinished, this, [field] {
        const QString path = field->text().trimmed();
        if (path == Preferences::shared().stringValue(Preferences::HistoryPath))
            return;
        if (path.isEmpty())
            Preferences::shared().removeValue(Preferences::HistoryPath);
        else
            Preferences::shared().setValue(Preferences::HistoryPath, path);
    });
    connect(m_ui->historyPathButton, &QPushButton::clicked, this, &PreferencesWindow::chooseHistoryPath);
}

// An existing file is a history to go on with, so choosing one replaces nothing.
void PreferencesWindow::chooseHistoryPath()
{
    auto *dialog = new QFileDialog(this, tr("History File"), QFileInfo(HistoryFile::preferredPath()).absolutePath());
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("sqlite"));
    dialog->setNameFilters({tr("History files (*.sqlite)"), tr("All files (*)")});
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QFileDialog::fileSelected, this,
            [](const QString &path) { Preferences::shared().setValue(Preferences::HistoryPath, path); });
    connect(dialog, &QDialog::finished, dialog, &QObject::deleteLater);
    dialog->open();
}

void PreferencesWindow::setUpClosing()
{
    auto *closeShortcut = new QShortcut(this);
    closeShortcut->setKeys({QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)});
    connect(closeShortcut, &QShortcut::activated, this, &QWidget::close);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QWidget::close);
}
