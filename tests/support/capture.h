// SPDX-License-Identifier: GPL-3.0-or-later
// Capture of what the code under test writes to standard output and
// standard error (file descriptors 1 and 2, so printf-style writes count).
#ifndef KALU_TEST_CAPTURE_H
#define KALU_TEST_CAPTURE_H

#include <string>

struct Sorties {
    std::string out;
    std::string err;
};

// Starts capturing both streams; `fin` stops and returns what was written.
class Capture
{
  public:
    Capture();
    ~Capture();
    Sorties fin();

  private:
    bool active;
};

#endif
