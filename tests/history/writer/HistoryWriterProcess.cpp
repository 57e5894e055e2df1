// SPDX-License-Identifier: MIT
// history_writer <file> <interface> <program> <count> <per second> <first time> [<progress file>]
//
// Records `count` closed streams into a history file, as a capture would, `per second` of
// them (0: as fast as it can), the stream numbered i last seen at <first time> + (i + 0.5)
// milliseconds. After each record it writes how many it has handed to the store and how many
// of those the store had committed by then, as two 8-byte numbers at the start of the
// progress file, so whoever kills it knows what it had recorded and what was committed. The
// store commits in batches of at most kBatchLimit records, so another writer of the same file
// waits for one short transaction however fast or slow the machine. At the end it waits for
// the store, prints "written N dropped D" and exits 0 when everything was written.

#include "../HistoryTestSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

constexpr std::size_t kBatchLimit = 2000;

int main(int argc, char **argv)
{
    if (argc < 7) {
        std::fprintf(stderr, "usage: history_writer file interface program count per-second first-time [progress]\n");
        return 2;
    }
    const quint64 count = std::strtoull(argv[4], nullptr, 10);
    const double perSecond = std::strtod(argv[5], nullptr);
    const double firstTime = std::strtod(argv[6], nullptr);
    const int progress = argc > 7 ? open(argv[7], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600) : -1;

    HistoryStore::Options options;
    options.path = QString::fromLocal8Bit(argv[1]);
    options.batchLimit = kBatchLimit;
    HistoryStore store(options);
    const auto start = std::chrono::steady_clock::now();
    for (quint64 number = 0; number < count; ++number) {
        if (perSecond > 0)
            std::this_thread::sleep_until(start
                                          + std::chrono::duration<double>(static_cast<double>(number) / perSecond));
        HistoryRecord record
            = closedRecord(static_cast<int>(number % 1'000'000),
                           firstTime + (static_cast<double>(number) + 0.5) / 1000.0, static_cast<int>(number % 200));
        record.interfaceName = QString::fromLocal8Bit(argv[2]);
        record.programName = QString::fromLocal8Bit(argv[3]);
        record.serial = number;
        store.record(std::move(record));
        const quint64 counts[2]{number + 1, progress >= 0 ? store.status().written : 0};
        if (progress >= 0 && pwrite(progress, counts, sizeof counts, 0) != sizeof counts)
            return 1;
    }
    const bool flushed = store.flush(std::chrono::seconds(60));
    const HistoryStore::Status status = store.status();
    std::printf("written %llu dropped %llu\n", static_cast<unsigned long long>(status.written),
                static_cast<unsigned long long>(status.dropped));
    return flushed && status.dropped == 0 ? 0 : 1;
}
