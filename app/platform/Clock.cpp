// SPDX-License-Identifier: MIT
#include "platform/Clock.h"

#include <atomic>
#include <chrono>
#include <cmath>

namespace {
std::atomic<bool> frozen{false};
std::atomic<double> frozenTime{0.0};

double systemTime()
{
    using namespace std::chrono;
    const auto sinceEpoch = duration<double>(system_clock::now().time_since_epoch());
    return sinceEpoch.count() - Clock::kReferenceDateUnixOffset;
}
} // namespace

double Clock::now()
{
    return frozen.load(std::memory_order_acquire) ? frozenTime.load(std::memory_order_acquire) : systemTime();
}

double Clock::unixTimeFromReference(double referenceTime)
{
    return referenceTime + kReferenceDateUnixOffset;
}

QDateTime Clock::dateTimeFromReference(double referenceTime, Qt::TimeSpec zone)
{
    const double unixMilliseconds = std::floor(unixTimeFromReference(referenceTime) * 1000.0);
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(unixMilliseconds), zone);
}

double Clock::referenceFromDateTime(const QDateTime &time)
{
    return static_cast<double>(time.toMSecsSinceEpoch()) / 1000.0 - kReferenceDateUnixOffset;
}

void Clock::freezeAt(double referenceTime)
{
    frozenTime.store(referenceTime, std::memory_order_release);
    frozen.store(true, std::memory_order_release);
}

void Clock::advance(double seconds)
{
    double current = frozenTime.load(std::memory_order_acquire);
    while (!frozenTime.compare_exchange_weak(current, current + seconds, std::memory_order_acq_rel)) { }
}

void Clock::useSystemTime()
{
    frozen.store(false, std::memory_order_release);
}
