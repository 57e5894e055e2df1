// SPDX-License-Identifier: MIT
#include "platform/Elevation.h"

#include "platform/SystemElevation.h"

namespace {
Elevation *testElevation = nullptr;
} // namespace

Elevation &Elevation::shared()
{
    static SystemElevation systemElevation;
    return testElevation != nullptr ? *testElevation : systemElevation;
}

void Elevation::setSharedForTesting(Elevation *elevation)
{
    testElevation = elevation;
}
