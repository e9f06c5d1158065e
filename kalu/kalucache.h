// SPDX-License-Identifier: GPL-3.0-or-later
//
// kalucache: the scene of the map's curves and its click index, made again
// only when the set of curves changed (added, compacted), not at each
// replot: a scene of a million curves made anew costs tens of ms, and its
// index as much again.
//
// The index is made by whichever comes first: a drawing job that draws the
// scene (it makes one beside its picture, off the GUI thread), the picture
// a load's pictures became (Finition), or a click, here.
//
// Threads: GUI thread only. The scenes and indexes it hands out are
// immutable: any thread may read them.
#ifndef KALUCACHE_H
#define KALUCACHE_H

#include <memory>

#include "kaluindex.h"
#include "kaluregistre.h"
#include "kaluscene.h"

class Cache
{
  public:
    explicit Cache(Registre &registre) : registre(registre) {}

    // The scene of the present curves. During a load (`chargement`) the
    // registry goes on building the next one from this one.
    const std::shared_ptr<const Scene> &scene(bool chargement);
    // The last scene made, as it is.
    const std::shared_ptr<const Scene> &derniere() const { return scene_; }

    // The index of scene(chargement), made now if none is.
    const Index &index(bool chargement);
    bool indexe() const { return grille != nullptr; }
    // Keeps `index`, made for `pour`, if `pour` is the last scene and it
    // has none yet.
    void garde(const std::shared_ptr<const Scene> &pour, std::shared_ptr<const Index> index);

  private:
    Registre &registre;
    std::shared_ptr<const Scene> scene_;
    unsigned structure = ~0u;            // the registry's, when scene_ was made
    std::shared_ptr<const Index> grille; // of scene_
};

#endif
