// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the build-stamp parsing (zoldatecompil through zolhorodatage).
//
// Input: byte 0 is the mode (as a signed char, so 1 and above, -1, 0 and
// below are all reached), bit 0 of byte 1 asks for the date-only form, the
// rest is the compile date, a line feed, then the compile time. Either text
// may hold any byte, NUL included (the parser then sees a shorter string).
#include <cstdint>
#include <cstring>
#include <string>

#include "zolconf.h"

static const char ZOLSRC[] = "../tests/fuzz/fuzz_horodatage.cpp";

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const int mode = static_cast<signed char>(data[0]);
    const bool dateseule = (data[1] & 1) != 0;
    const std::string reste(reinterpret_cast<const char *>(data) + 2, size - 2);
    const size_t fin = reste.find('\n');
    const std::string date = reste.substr(0, fin);
    const std::string heure = fin == std::string::npos ? "" : reste.substr(fin + 1);

    char *tampon =
        zolhorodatage(date.c_str(), heure.c_str(), mode, dateseule, ZOLSRC, "fuzz_horodatage");
    if (tampon) {
        // The result is always a terminated string within its 20 bytes.
        if (strlen(tampon) > 19)
            __builtin_trap();
        delete[] tampon;
    }
    return 0;
}
