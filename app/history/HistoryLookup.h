// SPDX-License-Identifier: MIT
#pragma once

#include "history/HistoryQuery.h"

#include <QObject>
#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Questions to a history file on a thread of its own, so a window never waits for the disk.
// Each question gets a read-only connection of its own: a capture may be writing the file
// meanwhile, or may have moved a damaged one aside and started anew since the last question.
// A newer question supersedes an older one: of those waiting only the newest is asked, and
// one still running is interrupted, its answer dropped. Answers and failures (no
// history yet, a damaged file) come as signals on the thread the lookup belongs to, failures
// with a message for people.
class HistoryLookup : public QObject
{
    Q_OBJECT

public:
    struct Answer
    {
        std::vector<HistoryQuery::Group> groups;
        std::vector<HistoryRecord> streams;
        std::vector<HistoryQuery::Bucket> buckets;
    };
    using Question = std::function<Answer(HistoryQuery &query)>;

    explicit HistoryLookup(QObject *parent = nullptr);
    ~HistoryLookup() override;

    void ask(const QString &path, Question question);
    // A question has been asked whose answer has not come yet.
    bool isBusy() const { return m_answered < m_asked; }

signals:
    void answered(const HistoryLookup::Answer &answer);
    void failed(const QString &message);

private:
    struct Pending
    {
        quint64 number;
        QString path;
        Question question;
    };

    void run();
    void answer(Pending pending);
    void setRunning(const HistoryQuery *query);
    void finish(quint64 number, const std::function<void()> &tell);

    // The thread the lookup belongs to alone:
    quint64 m_asked = 0;
    quint64 m_answered = 0;

    std::mutex m_lock; // guards the three below
    std::condition_variable m_changed;
    std::optional<Pending> m_pending;
    const HistoryQuery *m_running = nullptr;
    bool m_stopping = false;

    std::thread m_worker; // last: starts once everything it uses exists
};

Q_DECLARE_METATYPE(HistoryLookup::Answer)
