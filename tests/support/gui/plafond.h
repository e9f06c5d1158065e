// SPDX-License-Identifier: GPL-3.0-or-later
// Runs under a cap of the address space, where a map too big for the memory
// left must be refused in the memory check's words. AddressSanitizer's
// shadow memory needs more address space than any cap leaves: under it
// (KALU_SOUS_ASAN) those cases are skipped.
#ifndef KALU_TEST_PLAFOND_H
#define KALU_TEST_PLAFOND_H

#include <QProcess>
#include <QStringList>

#include <vector>

#include "shpwriter.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KALU_SOUS_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define KALU_SOUS_ASAN 1
#endif

namespace plafond
{

// One Polygon record of `n` parts without points: a small file whose curves
// would take gigabytes.
inline shp::Bytes partiesVides(int n)
{
    shp::Bytes contenu = shp::rawContent(5, n, 0, std::vector<int>(size_t(n), 0), {});
    shp::Bytes b = shp::header(5, 100 + 8 + contenu.size());
    shp::append(b, shp::withHeader(1, contenu));
    return b;
}

// Starts kalu-export with `arguments` in a shell that caps its address
// space at about 2 GB.
inline void exporte(QProcess &p, const QStringList &arguments)
{
    p.start("/bin/sh",
            QStringList{"-c", "ulimit -v 2000000 && exec \"$0\" \"$@\"", KALU_EXPORT_EXE} +
                arguments);
}

} // namespace plafond

#endif
