// SPDX-License-Identifier: MIT
// A services file as anybody with write access to it could leave it: arbitrary bytes.
// Whatever it holds, every entry has a key and a name.
#include "resolve/EtcServicesDictionary.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray contents(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const EtcServicesDictionary dictionary = EtcServicesDictionary::fromContents(contents);
    for (const QString &key : dictionary.keys()) {
        if (key.isEmpty() || dictionary.objectForKey(key).isEmpty())
            std::abort();
    }
    return 0;
}
