// SPDX-License-Identifier: GPL-3.0-or-later
#include "kaluscene.h"

#include "zolplat.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace
{

// The thread that frees the scenes that were let go, one after another.
class Balayeuse
{
  public:
    static Balayeuse &la()
    {
        static Balayeuse b;
        return b;
    }

    // A null scene asks for the free memory to go back to the system.
    void jette(const Scene *s)
    {
        {
            std::lock_guard<std::mutex> l(verrou);
            file.push_back(s);
        }
        reveil.notify_one();
    }

  private:
    Balayeuse() : fil([this] { balaie(); }) {}
    ~Balayeuse()
    {
        {
            std::lock_guard<std::mutex> l(verrou);
            fin = true;
        }
        reveil.notify_one();
        fil.join();
    }

    void balaie()
    {
        std::unique_lock<std::mutex> l(verrou);
        for (;;) {
            reveil.wait(l, [this] { return fin || !file.empty(); });
            if (file.empty())
                return;
            const Scene *s = file.front();
            file.pop_front();
            l.unlock();
            if (s)
                delete s;
            else
                zolplat_rend_memoire();
            l.lock();
        }
    }

    std::mutex verrou;
    std::condition_variable reveil;
    std::deque<const Scene *> file;
    bool fin = false;
    std::thread fil;
};

} // namespace

void Scene::rendMemoire()
{
    Balayeuse::la().jette(nullptr);
}

std::shared_ptr<Scene> Scene::nouvelle()
{
    Balayeuse::la(); // made before any scene, so gone after them all
    return std::shared_ptr<Scene>(new Scene, [](const Scene *s) { Balayeuse::la().jette(s); });
}

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
                  const std::vector<int> &rangs, QVector<QPointF> &lignes,
                  const std::atomic<bool> *annule, const Tranche *tranche)
{
    for (int r : rangs) {
        if (annule && annule->load(std::memory_order_relaxed))
            return false;
        const Scene::Element &e = scene.elements[size_t(r)];
        dessineCourbe(painter, vue, *e.donnees, scene.habits[size_t(e.habit)],
                      etats[size_t(r)] & CHOISIE, lignes, &e.cles, &e.valeurs, tranche);
    }
    return true;
}
