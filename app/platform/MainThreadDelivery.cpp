// SPDX-License-Identifier: MIT
#include "platform/MainThreadDelivery.h"

namespace {
struct Gate
{
    std::mutex mutex;
    QCoreApplication *open = nullptr; // guarded by mutex
};

// Deliberately never destroyed: worker threads may still post while the process exits.
Gate &gate()
{
    static Gate *const instance = new Gate;
    return *instance;
}

void closeGate()
{
    const std::lock_guard lock(gate().mutex);
    gate().open = nullptr;
}

// Runs while each QCoreApplication is being constructed (and at once, from qAddPreRoutine,
// when one exists already); its destructor runs the post-routines before tearing down.
void openGate()
{
    {
        const std::lock_guard lock(gate().mutex);
        gate().open = QCoreApplication::instance();
    }
    qAddPostRoutine(closeGate);
}
} // namespace

void MainThreadDelivery::watchApplications()
{
    static std::once_flag once;
    // Calls openGate at once when an application exists already.
    std::call_once(once, [] { qAddPreRoutine(openGate); });
}

std::mutex &MainThreadDelivery::gateMutex()
{
    return gate().mutex;
}

QCoreApplication *MainThreadDelivery::openApplication()
{
    return gate().open;
}

void MainThreadDelivery::passGate()
{
    const std::lock_guard lock(gate().mutex);
}
