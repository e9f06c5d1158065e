// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalusuivi.h"

#include <algorithm>

uint8_t Suivi::etat(const Courbe *c)
{
    if (!c)
        return 0;
    return uint8_t((c->realVisibility() ? VISIBLE : 0) | (c->selected() ? CHOISIE : 0));
}

// On a big map, reading every curve's state (a million objects all over the
// heap) takes tens of milliseconds: only the curves whose state may have
// changed, and the selected ones, are read again.
bool Suivi::entiere() const
{
    const size_t n = registre.courbes().size();
    return structure != registre.structure() || !etats_ || etats_->size() != n || n <= lecture;
}

// The ranks selected at the last reading and those whose state may have
// changed since, in order, once each.
std::vector<int> Suivi::aRelire() const
{
    std::vector<int> r(choisies_);
    r.insert(r.end(), suspects.begin(), suspects.end());
    std::sort(r.begin(), r.end());
    r.erase(std::unique(r.begin(), r.end()), r.end());
    return r;
}

std::shared_ptr<const Etats> Suivi::lis(bool *entiers)
{
    const std::vector<Courbe *> &courbes = registre.courbes();
    std::shared_ptr<Etats> e;
    if (entiere()) {
        e = std::make_shared<Etats>(courbes.size(), uint8_t(0));
        choisies_.clear();
        for (size_t r = 0; r < courbes.size(); ++r)
            if (((*e)[r] = etat(courbes[r])) & CHOISIE)
                choisies_.push_back(int(r));
    } else {
        e = std::make_shared<Etats>(*etats_);
        const std::vector<int> lire = aRelire();
        choisies_.clear();
        for (int r : lire)
            if (((*e)[size_t(r)] = etat(courbes[size_t(r)])) & CHOISIE)
                choisies_.push_back(r);
    }
    suspects.clear();
    structure = registre.structure();
    rangs = registre.rangs();
    *entiers = true;
    for (int r : choisies_) {
        bool ok = true;
        choisieEntiere(*courbes[size_t(r)], &ok);
        *entiers = *entiers && ok;
    }
    etats_ = e;
    return e;
}

// The ranks of the curves selected now, in order: on a big map, among those
// selected at the last reading and those whose state may have changed since.
std::vector<int> Suivi::choisiesPossibles() const
{
    const std::vector<Courbe *> &courbes = registre.courbes();
    std::vector<int> r;
    if (entiere()) {
        for (size_t k = 0; k < courbes.size(); ++k)
            if (courbes[k] && courbes[k]->selected())
                r.push_back(int(k));
        return r;
    }
    for (int k : aRelire())
        if (size_t(k) < courbes.size() && courbes[size_t(k)] && courbes[size_t(k)]->selected())
            r.push_back(k);
    return r;
}

void Suivi::vide()
{
    etats_.reset();
    choisies_.clear();
    suspects.clear();
    rangs = registre.rangs();
}

Etats Suivi::lisDepuis(size_t debut, size_t n) const
{
    const std::vector<Courbe *> &courbes = registre.courbes();
    Etats e(n, uint8_t(VISIBLE));
    if (n <= lecture || rangs != registre.rangs()) {
        for (size_t k = 0; k < n; ++k)
            e[k] = etat(courbes[debut + k]);
        return e;
    }
    for (int r : aRelire())
        if (size_t(r) >= debut && size_t(r) - debut < n)
            e[size_t(r) - debut] = etat(courbes[size_t(r)]);
    return e;
}

void Suivi::adopte(const std::shared_ptr<const Etats> &lus)
{
    etats_ = lus;
    structure = registre.structure();
    rangs = registre.rangs();
    choisies_.clear();
    for (size_t r = 0; r < lus->size(); ++r)
        if ((*lus)[r] & CHOISIE)
            choisies_.push_back(int(r));
    // Those suspected before the map was emptied name other curves.
    suspects.erase(std::remove_if(suspects.begin(), suspects.end(),
                                  [&](int r) { return size_t(r) >= lus->size(); }),
                   suspects.end());
}
