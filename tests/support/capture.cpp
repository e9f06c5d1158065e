// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture.h"

#include <gtest/gtest.h>

Capture::Capture() : active(true)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
}

Capture::~Capture()
{
    if (active)
        fin();
}

Sorties Capture::fin()
{
    active = false;
    Sorties s;
    s.out = testing::internal::GetCapturedStdout();
    s.err = testing::internal::GetCapturedStderr();
    return s;
}
