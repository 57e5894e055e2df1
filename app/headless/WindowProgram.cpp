// SPDX-License-Identifier: MIT
#include "headless/WindowProgram.h"

#include "platform/Bundle.h"
#include "platform/Translations.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

QString refusal(const QString &program, int error)
{
    if (error == ENOENT)
        return WindowProgram::tr("This installation of Quillmere has no windows (%1 is not there). Run it "
                                 "without one: quillmere --headless --interface NAME")
            .arg(program);
    return WindowProgram::tr("Cannot start the windows (%1): %2")
        .arg(program, QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

int WindowProgram::start(int argc, char *argv[], const CommandLineOptions &)
{
    const QString program = Bundle::pathForTool(QLatin1StringView(kName));
    ::execv(QFile::encodeName(program).constData(), argv);
    const int error = errno;
    // Said in the person's language, as the command line's other answers are.
    QCoreApplication application(argc, argv);
    Translations::install();
    std::fprintf(stderr, "quillmere: %s\n", qPrintable(refusal(program, error)));
    return error == ENOENT ? 2 : 1;
}
