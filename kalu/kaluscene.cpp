// SPDX-License-Identifier: GPL-3.0-or-later
#include "kaluscene.h"

#include "kalucarte.h"

#include <algorithm>

std::shared_ptr<const Scene> Scene::fait(const std::vector<Courbe *> &courbes)
{
    auto s = std::make_shared<Scene>();
    int dernier = -1;
    s->elements.resize(courbes.size());
    for (size_t r = 0; r < courbes.size(); ++r) {
        const Courbe *c = courbes[r];
        if (!c)
            continue;
        Element &e = s->elements[r];
        e.donnees = c->data();
        e.points = c->dataCount();
        e.cles = c->boiteCles();
        e.valeurs = c->boiteValeurs();
        // The curves of one file share their pens and brushes: the last
        // look is the one to compare with, and the comparison is a pointer's.
        bool ok = true;
        const Habit h = Habit::de(*c, &ok);
        s->dessinable = s->dessinable && ok;
        if (dernier < 0 || !(s->habits[size_t(dernier)] == h)) {
            auto it = std::find(s->habits.begin(), s->habits.end(), h);
            dernier = int(it - s->habits.begin());
            if (it == s->habits.end())
                s->habits.push_back(h);
        }
        e.habit = dernier;
    }
    return s;
}

bool dessineRangs(QCPPainter *painter, const Vue &vue, const Scene &scene, const Etats &etats,
                  const std::vector<int> &rangs, const std::atomic<bool> *annule)
{
    QVector<QPointF> lignes;
    for (int r : rangs) {
        if (annule && annule->load(std::memory_order_relaxed))
            return false;
        const Scene::Element &e = scene.elements[size_t(r)];
        dessineCourbe(painter, vue, *e.donnees, scene.habits[size_t(e.habit)], etats[size_t(r)] & CHOISIE, lignes,
                      &e.cles, &e.valeurs);
    }
    return true;
}
