// SPDX-License-Identifier: MIT
#include "platform/EndingSignals.h"

#include <QSocketNotifier>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array kEndingSignals{SIGINT, SIGTERM};

// Read by the handler, which may run on any thread at any moment.
std::atomic<int> wakeDescriptor{-1};

void requestQuit(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    // Non-blocking: with the pipe full a quit is already on its way.
    [[maybe_unused]] const ssize_t written = ::write(wakeDescriptor.load(), &byte, 1);
    errno = savedErrno;
}

void handleWith(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : kEndingSignals)
        sigaction(signalNumber, &action, nullptr);
}

} // namespace

EndingSignals::EndingSignals(QObject *parent)
    : QObject(parent)
{
    if (!m_pipe.open(O_NONBLOCK))
        return;
    wakeDescriptor = m_pipe.writeEnd.get();
    handleWith(&requestQuit);
    m_notifier = new QSocketNotifier(m_pipe.readEnd.get(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        std::array<char, 64> bytes{};
        while (::read(m_pipe.readEnd.get(), bytes.data(), bytes.size()) > 0) { }
        emit quitRequested();
    });
}

EndingSignals::~EndingSignals()
{
    if (!m_notifier)
        return;
    handleWith(SIG_DFL);
    wakeDescriptor = -1;
}
