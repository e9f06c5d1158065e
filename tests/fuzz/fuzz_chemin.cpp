// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: decoupe_chemin on any path (the input up to its first NUL).
//
// The four pieces must put the path back together: rep, one separator and
// nom give the path (or nom alone is the path when it has no separator); nom
// holds no separator; base, a dot and ext give nom (or base alone is nom
// when it has no dot); ext holds no dot.
#include <cstdint>
#include <cstring>
#include <string>

#include "zolfichier.h"

static bool separateur(char c)
{
    return c == '/' || c == '\\';
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string entree(reinterpret_cast<const char *>(data), size);
    const std::string chemin = entree.c_str(); // up to the first NUL
    Chemin *c = decoupe_chemin(chemin.c_str());
    if (c == nullptr)
        return 0;
    const std::string rep = c->rep, nom = c->nom, base = c->base, ext = c->ext;
    const bool aSep = chemin.find_first_of("/\\") != std::string::npos;
    if (aSep) {
        if (chemin.size() != rep.size() + 1 + nom.size() ||
            chemin.compare(0, rep.size(), rep) != 0 || !separateur(chemin[rep.size()]) ||
            chemin.compare(rep.size() + 1, std::string::npos, nom) != 0)
            __builtin_trap();
    } else if (!rep.empty() || nom != chemin) {
        __builtin_trap();
    }
    if (nom.find_first_of("/\\") != std::string::npos || ext.find('.') != std::string::npos)
        __builtin_trap();
    const bool aPoint = nom.find('.') != std::string::npos;
    if (aPoint ? nom != base + "." + ext : (nom != base || !ext.empty()))
        __builtin_trap();
    delete[] c->rep;
    delete[] c->nom;
    delete[] c->base;
    delete[] c->ext;
    delete[] c;
    return 0;
}
