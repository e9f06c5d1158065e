// SPDX-License-Identifier: GPL-3.0-or-later
#include "kaluretouche.h"

#include "kalureserve.h"
#include "kalusurligne.h"
#include "kalutrace.h"
#include "qcustomplot.h"

#include <algorithm>
#include <utility>

namespace
{

// The ranks whose state differs between `avant` and `apres`. False when
// they are too many for a partial redraw.
bool changements(const Etats &avant, const Etats &apres, std::vector<int> &changees)
{
    changees.clear();
    if (avant.size() != apres.size())
        return false;
    for (size_t r = 0; r < apres.size(); ++r) {
        if (avant[r] != apres[r]) {
            changees.push_back(int(r));
            if (changees.size() > size_t(Retouche::CHANGEES_MAX))
                return false;
        }
    }
    return true;
}

} // namespace

Retouche::Retouche(Cliche &cliche, const Cache &cache, const std::unique_ptr<Travail> &travail,
                   Proches proches, Lance lance, Nombres &nombres)
    : cliche(cliche), cache(cache), travail(travail), proches(std::move(proches)),
      lance(std::move(lance)), nombres(nombres)
{
}

// A partial job may find its change out of view: the picture then takes it
// as it is, and what is left is drawn from there.
Retouche::Issue Retouche::dessine(QCPPainter *painter, QImage &tampon, const Vue &v, const Scene *s,
                                  const std::shared_ptr<const Etats> &etats)
{
    for (int etape = 0; etape < 3 && cliche.vaPour(v, s, tampon); ++etape) {
        if (retouche(painter, tampon, v, etats))
            return Issue::Posee;
        const Confiee c = confieRetouche(painter, tampon, v, etats);
        if (c == Confiee::Lancee)
            return Issue::Lancee;
        if (c == Confiee::Non)
            break;
    }
    return Issue::Aucune;
}

// Same view and scene as the picture: the picture, in which the curves
// whose state changed since are drawn again with every curve near them, in
// order, on the fond alone; past the GUI thread's budget, from the neutral
// picture the curves selected now alone. False when that is still too much
// work for the GUI thread, or when curves shown change while some are
// selected: a job then draws the neutral picture first (confieRetouche).
bool Retouche::retouche(QCPPainter *painter, QImage &tampon, const Vue &v,
                        const std::shared_ptr<const Etats> &etats)
{
    std::vector<int> changees;
    if (!changements(*cliche.etats(), *etats, changees))
        return false;
    if (changees.empty()) {
        cliche.pose(tampon);
        ++nombres.copies;
        return true;
    }
    const bool choix = !Cliche::sansChoix(*etats);
    if (choix && cliche.aNeutre() && !Cliche::memesVisibles(*cliche.etats(), *etats))
        return false;
    if (retoucheDepuis(painter, tampon, v, etats, changees, false))
        return true;
    const bool depuisNeutre = cliche.aNeutre() &&
                              cliche.neutre().cacheKey() != cliche.image().cacheKey() &&
                              Cliche::memesVisibles(*cliche.etatsNeutre(), *etats);
    return depuisNeutre && changements(*cliche.etatsNeutre(), *etats, changees) &&
           retoucheDepuis(painter, tampon, v, etats, changees, true);
}

// The device pixels where the curves at `changees` may draw in the view,
// one rectangle each, in `sale`, and the same in the view's pixels.
void Retouche::sales(const Vue &v, const QImage &tampon, const std::vector<int> &changees,
                     QVector<QRect> &sale, QVector<QRectF> &saleVue) const
{
    const Scene &s = *cache.derniere();
    const QRectF zone(v.zone());
    for (int r : changees) {
        const Scene::Element &e = s.elements[size_t(r)];
        const QRectF b = portee(v, e.cles, e.valeurs).intersected(zone);
        if (!b.isEmpty()) {
            const QRect d = v.enDevice(b).intersected(tampon.rect());
            sale.append(d);
            saleVue.append(QRectF(d.left() / v.ratio, d.top() / v.ratio, d.width() / v.ratio,
                                  d.height() / v.ratio));
        }
    }
}

// The picture, or the neutral one (`neutre`), drawn again on the GUI
// thread where the curves at `changees` may draw. False past its budget.
bool Retouche::retoucheDepuis(QCPPainter *painter, QImage &tampon, const Vue &v,
                              const std::shared_ptr<const Etats> &etats,
                              const std::vector<int> &changees, bool neutre)
{
    const Etats &apres = *etats;
    const Scene &s = *cache.derniere();
    QVector<QRect> sale;
    QVector<QRectF> saleVue;
    sales(v, tampon, changees, sale, saleVue);
    std::vector<int> dessinees;
    if (!voisines(v, saleVue, apres, dessinees))
        return false;
    if (neutre)
        cliche.montreNeutre();
    QImage brouillon = reserve::copie(cliche.fond());
    brouillon.setDevicePixelRatio(v.ratio);
    {
        QCPPainter p(&brouillon);
        p.setRenderHints(painter->renderHints());
        p.setModes(painter->modes());
        p.setClipRect(v.zone());
        QVector<QPointF> lignes;
        dessineRangs(&p, v, s, apres, dessinees, lignes);
    }
    cliche.retouche(brouillon, sale, etats);
    cliche.pose(tampon);
    ++nombres.partiels;
    return true;
}

// A change too big for the GUI thread: a partial job redraws the rectangle
// of the curves that change, from the neutral picture when there is one
// (the curves shown first, with none selected, if they changed; then the
// curves selected now), else from the picture. Meanwhile the replots show
// the stand-in: the neutral picture with the outlines of the curves
// selected now over it (kalusurligne), made once for the job. Non when
// the change is too big even for that: a complete job draws it; Prise when
// the picture took the change without drawing (it was out of view).
Retouche::Confiee Retouche::confieRetouche(QCPPainter *painter, QImage &tampon, const Vue &v,
                                           const std::shared_ptr<const Etats> &etats)
{
    const bool neutre = cliche.aNeutre();
    const std::shared_ptr<const Etats> &depuis = neutre ? cliche.etatsNeutre() : cliche.etats();
    const QImage base = neutre ? cliche.neutre() : cliche.image();
    std::shared_ptr<const Etats> cible = etats;
    if (neutre && !Cliche::memesVisibles(*depuis, *etats)) {
        auto sans = std::make_shared<Etats>(*etats);
        for (uint8_t &e : *sans)
            e &= uint8_t(~CHOISIE);
        cible = sans;
    }
    std::vector<int> changees;
    if (!changements(*depuis, *cible, changees))
        return Confiee::Non;
    QVector<QRect> sale;
    QVector<QRectF> saleVue;
    sales(v, tampon, changees, sale, saleVue);
    QRect dans;
    for (const QRect &r : sale)
        dans |= r;
    if (dans.isEmpty()) {
        cliche.remplace(base, neutre ? cliche.seulesNeutre() : cliche.seules(), cible);
        return Confiee::Prise;
    }
    const bool memeJob =
        travail && travail->demande().partiel() && *travail->demande().etats == *cible &&
        travail->demande().base.cacheKey() == base.cacheKey() && travail->demande().dans == dans;
    if (!memeJob) {
        Travail::Demande d;
        d.scene = cache.derniere();
        d.etats = cible;
        d.vue = v;
        d.fond = cliche.fond();
        d.dans = dans;
        d.changees = changees;
        d.base = base;
        d.seulesBase = neutre ? cliche.seulesNeutre() : QImage();
        d.avecSeules = !d.seulesBase.isNull();
        d.indices = painter->renderHints();
        d.modes = painter->modes();
        lance(std::move(d));
        // A gesture from now on moves no selection that went.
        cliche.montreNeutre();
        substitut = QImage();
    }
    if (substitut.isNull() || !etatsSubstitut || *etatsSubstitut != *etats) {
        std::vector<int> choisies;
        for (size_t r = 0; r < etats->size(); ++r)
            if ((*etats)[r] & CHOISIE)
                choisies.push_back(int(r));
        substitut = surligne(base, v, *cache.derniere(), choisies, painter->renderHints(),
                             painter->modes());
        etatsSubstitut = etats;
    }
    Cliche::copieChamp(tampon, substitut, v);
    ++nombres.substituts;
    return Confiee::Lancee;
}

// The curves to draw again over the dirty rectangles `sale` (the view's
// pixels): every visible one whose drawing may reach them, in order. False
// past the GUI thread's budget of points.
bool Retouche::voisines(const Vue &v, const QVector<QRectF> &sale, const Etats &etats,
                        std::vector<int> &dessinees)
{
    std::vector<int> rangs;
    for (const QRectF &b : sale)
        for (int k : proches(b))
            rangs.push_back(k);
    std::sort(rangs.begin(), rangs.end());
    rangs.erase(std::unique(rangs.begin(), rangs.end()), rangs.end());
    const Scene &s = *cache.derniere();
    long points = 0;
    for (int k : rangs) {
        const Scene::Element &e = s.elements[size_t(k)];
        if (!(etats[size_t(k)] & VISIBLE) || !e.donnees)
            continue;
        const QRectF b = portee(v, e.cles, e.valeurs);
        if (std::none_of(sale.begin(), sale.end(),
                         [&](const QRectF &d) { return d.intersects(b); }))
            continue;
        dessinees.push_back(k);
        points += e.points;
        if (points > POINTS_PARTIEL)
            return false;
    }
    return true;
}

// A partial job's picture replaces the picture it was drawn over, if the
// view, the scene and that picture are still those of the map.
bool Retouche::finie(const Travail &fait, bool vueActuelle)
{
    const Travail::Demande &d = fait.demande();
    substitut = QImage();
    etatsSubstitut.reset();
    if (d.scene != cache.derniere() || cliche.scene() != d.scene.get() || !vueActuelle ||
        d.vue != cliche.vue() || cliche.fond().cacheKey() != d.fond.cacheKey() ||
        (d.base.cacheKey() != cliche.image().cacheKey() &&
         d.base.cacheKey() != cliche.neutre().cacheKey()))
        return false;
    cliche.remplace(fait.image(), fait.seules(), d.etats);
    ++nombres.retouches;
    nombres.dureeRetouche = fait.temps();
    return true;
}
