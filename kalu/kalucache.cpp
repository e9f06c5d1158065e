// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalucache.h"

const std::shared_ptr<const Scene> &Cache::scene(bool chargement)
{
    if (!scene_ || structure != registre.structure()) {
        scene_ = registre.scene(chargement);
        structure = registre.structure();
        grille.reset();
    }
    return scene_;
}

const Index &Cache::index(bool chargement)
{
    const std::shared_ptr<const Scene> &s = scene(chargement);
    if (!grille)
        grille = std::make_shared<const Index>(*s);
    return *grille;
}

void Cache::garde(const std::shared_ptr<const Scene> &pour, std::shared_ptr<const Index> index)
{
    if (index && pour == scene_ && !grille)
        grille = std::move(index);
}
