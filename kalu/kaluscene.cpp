// SPDX-License-Identifier: GPL-3.0-or-later
#include "kaluscene.h"

#include "kalucarte.h"

#include <algorithm>

std::shared_ptr<const Scene> Scene::fait(const std::vector<Courbe *> &courbes)
{
    auto s = std::make_shared<Scene>();
    s->elements.reserve(courbes.size());
    for (const Courbe *c : courbes) {
        if (c)
            s->inscrit(*c);
        else
            s->elements.emplace_back();
    }
    return s;
}

void Scene::inscrit(const Courbe &c)
{
    Element e;
    e.donnees = c.data();
    e.points = c.dataCount();
    e.cles = c.boiteCles();
    e.valeurs = c.boiteValeurs();
    // The curves of one file share their pens and brushes: the last look is
    // the one to compare with, and the comparison is a pointer's.
    if (dernier >= 0 && habits[size_t(dernier)].est(c)) {
        e.habit = dernier;
    } else {
        bool ok = true;
        const Habit h = Habit::de(c, &ok);
        dessinable = dessinable && ok;
        auto it = std::find(habits.begin(), habits.end(), h);
        dernier = int(it - habits.begin());
        if (it == habits.end())
            habits.push_back(h);
        e.habit = dernier;
    }
    elements.push_back(std::move(e));
}

bool dessineRangs(QCPPainter *painter, const Vue &vue, const Scene &scene, const Etats &etats,
                  const std::vector<int> &rangs, QVector<QPointF> &lignes, const std::atomic<bool> *annule,
                  const Tranche *tranche)
{
    for (int r : rangs) {
        if (annule && annule->load(std::memory_order_relaxed))
            return false;
        const Scene::Element &e = scene.elements[size_t(r)];
        dessineCourbe(painter, vue, *e.donnees, scene.habits[size_t(e.habit)], etats[size_t(r)] & CHOISIE, lignes,
                      &e.cles, &e.valeurs, tranche);
    }
    return true;
}
