// SPDX-License-Identifier: MIT
#pragma once

#include "model/StreamGroup.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <optional>

// What the command line asks for:
//   quillmere                          the interface chooser and windows
//   quillmere --interface NAME         a window on NAME straight away
//   quillmere --headless --interface NAME [--log FILE] [--interval SECONDS] [--json]
//             [--group program|host] [--history FILE | --no-history]
//                                      no window: the stream table printed every interval
//   quillmere --help | --version
class CommandLineOptions
{
    Q_DECLARE_TR_FUNCTIONS(CommandLineOptions)

public:
    enum class Mode { Window, Headless, Help, Version, UsageError };

    // `arguments` includes the program name, as QCoreApplication::arguments() gives it.
    static CommandLineOptions parse(const QStringList &arguments);

    Mode mode = Mode::Window;
    QString interfaceName; // empty: the person picks one in the chooser
    QString logPath;
    std::optional<double> interval;
    bool json = false;
    StreamGroup::By groupBy = StreamGroup::By::None;
    QString historyPath; // empty: as the preferences have it
    bool noHistory = false;
    // The help text for Help; the complaint and the usage for UsageError.
    QString message;
};
