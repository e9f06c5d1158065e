// SPDX-License-Identifier: GPL-3.0-or-later
#include "kaluscene.h"

#include <algorithm>

void Scene::inscrit(const QCPCurve &c, const QCPRange &cles, const QCPRange &valeurs)
{
    Element e;
    e.donnees = c.data();
    e.points = c.dataCount();
    e.cles = cles;
    e.valeurs = valeurs;
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
