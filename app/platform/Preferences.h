// SPDX-License-Identifier: MIT
#pragma once

#include <QLatin1StringView>
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <mutex>
#include <optional>

class QSettings;

// The per-user settings every stream window reads, in layers: values given for this run
// only (command-line options), over the values the user saved (QSettings, organisation and
// application "Quillmere", so ~/.config/Quillmere/Quillmere.conf), over a registration
// layer of defaults that is made anew at every start. Neither the run's values nor the
// defaults are ever written to the file. A key the user never set reads as
// its registered default; a key with neither reads as an invalid QVariant (so a switch
// without a default, such as LookupServiceNames, reads as off).
//
// Writes, change signals and bindings belong to the main thread. Reads are safe from any
// thread: a reader thread asks for the lookup switches while it creates streams.
class Preferences final : public QObject
{
    Q_OBJECT

public:
    // Keys of the stored settings; their text is the name in the settings file.
    static constexpr QLatin1StringView UpdateInterval{"UpdateInterval"};               // double, seconds
    static constexpr QLatin1StringView RemoveInterval{"RemoveInterval"};               // double, seconds
    static constexpr QLatin1StringView LookupHostnames{"LookupHostnames"};             // bool
    static constexpr QLatin1StringView LookupServiceNames{"LookupServiceNames"};       // bool, no default
    static constexpr QLatin1StringView NewStreamLogString{"NewStreamLogString"};       // QString
    static constexpr QLatin1StringView StreamClosedLogString{"StreamClosedLogString"}; // QString
    // Whether each event writes lines at all. A template with no value cannot be stored (it
    // reads back as an empty text after a restart, which means an empty line per event), so
    // switching an event's lines off is stored as a switch of its own, default on.
    static constexpr QLatin1StringView NewStreamLogEnabled{"NewStreamLogEnabled"};       // bool
    static constexpr QLatin1StringView StreamClosedLogEnabled{"StreamClosedLogEnabled"}; // bool
    // Live streams a capture keeps at most; new conversations past it count as "Other".
    static constexpr QLatin1StringView StreamLimit{"StreamLimit"}; // integer
    // Whether captures keep their streams in history, in which file (none: the data
    // folder's), and for how long: rows older than the days or past the bytes go.
    static constexpr QLatin1StringView HistoryEnabled{"HistoryEnabled"};               // bool
    static constexpr QLatin1StringView HistoryPath{"HistoryPath"};                     // QString, no default
    static constexpr QLatin1StringView HistoryRetentionDays{"HistoryRetentionDays"};   // double
    static constexpr QLatin1StringView HistoryRetentionBytes{"HistoryRetentionBytes"}; // integer
    // Whether a TCP connection seen from its SYN stays until it closes, whatever the remove
    // interval, and the idle time after which it leaves all the same.
    static constexpr QLatin1StringView KeepTcpConnections{"KeepTcpConnections"}; // bool
    static constexpr QLatin1StringView TcpIdleLimit{"TcpIdleLimit"};             // double, seconds
    // What the stream windows group their rows by: "none", "program" or "host".
    static constexpr QLatin1StringView GroupBy{"GroupBy"}; // QString
    // Saved toolbar configuration of the stream windows (written by the window layer).
    static constexpr QLatin1StringView StreamWindow{"StreamWindow"};

    using Receiver = std::function<void(const QVariant &value)>;

    // The process-wide store, created on first use over the default settings location.
    // Tests that write preferences redirect that location first, for instance with
    // QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, temporaryDir).
    static Preferences &shared();

    // A store over the default settings location, or over one INI file (tests, tools).
    explicit Preferences(QObject *parent = nullptr);
    explicit Preferences(const QString &settingsFilePath, QObject *parent = nullptr);
    ~Preferences() override;

    // --- application defaults -------------------------------------------------------
    // The two log templates, passed through the translation table (context
    // "Preferences"); an untranslated template is used as written.
    static QString defaultNewStreamLoggingString();
    static QString defaultStreamClosedLoggingString();
    // UpdateInterval 1.0, RemoveInterval 10.0, LookupHostnames true, the two templates,
    // both events' lines on, a limit of 200,000 live streams, history on, kept 30 days and
    // 1 GiB at most, TCP connections not kept (idle limit 600 seconds), and no grouping.
    static QVariantMap defaultValues();
    // Start-up registration: defaultValues() become the initial values, then the
    // registered defaults. Called once by the application controller before any window
    // reads a preference; a window-less run may call it just the same.
    void registerDefaultPreferences();
    // Stores both default templates as the user's values (in that order) and tells every
    // binding; no other preference changes.
    void resetLoggingStrings();
    // The template an event's lines are made with: its text, or none while the event's
    // lines are switched off (or no template is known at all).
    std::optional<QString> newStreamLogTemplate() const;
    std::optional<QString> streamClosedLogTemplate() const;

    // --- registration layer -----------------------------------------------------------
    // Merged into the registered defaults; never written to the settings file.
    void registerDefaults(const QVariantMap &defaults);
    // What revertToInitialValues() restores (the preference controls' "revert" action).
    void setInitialValues(const QVariantMap &values);
    QVariantMap initialValues() const;
    void revertToInitialValues();

    // --- this run's layer ------------------------------------------------------------------
    // Wins over the saved value until the process ends and is never written back; bindings
    // are told as for any change.
    void overrideForThisRun(const QString &key, const QVariant &value);

    // --- reading (any thread) -----------------------------------------------------------
    // The user's value, else the registered default, else an invalid QVariant. Values of
    // the known keys come back in their own type (double, bool, QString) even though the
    // settings file keeps text.
    QVariant value(QAnyStringView key) const;
    bool boolValue(QAnyStringView key) const;      // absent reads false
    double doubleValue(QAnyStringView key) const;  // absent reads 0.0
    QString stringValue(QAnyStringView key) const; // absent reads a null QString
    bool hasUserValue(QAnyStringView key) const;

    // --- writing (main thread) ----------------------------------------------------------
    // Saved at once; valueChanged follows when the value read back changes. An invalid
    // value removes the key.
    void setValue(const QString &key, const QVariant &value);
    // Forgets the user's value, so the registered default (if any) applies again.
    void removeValue(const QString &key);

    // Binding: pushes value(key) to the receiver at once, then again after every change
    // of that key, for as long as context lives (or until the returned connection is
    // disconnected). The receiver runs on context's thread; without a context it lasts as
    // long as the store.
    QMetaObject::Connection bind(const QString &key, const QObject *context, Receiver receiver);

signals:
    // One signal for every key: the key that changed and the value it now reads as.
    void valueChanged(const QString &key, const QVariant &value);

private:
    void loadUserValues();
    void save();
    // Runs change, then announces every key of keys whose value read back differs.
    void changeAndNotify(const QStringList &keys, const std::function<void()> &change);

    // Touched on the main thread only; readers on other threads use the copies below.
    QSettings *m_settings;
    // Guards the four maps, never held across file access or a signal.
    mutable std::mutex m_mutex;
    QVariantMap m_runValues;
    QVariantMap m_userValues;
    QVariantMap m_registered;
    QVariantMap m_initial;
};
