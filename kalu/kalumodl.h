// SPDX-License-Identifier: GPL-3.0-or-later
// kalumodl: the shapefile list model that gates start-up.
// Threads: used by the program's start-up, before any other thread exists.
#ifndef KALUMODL_H
#define KALUMODL_H

// Checks the shapefile paths of the command line. No operation adds to the
// list: it stays empty, and files named on the command line are checked but
// never drawn.
class KaluModel
{
  public:
    KaluModel();
    ~KaluModel();
    KaluModel(const KaluModel &) = delete;
    KaluModel &operator=(const KaluModel &) = delete;

    // 0 if `path` names an existing readable file (fexiste); otherwise -1
    // after reporting "No file at path '%s'!\n". The path is not stored.
    int ajouteShapefile(const char *path);

    int shpn;        // number of entries of shppaths
    char **shppaths; // owned path strings (new[]); null while empty
};

#endif
