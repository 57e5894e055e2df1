// SPDX-License-Identifier: MIT
#include "history/HistoryLookup.h"

#include "history/SqliteError.h"

#include <QFileInfo>

#include <pthread.h>

#include <memory>

HistoryLookup::HistoryLookup(QObject *parent)
    : QObject(parent)
    , m_worker([this] { run(); })
{
}

// Answers still on their way are dropped with the object.
HistoryLookup::~HistoryLookup()
{
    {
        const std::lock_guard lock(m_lock);
        m_stopping = true;
    }
    m_changed.notify_one();
    m_worker.join();
}

void HistoryLookup::ask(const QString &path, Question question)
{
    {
        const std::lock_guard lock(m_lock);
        m_pending = Pending{++m_asked, path, std::move(question)};
    }
    m_changed.notify_one();
}

void HistoryLookup::run()
{
    pthread_setname_np(pthread_self(), "HistoryLookup");
    for (;;) {
        std::unique_lock lock(m_lock);
        m_changed.wait(lock, [this] { return m_stopping || m_pending; });
        if (m_stopping)
            return;
        Pending pending = std::move(*m_pending);
        m_pending.reset();
        lock.unlock();
        try {
            HistoryQuery query(pending.path);
            auto answer = std::make_shared<Answer>(pending.question(query));
            finish(pending.number, [this, answer] { emit answered(*answer); });
        } catch (const SqliteError &error) {
            // A missing file says so in its own words; any other failure names the file.
            const QString message = QFileInfo::exists(pending.path)
                ? tr("The history at %1 cannot be read: %2").arg(pending.path, error.message())
                : error.message();
            finish(pending.number, [this, message] { emit failed(message); });
        }
    }
}

void HistoryLookup::finish(quint64 number, const std::function<void()> &tell)
{
    QMetaObject::invokeMethod(
        this,
        [this, number, tell] {
            if (number != m_asked)
                return;
            m_answered = number;
            tell();
        },
        Qt::QueuedConnection);
}
