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

// A question being answered is interrupted, and answers still on their way are dropped with
// the object.
HistoryLookup::~HistoryLookup()
{
    {
        const std::lock_guard lock(m_lock);
        m_stopping = true;
        if (m_running != nullptr)
            m_running->interrupt();
    }
    m_changed.notify_one();
    m_worker.join();
}

void HistoryLookup::ask(const QString &path, Question question)
{
    {
        const std::lock_guard lock(m_lock);
        m_pending = Pending{++m_asked, path, std::move(question)};
        if (m_running != nullptr)
            m_running->interrupt();
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
        answer(std::move(pending));
    }
}

// The query is known as running only while it is open, so an interrupt never reaches a
// connection that is gone.
void HistoryLookup::answer(Pending pending)
{
    try {
        HistoryQuery query(pending.path);
        setRunning(&query);
        const struct Done
        {
            HistoryLookup *lookup;
            ~Done() { lookup->setRunning(nullptr); }
        } done{this};
        auto given = std::make_shared<Answer>(pending.question(query));
        finish(pending.number, [this, given] { emit answered(*given); });
    } catch (const SqliteError &error) {
        // A missing file says so in its own words; any other failure names the file.
        const QString message = QFileInfo::exists(pending.path)
            ? tr("The history at %1 cannot be read: %2").arg(pending.path, error.message())
            : error.message();
        finish(pending.number, [this, message] { emit failed(message); });
    }
}

void HistoryLookup::setRunning(const HistoryQuery *query)
{
    const std::lock_guard lock(m_lock);
    m_running = query;
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
