// SPDX-License-Identifier: MIT
#include "platform/Preferences.h"

#include "platform/SystemLog.h"

#include <QCoreApplication>
#include <QSettings>
#include <QThread>

namespace {

// The settings file keeps text, so a value read back is converted to the type its key
// stands for. Keys outside this table take the type of their registered default.
QMetaType typeOfKnownKey(QAnyStringView key)
{
    if (key == Preferences::UpdateInterval || key == Preferences::RemoveInterval || key == Preferences::TcpIdleLimit)
        return QMetaType::fromType<double>();
    if (key == Preferences::LookupHostnames || key == Preferences::LookupServiceNames
        || key == Preferences::NewStreamLogEnabled || key == Preferences::StreamClosedLogEnabled
        || key == Preferences::HistoryEnabled || key == Preferences::KeepTcpConnections)
        return QMetaType::fromType<bool>();
    if (key == Preferences::NewStreamLogString || key == Preferences::StreamClosedLogString
        || key == Preferences::HistoryPath || key == Preferences::GroupBy)
        return QMetaType::fromType<QString>();
    if (key == Preferences::HistoryRetentionDays)
        return QMetaType::fromType<double>();
    if (key == Preferences::StreamLimit || key == Preferences::HistoryRetentionBytes)
        return QMetaType::fromType<qlonglong>();
    return {};
}

QVariant convertedOrInvalid(const QVariant &value, QMetaType type)
{
    if (!value.isValid() || !type.isValid() || value.metaType() == type)
        return value;
    QVariant converted = value;
    return converted.convert(type) ? converted : QVariant();
}

} // namespace

Preferences &Preferences::shared()
{
    // Never destroyed: it must outlive every window and reader thread, and everything
    // written has been saved at once.
    static Preferences *const instance = [] {
        auto *preferences = new Preferences;
        if (const auto *application = QCoreApplication::instance())
            preferences->moveToThread(application->thread());
        return preferences;
    }();
    return *instance;
}

Preferences::Preferences(QObject *parent)
    : QObject(parent)
    , m_settings(new QSettings(QStringLiteral("Quillmere"), QStringLiteral("Quillmere"), this))
{
    loadUserValues();
}

Preferences::Preferences(const QString &settingsFilePath, QObject *parent)
    : QObject(parent)
    , m_settings(new QSettings(settingsFilePath, QSettings::IniFormat, this))
{
    loadUserValues();
}

Preferences::~Preferences() = default;

QString Preferences::defaultNewStreamLoggingString()
{
    return tr("__dateTime__ (__unixTime__): new __protocol__ stream: source: __source__ - "
              "destination: __destination__");
}

QString Preferences::defaultStreamClosedLoggingString()
{
    return tr("__dateTime__ (__unixTime__): __protocol__ stream closed: source: __source__ - "
              "destination: __destination__ - total bytes uploaded: __lifetimeUpDataBytes__ "
              "(__lifetimeUpDataBytesFormatted__ at __lifetimeUpSpeed__) - total bytes "
              "downloaded: __lifetimeDownDataBytes__ (__lifetimeDownDataBytesFormatted__ at "
              "__lifetimeDownSpeed__)");
}

QVariantMap Preferences::defaultValues()
{
    return {
        {UpdateInterval, 1.0},
        {RemoveInterval, 10.0},
        {LookupHostnames, true},
        {NewStreamLogString, defaultNewStreamLoggingString()},
        {StreamClosedLogString, defaultStreamClosedLoggingString()},
        {NewStreamLogEnabled, true},
        {StreamClosedLogEnabled, true},
        {StreamLimit, qlonglong{200'000}},
        {HistoryEnabled, true},
        {HistoryRetentionDays, 30.0},
        {HistoryRetentionBytes, qlonglong{1} << 30},
        {KeepTcpConnections, false},
        {TcpIdleLimit, 600.0},
        {GroupBy, QStringLiteral("none")},
    };
}

void Preferences::registerDefaultPreferences()
{
    const QVariantMap defaults = defaultValues();
    setInitialValues(defaults);
    registerDefaults(defaults);
}

void Preferences::resetLoggingStrings()
{
    setValue(NewStreamLogString, defaultNewStreamLoggingString());
    setValue(StreamClosedLogString, defaultStreamClosedLoggingString());
}

std::optional<QString> Preferences::newStreamLogTemplate() const
{
    const QVariant text = value(NewStreamLogString);
    if (!boolValue(NewStreamLogEnabled) || !text.isValid())
        return std::nullopt;
    return text.toString();
}

std::optional<QString> Preferences::streamClosedLogTemplate() const
{
    const QVariant text = value(StreamClosedLogString);
    if (!boolValue(StreamClosedLogEnabled) || !text.isValid())
        return std::nullopt;
    return text.toString();
}

void Preferences::registerDefaults(const QVariantMap &defaults)
{
    changeAndNotify(defaults.keys(), [&] {
        const std::lock_guard lock(m_mutex);
        m_registered.insert(defaults);
    });
}

void Preferences::setInitialValues(const QVariantMap &values)
{
    const std::lock_guard lock(m_mutex);
    m_initial = values;
}

QVariantMap Preferences::initialValues() const
{
    const std::lock_guard lock(m_mutex);
    return m_initial;
}

void Preferences::revertToInitialValues()
{
    const QVariantMap values = initialValues();
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        setValue(it.key(), it.value());
}

QVariant Preferences::value(QAnyStringView key) const
{
    const QString name = key.toString();
    QVariant stored;
    QVariant registered;
    {
        const std::lock_guard lock(m_mutex);
        stored = m_runValues.value(name, m_userValues.value(name));
        registered = m_registered.value(name);
    }
    QMetaType type = typeOfKnownKey(key);
    if (!type.isValid() && registered.isValid())
        type = registered.metaType();
    registered = convertedOrInvalid(registered, type);
    // A saved value that cannot be read as its key's type (a hand-edited file) does not
    // hide the default.
    const QVariant user = convertedOrInvalid(stored, type);
    return user.isValid() ? user : registered;
}

bool Preferences::boolValue(QAnyStringView key) const
{
    return value(key).toBool();
}

double Preferences::doubleValue(QAnyStringView key) const
{
    return value(key).toDouble();
}

QString Preferences::stringValue(QAnyStringView key) const
{
    return value(key).toString();
}

bool Preferences::hasUserValue(QAnyStringView key) const
{
    const std::lock_guard lock(m_mutex);
    return m_userValues.contains(key.toString());
}

void Preferences::setValue(const QString &key, const QVariant &newValue)
{
    if (!newValue.isValid()) {
        removeValue(key);
        return;
    }
    changeAndNotify({key}, [&] {
        m_settings->setValue(key, newValue);
        save();
        const std::lock_guard lock(m_mutex);
        m_userValues.insert(key, newValue);
    });
}

void Preferences::removeValue(const QString &key)
{
    changeAndNotify({key}, [&] {
        m_settings->remove(key);
        save();
        const std::lock_guard lock(m_mutex);
        m_userValues.remove(key);
    });
}

void Preferences::overrideForThisRun(const QString &key, const QVariant &newValue)
{
    changeAndNotify({key}, [&] {
        const std::lock_guard lock(m_mutex);
        m_runValues.insert(key, newValue);
    });
}

QMetaObject::Connection Preferences::bind(const QString &key, const QObject *context, Receiver receiver)
{
    receiver(value(key));
    const QObject *owner = context ? context : this;
    return connect(this, &Preferences::valueChanged, owner,
                   [key, receiver = std::move(receiver)](const QString &changed, const QVariant &now) {
                       if (changed == key)
                           receiver(now);
                   });
}

void Preferences::loadUserValues()
{
    QVariantMap loaded;
    const QStringList keys = m_settings->allKeys();
    for (const QString &key : keys)
        loaded.insert(key, m_settings->value(key));
    const std::lock_guard lock(m_mutex);
    m_userValues = loaded;
}

void Preferences::save()
{
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        systemLog(QStringLiteral("Couldn't save preferences to %1").arg(m_settings->fileName()));
}

void Preferences::changeAndNotify(const QStringList &keys, const std::function<void()> &change)
{
    QVariantList before;
    before.reserve(keys.size());
    for (const QString &key : keys)
        before.append(value(key));
    change();
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const QVariant after = value(keys[i]);
        if (after != before[i])
            emit valueChanged(keys[i], after);
    }
}
