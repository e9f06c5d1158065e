// SPDX-License-Identifier: GPL-3.0-or-later
// A long random session of real gestures on a shown window, as its users
// live it: maps from a few parts (the legend shows) to 100,000, chosen in the
// Explorer or dropped on the window while another still loads; Escape and
// the status bar's Stop during loads; clicks on curves, on the legend, on
// axes and on empty plot, drags, wheel turns, double-clicks whose dialogs
// are answered or cancelled, context menus with an entry chosen (removals
// among them), resizes, all of them during loads as well as after; and now
// and then a wait for the load's end, so that big maps end loaded too and
// the legend goes from shown to hidden and back. After every event the
// window must still be coherent (see Session::verifie). The session follows
// from its seed, so a failure is replayed by running the same seed (the
// loads' pace is the machine's: a replay meets the same events, not always
// at the same point of a load).
//
// KALU_SOAK_EVENTS (default 1000) and KALU_SOAK_SEED (default 17) set its
// length and seed; scripts/soak.sh runs a long one. KALU_SOAK_JOURNAL=1
// prints every event, how long it took and what it left.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFileDialog>
#include <QInputDialog>
#include <QMimeData>
#include <QRegularExpression>
#include <QStatusBar>
#include <QToolButton>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

#include "capture.h"
#include "explorateur.h"
#include "fenetre.h"
#include "kalucarte.h"
#include "kalusonde.h"
#include "modal.h"
#include "shpwriter.h"
#include "souris.h"
#include "zolconf.h"

namespace
{

int entier(const char *variable, int defaut)
{
    const char *v = getenv(variable);
    return v != nullptr && *v != '\0' ? atoi(v) : defaut;
}

// ---- A crash names its event -------------------------------------------
// The window's trace lines are captured during every event, the standard
// error with them: a crash's last words (the sanitizers' report, the line
// below) go to the standard error the session began with.

char evenementEnCours[200];
int erreurOrigine = -1;

void ecritEvenement()
{
    if (erreurOrigine >= 0 && evenementEnCours[0] != '\0') {
        ssize_t ecrit = write(erreurOrigine, evenementEnCours, strlen(evenementEnCours));
        (void)ecrit;
    }
}

void fatal(int signal)
{
    ecritEvenement();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void temoinDesCrashs()
{
    if (erreurOrigine >= 0)
        return;
    erreurOrigine = dup(2);
#if defined(__SANITIZE_ADDRESS__)
    __sanitizer_set_report_fd(reinterpret_cast<void *>(static_cast<intptr_t>(erreurOrigine)));
    __sanitizer_set_death_callback(ecritEvenement);
    std::signal(SIGABRT, fatal); // not the sanitizers'
#else
    for (int s : {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL})
        std::signal(s, fatal);
#endif
}

// ---- The legend --------------------------------------------------------

// Empty when the legend is coherent, else what is wrong. Item i is curve i's
// (a live curve of the plot, then, and no curve has two): an item whose
// curve was taken from the plot would draw a curve that is gone. Items are
// made when the legend shows or when asked, none for a load's curves before
// its end: unless `complete` (every item asked for first), the curves of a
// load under way or of a hidden legend may have none yet, the last ones.
QString legendeIncoherente(QCustomPlot *p, bool enCharge, bool complete)
{
    if (complete)
        Carte::de(p)->faitEntrees();
    const int items = p->legend->itemCount(), courbes = p->plottableCount();
    for (int i = 0; i < items; ++i) {
        auto *item = qobject_cast<QCPPlottableLegendItem *>(p->legend->item(i));
        if (item == nullptr)
            return QString("legend item %1 belongs to no curve").arg(i);
        if (i < courbes && item->plottable() == p->plottable(i))
            continue;
        // The pointer is only compared: its curve may be deleted.
        if (!p->hasPlottable(item->plottable()))
            return QString("legend item %1 of %2 belongs to a curve no longer in the plot (%3 "
                           "curves)")
                .arg(i)
                .arg(items)
                .arg(courbes);
        return QString("legend item %1 is not curve %1's").arg(i);
    }
    if (items == courbes || (!complete && (enCharge || !p->legend->visible())))
        return QString();
    return QString("%1 legend items for %2 curves").arg(items).arg(courbes);
}

// ---- Files -------------------------------------------------------------

// A file the Explorer may be given, and the names of the curves it loads
// (none when the reader refuses it).
struct Fichier {
    QString nom;
    bool lu;
    QStringList courbes;
    bool gros; // thousands of parts: a load that lasts
};

// A big map made cheaply: `nparties` closed triangles on a grid over the
// small maps' box, in records of one to three parts. With `casse`, a record
// of an unknown shape type follows the first half: the reader refuses the
// file once half its curves are made. The names of the curves are appended
// to `noms`.
shp::Bytes grandeCarte(int type, int nparties, bool casse, QStringList &noms)
{
    const int cote = static_cast<int>(std::ceil(std::sqrt(nparties)));
    const double pas = 20.0 / cote, cote3 = 0.6 * pas;
    shp::Bytes corps;
    int faites = 0, rcdi = 0;
    while (faites < nparties) {
        shp::Record e{type, {}};
        const int n = std::min(nparties - faites, 1 + rcdi % 3);
        for (int k = 0; k < n; ++k, ++faites) {
            const double x = -10 + pas * (faites % cote), y = -8 + 0.8 * pas * (faites / cote);
            e.parts.push_back({{x, y}, {x + cote3, y}, {x, y + cote3}, {x, y}});
            noms << QString("shp[%1][%2]").arg(rcdi).arg(k);
        }
        shp::append(corps, shp::record(++rcdi, e));
        if (casse && faites >= nparties / 2) {
            shp::append(corps,
                        shp::withHeader(++rcdi, shp::rawContent(2, 1, 2, {0}, {{0, 0}, {1, 1}})));
            casse = false;
        }
    }
    shp::Bytes octets = shp::header(type, 100 + corps.size(), -10, -8, 10, 8);
    shp::append(octets, corps);
    return octets;
}

// Texts typed into the dialogs: placeholders and brackets among them, since
// curve names reach the point read-out.
const QStringList TEXTES = {
    "", "Seine", "%1", "%99", "%L1", "%", "a%2b", "Île de la Cité", "[..][3] = (1, 2)", "%1%2%3%4"};

// Answers every input dialog that opens while it lives, all alike, and
// keeps what each one offered: a gesture that opens two dialogs is seen,
// not left waiting.
class Repondeur
{
  public:
    struct Dialogue {
        QString invite, offert;
    };

    Repondeur(bool accepte, const QString &texte)
    {
        QObject::connect(&minuterie, &QTimer::timeout, [this, accepte, texte]() {
            QInputDialog *d = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
            if (d == nullptr || !d->isVisible())
                return;
            ouverts.push_back({d->labelText(), d->textValue()});
            if (accepte) {
                d->setTextValue(texte);
                d->accept();
            } else {
                d->reject();
            }
        });
        minuterie.start(5);
    }

    std::vector<Dialogue> ouverts;

  private:
    QTimer minuterie;
};

class Session
{
  public:
    explicit Session(unsigned graine) : graine(graine), alea(graine), aleaVerif(graine)
    {
        dossier = QString::fromUtf8(shp::scratchPath("soak").c_str());
        mkdir(dossier.toUtf8().constData(), 0700);
        prepareFichiers();
        v->resize(800, 600);
        v->show();
        QApplication::setActiveWindow(v.get());
        QApplication::processEvents();
        for (QToolButton *b : v->statusBar()->findChildren<QToolButton *>())
            if (b->text() == "Stop")
                bouton = b;
        if (bouton == nullptr)
            probleme("the status bar has no Stop button");
        // The curves' states followed as on a big map, checked by the
        // pictures' comparisons.
        Sonde(::Carte::de(p)).setLectureComplete(0);
        QObject::connect(p, &QCustomPlot::plottableClick, p,
                         [this](QCPAbstractPlottable *c, int i, QMouseEvent *) { lecture(c, i); });
        QObject::connect(v.get(), &KaluView::chargementFini, p, [this] { finDeCharge(); });
        Capture c;
        explore({0});
        fenetre::attendsChargement(*v);
    }

    // The window may end a load as it goes: the session is not told.
    ~Session() { QObject::disconnect(v.get(), &KaluView::chargementFini, p, nullptr); }

    // The event a draw of 0 to 99 picks: each takes the draws below its
    // bound and from the one before.
    void joue(int tirage)
    {
        const std::pair<int, void (Session::*)()> evenements[] = {
            {20, &Session::clicCourbe}, {26, &Session::clicLegende},
            {32, &Session::clicVide},   {37, &Session::clicAxe},
            {44, &Session::glisse},     {51, &Session::molette},
            {60, &Session::doubleClic}, {71, &Session::menu},
            {79, &Session::explorer},   {83, &Session::depose},
            {87, &Session::echap},      {91, &Session::arret},
            {96, &Session::patiente},   {std::numeric_limits<int>::max(), &Session::redimensionne}};
        for (const auto &e : evenements)
            if (tirage < e.first) {
                (this->*e.second)();
                return;
            }
    }

    // Runs event `n`; false with a message in `echec` when the window is no
    // longer coherent after it.
    bool evenement(int n)
    {
        const int tirage = nombre(100);
        QElapsedTimer duree;
        duree.start();
        std::snprintf(evenementEnCours, sizeof evenementEnCours,
                      "soak: seed %u, event %d did not return (KALU_SOAK_SEED=%u "
                      "KALU_SOAK_EVENTS=%d replays it)\n",
                      graine, n, graine, n);
        Capture c; // the window's trace lines
        joue(tirage);
        QApplication::processEvents();
        const bool bon = verifie(); // its waits run the load on
        c.fin();
        if (journal)
            dprintf(erreurOrigine,
                    "%d %s (%lld ms): %s%d curves, %d legend items, legend %s, Stop %s,%s '%s'\n",
                    n, dernier.c_str(), duree.elapsed(), v->chargeEnCours() ? "loading, " : "",
                    p->plottableCount(), p->legend->itemCount(),
                    p->legend->visible() ? "shown" : "hidden",
                    bouton->isVisible() ? "shown" : "hidden",
                    ::Carte::de(p)->attendImage() ? " picture to come," : "",
                    v->statusBar()->currentMessage().toUtf8().constData());
        return bon;
    }

    int travauxAnnules() const { return Sonde(::Carte::de(p)).compteurs().annules; }

    const unsigned graine;
    QString echec;
    std::string dernier;                // the last event's kind
    std::map<std::string, int> comptes; // events and outcomes, by kind
    int plusDeCourbes = 0;
    int verifications = 0;

  private:
    int nombre(int n) { return std::uniform_int_distribution<int>(0, n - 1)(alea); }
    bool pile() { return nombre(2) == 0; }

    // ---- Files ---------------------------------------------------------

    shp::Part partie()
    {
        shp::Part part;
        const int n = 2 + nombre(5);
        for (int k = 0; k < n; ++k) {
            // Now and then a coordinate near 0, shown with an exponent.
            const double echelle = nombre(10) == 0 ? 1e-6 : 1.0;
            part.push_back({echelle * std::uniform_real_distribution<double>(-10, 10)(alea),
                            echelle * std::uniform_real_distribution<double>(-8, 8)(alea)});
        }
        return part;
    }

    // Records of one to three parts, `nparties` parts in all; the names of
    // their curves are appended to `noms`.
    std::vector<shp::Record> enregistrements(int type, int nparties, QStringList &noms)
    {
        std::vector<shp::Record> r;
        while (nparties > 0) {
            shp::Record e{type, {}};
            const int n = std::min(nparties, 1 + nombre(3));
            for (int k = 0; k < n; ++k) {
                e.parts.push_back(partie());
                noms << QString("shp[%1][%2]").arg(r.size()).arg(k);
            }
            nparties -= n;
            r.push_back(e);
        }
        return r;
    }

    void ajoute(const QString &nom, const shp::Bytes &octets, bool lu, const QStringList &noms,
                bool gros = false)
    {
        ASSERT_TRUE(shp::write((dossier + "/" + nom).toUtf8().toStdString(), octets));
        (gros ? grands : petits).push_back(fichiers.size());
        fichiers.push_back({nom, lu, noms, gros});
    }

    void prepareFichiers()
    {
        // Sound files, on both sides of the legend's limit of 30 curves.
        const std::pair<const char *, int> sains[] = {
            {"trois.shp", 3}, {"douze.shp", 12}, {"vingtneuf.shp", 29}, {"trente.shp", 30}};
        for (const auto &s : sains) {
            QStringList noms;
            const int type = pile() ? 3 : 5;
            ajoute(s.first, shp::file(type, enregistrements(type, s.second, noms)), true, noms);
        }
        // Damaged: its last record is cut short and dropped, the others load.
        QStringList noms;
        std::vector<shp::Record> r = enregistrements(3, 8, noms);
        shp::Bytes octets = shp::file(3, r);
        octets.resize(octets.size() - 20);
        while (!noms.isEmpty() && noms.last().startsWith(QString("shp[%1]").arg(r.size() - 1)))
            noms.removeLast();
        ajoute("coupe.shp", octets, true, noms);
        // Refused by the reader: a Point file, a wrong file code, a FIFO.
        QStringList aucun;
        ajoute("points.shp", shp::header(1, 100), false, aucun);
        shp::Bytes code = shp::file(3, enregistrements(3, 2, aucun));
        code[3] = 0;
        ajoute("code.shp", code, false, {});
        const QString fifo = dossier + "/fifo.shp";
        remove(fifo.toUtf8().constData()); // left by an earlier run
        ASSERT_EQ(mkfifo(fifo.toUtf8().constData(), 0600), 0);
        petits.push_back(fichiers.size());
        fichiers.push_back({"fifo.shp", false, {}, false});
        // Big maps: loads that last, hide the legend, and are stopped,
        // replaced, emptied or refused half made.
        QStringList mille, cent, casse;
        ajoute("mille.shp", grandeCarte(3, 3000, false, mille), true, mille, true);
        ajoute("cent-mille.shp", grandeCarte(5, 100000, false, cent), true, cent, true);
        ajoute("casse.shp", grandeCarte(3, 40000, true, casse), false, {}, true);
    }

    // ---- Where to act --------------------------------------------------

    QPoint pointVide()
    {
        const QRect r = p->axisRect()->rect();
        return QPoint(r.left() + nombre(std::max(1, r.width())),
                      r.top() + nombre(std::max(1, r.height())));
    }

    // A point of a random curve: index in `*i`, null when there is none.
    QCPAbstractPlottable *courbeAuHasard(int *i)
    {
        if (p->plottableCount() == 0)
            return nullptr;
        QCPAbstractPlottable *c = p->plottable(nombre(p->plottableCount()));
        const int n = c->interface1D()->dataCount();
        if (n == 0)
            return nullptr;
        *i = nombre(n);
        return c;
    }

    QPoint pointCourbe()
    {
        int i = 0;
        QCPAbstractPlottable *c = courbeAuHasard(&i);
        if (c == nullptr)
            return pointVide();
        return fenetre::pixel(p, c->interface1D()->dataMainKey(i),
                              c->interface1D()->dataMainValue(i));
    }

    // Index of a random legend item that can be hit, or -1.
    int itemAuHasard()
    {
        if (!p->legend->visible() || p->legend->itemCount() == 0)
            return -1;
        return nombre(p->legend->itemCount());
    }

    // The curve of the legend item at `pos`, or null.
    QCPAbstractPlottable *itemEn(QPoint pos)
    {
        if (!p->legend->visible())
            return nullptr;
        for (int i = 0; i < p->legend->itemCount(); ++i) {
            auto *item = qobject_cast<QCPPlottableLegendItem *>(p->legend->item(i));
            if (item != nullptr && item->realVisibility() && item->selectTest(pos, false) >= 0)
                return item->plottable();
        }
        return nullptr;
    }

    // ---- Gestures ------------------------------------------------------

    // Counted apart during a load.
    void compte(const std::string &quoi)
    {
        dernier = quoi;
        ++comptes[quoi];
        if (v->chargeEnCours())
            ++comptes[quoi + ", during a load"];
    }

    void clic(QPoint pos, const char *quoi, Qt::KeyboardModifiers touches = Qt::NoModifier)
    {
        compte(std::string("click ") + quoi);
        QTest::mouseClick(p, Qt::LeftButton, touches, pos);
    }

    void clicVide() { clic(pointVide(), "empty"); }

    void clicCourbe()
    {
        // Control adds to the selection.
        clic(pointCourbe(), "curve", nombre(5) == 0 ? Qt::ControlModifier : Qt::NoModifier);
    }

    void clicLegende()
    {
        const int k = itemAuHasard();
        if (k < 0)
            clic(pointVide(), "empty");
        else
            clic(fenetre::pixelLegende(p, k), "legend");
    }

    void clicAxe()
    {
        QCPAxis *axes[] = {p->xAxis, p->yAxis, p->xAxis2, p->yAxis2};
        const QCPAxis::SelectablePart parties[] = {QCPAxis::spAxis, QCPAxis::spTickLabels,
                                                   QCPAxis::spAxisLabel};
        const QPoint pos = fenetre::pixelAxe(axes[nombre(4)], parties[nombre(3)]);
        if (pos == QPoint(-1, -1))
            clic(pointVide(), "empty");
        else
            clic(pos, "axis");
    }

    void glisse()
    {
        compte("drag");
        fenetre::glisse(p, pointVide(), pointVide());
    }

    void molette()
    {
        compte("wheel");
        fenetre::molette(p, pointVide(), (1 + nombre(3)) * (pile() ? 1 : -1));
    }

    void redimensionne()
    {
        compte("resize");
        v->resize(350 + nombre(650), 300 + nombre(500));
        QApplication::processEvents();
    }

    // The name a curve must have: the one typed for it, else the loader's.
    bool renommee(QCPAbstractPlottable *c, QString *nom)
    {
        auto r = renommees.find(c);
        if (r == renommees.end())
            return false;
        if (r->second.first.isNull()) { // deleted: the address may be a new curve's
            renommees.erase(r);
            return false;
        }
        *nom = r->second.second;
        return true;
    }

    // Double-click on an editable text or elsewhere; the dialog, if one
    // opens, is answered with a text or cancelled.
    void doubleClic()
    {
        const bool accepte = nombre(3) != 0;
        const QString texte = TEXTES[nombre(TEXTES.size())];
        QPoint pos;
        switch (nombre(6)) {
        case 0:
            pos = fenetre::titre(*v)->outerRect().center();
            break;
        case 1:
            pos = fenetre::sousTitre(*v)->outerRect().center();
            break;
        case 2:
            pos = fenetre::pixelAxe(pile() ? p->xAxis : p->yAxis, QCPAxis::spAxisLabel);
            break;
        case 3: {
            const int k = itemAuHasard();
            if (k >= 0)
                pos = fenetre::pixelLegende(p, k);
            break;
        }
        case 4:
            pos = pointCourbe();
            break;
        default:
            break;
        }
        if (pos.isNull() || pos == QPoint(-1, -1))
            pos = pointVide();
        // The legend lies over the curves: an item may be hit by chance. A
        // load may take the curve back while its dialog is open.
        QPointer<QCPAbstractPlottable> cible = itemEn(pos);
        QString offert = cible ? nomDe(cible) : QString();
        if (cible)
            renommee(cible, &offert);
        // A load that ends between the two clicks may lay out the items
        // the first one did not find.
        const bool enCharge = v->chargeEnCours();
        compte("double-click");
        Repondeur r(accepte, texte);
        fenetre::doubleClic(p, pos);
        ++comptes[r.ouverts.empty() ? "double-click, no dialog"
                  : accepte         ? "double-click, dialog answered"
                                    : "double-click, dialog cancelled"];
        if (r.ouverts.size() > 1)
            probleme(QString("one double-click opened %1 dialogs, the first '%2', the last '%3'")
                         .arg(r.ouverts.size())
                         .arg(r.ouverts.front().invite)
                         .arg(r.ouverts.back().invite));
        if (r.ouverts.empty() || !accepte)
            return;
        const Repondeur::Dialogue &d = r.ouverts.back();
        if (d.invite == "Nouveau sous-titre :") {
            sousTitre = texte;
        } else if (d.invite == "New shape name:") {
            if (offert.isNull() && enCharge && (cible = itemEn(pos)) != nullptr)
                offert = d.offert; // its name then is not known here
            if (offert.isNull()) {
                probleme("a rename dialog opened off the legend items");
                return;
            }
            if (d.offert != offert)
                probleme("the rename dialog offered '" + d.offert + "' for '" + offert + "'");
            if (cible)
                renommees[cible] = {cible, texte};
        }
    }

    // Right-click; the menu's entry is chosen at random, or it is closed.
    // "Remove all shapes" stops a load under way.
    void menu()
    {
        const int k = itemAuHasard();
        const int ou = nombre(3);
        const QPoint pos = ou == 0 && k >= 0 ? fenetre::pixelLegende(p, k)
                           : ou == 1         ? pointCourbe()
                                             : pointVide();
        QList<QCPAbstractPlottable *> choisies = p->selectedPlottables();
        QPointer<QCPAbstractPlottable> retiree = choisies.isEmpty() ? nullptr : choisies.first();
        const int avant = p->plottableCount();
        fenetre::clicDroit(p, pos);
        QMenu *m = fenetre::menuOuvert();
        if (m == nullptr) {
            probleme("a right-click opened no menu");
            return;
        }
        const QList<QAction *> entrees = m->actions();
        const int n = nombre(entrees.size() + 1);
        if (n == entrees.size()) {
            compte("menu closed");
        } else {
            const QString texte = entrees[n]->text();
            compte("menu: " + texte.toStdString());
            interrompt = true;
            fenetre::choisit(m, texte);
            interrompt = false;
            if (texte == "Remove selected shape") {
                if (p->plottableCount() != avant - 1 || (retiree && p->hasPlottable(retiree)))
                    probleme("\"Remove selected shape\" did not remove the selected curve");
                if (v->chargeEnCours())
                    attendu.retraits = true;
                else
                    courbes = p->plottableCount();
            } else if (texte == "Remove all shapes") {
                if (p->plottableCount() != 0 || p->legend->itemCount() != 0)
                    probleme(QString("%1 curves and %2 legend items after \"Remove all shapes\"")
                                 .arg(p->plottableCount())
                                 .arg(p->legend->itemCount()));
                if (v->chargeEnCours())
                    probleme("\"Remove all shapes\" left the load running");
                courbes = 0;
            }
        }
        if (!fenetre::fermeEtDetruit(m))
            probleme("the context menu was not deleted");
    }

    // Up to three distinct files (the dialog would give a file named twice
    // once), big ones now and then.
    std::vector<size_t> tireFichiers()
    {
        std::vector<size_t> choix;
        std::vector<size_t> restants[2] = {petits, grands};
        for (int n = 1 + nombre(3); n > 0; --n) {
            std::vector<size_t> &parmi = restants[nombre(100) < PART_GROS && !restants[1].empty()];
            if (parmi.empty())
                break;
            const int k = nombre(parmi.size());
            choix.push_back(parmi[k]);
            parmi.erase(parmi.begin() + k);
        }
        // The 100,000 parts last: the last file read sets the legend, and a
        // small one after them would show 100,000 items, which every replot
        // lays out (seconds a gesture).
        std::stable_partition(choix.begin(), choix.end(),
                              [this](size_t i) { return fichiers[i].courbes.size() < 10000; });
        return choix;
    }

    // What the session expects of the load of `choix`, which has begun.
    void nouvelleCharge(const std::vector<size_t> &choix)
    {
        renommees.clear();
        attendu = Attendu();
        attendu.enCours = true;
        for (size_t i : choix) {
            ++comptes[fichiers[i].gros ? "big file chosen" : "small file chosen"];
            if (fichiers[i].lu) {
                attendu.courbes << fichiers[i].courbes;
                attendu.lu = true;
                attendu.legende = fichiers[i].courbes.size() < 30;
            }
        }
    }

    // Chooses the files (or cancels) in the real dialog, answered from a
    // timer; the load goes on beside the next events.
    void explore(const std::vector<size_t> &choix)
    {
        fenetre::repondra<QFileDialog>([this, choix](QFileDialog *d) {
            if (choix.empty()) {
                d->reject();
                return true;
            }
            QStringList noms;
            for (size_t i : choix)
                noms << fichiers[i].nom;
            // What ends the load under way from here on is the new choice.
            interrompt = true;
            fenetre::choisit(d, dossier, noms);
            return true;
        });
        compte(choix.empty() ? std::string("Explorer cancelled")
                             : "Explorer, " + std::to_string(choix.size()) + " files");
        QtMessageHandler avant =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        EXPECT_TRUE(fenetre::declenche(*v, "&Explorer"));
        qInstallMessageHandler(avant);
        interrompt = false;
        if (!choix.empty())
            nouvelleCharge(choix);
    }

    void explorer() { explore(nombre(8) != 0 ? tireFichiers() : std::vector<size_t>()); }

    // Drops files on the window: their load starts from the event loop.
    void depose()
    {
        const std::vector<size_t> choix = tireFichiers();
        QList<QUrl> urls;
        for (size_t i : choix)
            urls << QUrl::fromLocalFile(dossier + "/" + fichiers[i].nom);
        compte("drop of " + std::to_string(choix.size()) + " files");
        QMimeData donnees;
        donnees.setUrls(urls);
        const QPoint ici = v->rect().center();
        QDragEnterEvent entre(ici, Qt::CopyAction, &donnees, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(v.get(), &entre);
        QDropEvent lache(ici, Qt::CopyAction, &donnees, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(v.get(), &lache);
        if (!entre.isAccepted() || !lache.isAccepted()) {
            probleme("a drop of shapefiles was refused");
            return;
        }
        // The queued call that starts the load, alone: the load under way
        // makes no curve meanwhile.
        interrompt = true;
        QCoreApplication::sendPostedEvents(v.get(), QEvent::MetaCall);
        interrompt = false;
        nouvelleCharge(choix);
    }

    // Escape, as the window's shortcut takes it.
    void echap()
    {
        const bool enCours = v->chargeEnCours();
        compte("Escape");
        QApplication::setActiveWindow(v.get());
        interrompt = true;
        QTest::keyClick(v.get(), Qt::Key_Escape);
        interrompt = false;
        if (enCours && v->chargeEnCours())
            probleme("Escape did not stop the load");
    }

    // The status bar's Stop button, shown during a load.
    void arret()
    {
        if (!bouton->isVisible()) {
            compte("Stop, not shown");
            return;
        }
        const bool enCours = v->chargeEnCours();
        compte("Stop");
        interrompt = true;
        QTest::mouseClick(bouton, Qt::LeftButton);
        interrompt = false;
        if (enCours && v->chargeEnCours())
            probleme("the Stop button did not stop the load");
    }

    // The user waits for the map.
    void patiente()
    {
        compte("wait for the load's end");
        if (!fenetre::attendsChargement(*v))
            probleme("the load did not end");
    }

    // ---- What must hold ------------------------------------------------

    // The window's read-out of a clicked point, as the window shows it: the
    // name as written, then the index and coordinates.
    void lecture(QCPAbstractPlottable *c, int i)
    {
        QCPPlottableInterface1D *d = c->interface1D();
        if (d == nullptr || i < 0 || i >= d->dataCount())
            return;
        sousTitre =
            nomDe(c) +
            QString("[..][%1] = (%2, %3)").arg(i).arg(d->dataMainKey(i)).arg(d->dataMainValue(i));
        ++comptes["read-outs"];
    }

    // A load is over. One that ended of itself holds every curve of its
    // files read, named as in them; the last file read sets the legend's
    // visibility. A load stopped, replaced or emptied leaves what it leaves,
    // coherent: the session takes it as it is.
    void finDeCharge()
    {
        if (!attendu.enCours)
            return;
        attendu.enCours = false;
        if (!interrompt) {
            ++comptes["load ended of itself"];
            const int n = p->plottableCount();
            if (attendu.retraits ? n > attendu.courbes.size() : n != attendu.courbes.size())
                probleme(
                    QString("%1 curves loaded, %2 expected").arg(n).arg(attendu.courbes.size()));
            else if (!attendu.retraits)
                for (int i = 0; i < n; ++i) {
                    QString nom = attendu.courbes[i];
                    renommee(p->plottable(i), &nom);
                    if (nomDe(p->plottable(i)) != nom) {
                        probleme(QString("curve %1 is named '%2', '%3' expected")
                                     .arg(i)
                                     .arg(nomDe(p->plottable(i)), nom));
                        break;
                    }
                }
            if (attendu.lu && p->legend->visible() != attendu.legende)
                probleme(QString("the legend is %1 at the load's end")
                             .arg(attendu.legende ? "hidden" : "shown"));
        } else {
            ++comptes["load stopped or replaced"];
        }
        courbes = p->plottableCount();
        if (p->legend->visible() != legende)
            ++comptes[legende ? "legend shown, then hidden" : "legend hidden, then shown"];
        legende = p->legend->visible();
    }

    void probleme(const QString &texte)
    {
        if (echec.isEmpty())
            echec = texte;
    }

    // Some curves at random, and every renamed one: named as typed, or as
    // the loader names a part.
    void verifieNoms()
    {
        static const QRegularExpression forme("^shp\\[\\d+\\]\\[\\d+\\]$");
        const int n = p->plottableCount();
        for (int k = 0; k < std::min(n, 40); ++k) {
            QCPAbstractPlottable *c =
                p->plottable(std::uniform_int_distribution<int>(0, n - 1)(aleaVerif));
            QString nom;
            if (renommee(c, &nom) ? nomDe(c) != nom : !forme.match(nomDe(c)).hasMatch()) {
                probleme("a curve is named '" + nomDe(c) + "'");
                return;
            }
        }
        for (const auto &r : renommees)
            if (!r.second.first.isNull() && nomDe(r.second.first) != r.second.second)
                probleme("a curve renamed '" + r.second.second + "' is named '" +
                         nomDe(r.second.first) + "'");
    }

    bool verifie()
    {
        const bool enCharge = v->chargeEnCours();
        ++verifications;
        // Every item asked for, now and then: on a big map, 100,000 of them.
        const QString legendes = legendeIncoherente(
            p, enCharge, !enCharge && verifications % (courbes > 5000 ? 50 : 5) == 0);
        if (!legendes.isEmpty())
            probleme(legendes);
        verifieNoms();
        plusDeCourbes = std::max(plusDeCourbes, p->plottableCount());
        if (enCharge && !bouton->isVisible())
            probleme("the Stop button is hidden during a load");
        if (!enCharge) {
            if (p->plottableCount() != courbes)
                probleme(QString("%1 curves, %2 expected").arg(p->plottableCount()).arg(courbes));
            if (p->legend->visible() != legende)
                probleme("the legend is " + QString(legende ? "hidden" : "shown"));
        }
        if (zolprofondeur() != 0)
            probleme(QString("trace depth %1").arg(zolprofondeur()));
        for (QCPAxis *a : {p->xAxis, p->yAxis, p->xAxis2, p->yAxis2})
            if (!QCPRange::validRange(a->range()))
                probleme(
                    QString("invalid range %1 .. %2").arg(a->range().lower).arg(a->range().upper));
        if (p->xAxis2->range() != p->xAxis->range() || p->yAxis2->range() != p->yAxis->range())
            probleme("the top or right axis left its twin");
        if (fenetre::sousTitre(*v)->text() != sousTitre)
            probleme("sub-title '" + fenetre::sousTitre(*v)->text() + "', '" + sousTitre +
                     "' expected");
        if (QApplication::activeModalWidget() != nullptr || fenetre::menuOuvert() != nullptr)
            probleme("a dialog or a menu is still open");
        // Events come faster than the map's jobs end: most interrupt one.
        // The library's own drawing of a big map takes seconds.
        if (!enCharge && p->plottableCount() <= 5000 && verifications % 25 == 0 &&
            !fenetre::commeLaBibliotheque(*v, p))
            probleme("the map's picture differs from the library's");
        return echec.isEmpty();
    }

    // The share of big files among the files chosen, %: a big load takes
    // about a second in the sanitizer build.
    static const int PART_GROS = 12;

    // KALU_SOAK_JOURNAL=1: every event and what it left, on the standard
    // error.
    const bool journal = entier("KALU_SOAK_JOURNAL", 0) != 0;
    std::mt19937 alea;
    std::mt19937 aleaVerif; // the checks' samples: the session's draws stay its own
    QString dossier;
    std::vector<Fichier> fichiers;
    std::vector<size_t> petits, grands; // in `fichiers`
    std::unique_ptr<KaluView> v = fenetre::nouvelle();
    QCustomPlot *p = fenetre::plot(*v);
    QToolButton *bouton = nullptr; // the status bar's Stop
    // The curves renamed, with the names typed (the pointer is null once the
    // curve is deleted).
    std::map<QCPAbstractPlottable *, std::pair<QPointer<QCPAbstractPlottable>, QString>> renommees;
    // What the load started last must leave if it ends of itself: the curves
    // of its files read (`lu`: at least one), the legend as the last one sets
    // it; `retraits`: curves were removed during it.
    struct Attendu {
        bool enCours = false;
        QStringList courbes;
        bool lu = false, legende = false, retraits = false;
    } attendu;
    // Set while the session does what stops or replaces a load: the load's
    // end then did not come of itself.
    bool interrompt = false;
    // Between loads: the number of curves, the legend's visibility.
    int courbes = 0;
    bool legende = false;
    QString sousTitre;
};

TEST(Soak, ARandomSessionLeavesTheWindowCoherent)
{
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    temoinDesCrashs();
    const int evenements = entier("KALU_SOAK_EVENTS", 1000);
    const unsigned graine = static_cast<unsigned>(entier("KALU_SOAK_SEED", 17));
    Session s(graine);
    ASSERT_TRUE(s.echec.isEmpty()) << s.echec.toStdString();
    int n = 0;
    while (n < evenements && s.evenement(n + 1))
        ++n;
    evenementEnCours[0] = '\0';
    EXPECT_EQ(n, evenements) << "seed " << graine << ", after event " << n + 1 << " (" << s.dernier
                             << "): " << s.echec.toStdString();

    std::printf("soak: seed %u, %d events, at most %d curves, %d drawing jobs cancelled\n", graine,
                n, s.plusDeCourbes, s.travauxAnnules());
    for (const auto &c : s.comptes)
        std::printf("  %-44s %d\n", c.first.c_str(), c.second);
}

} // namespace
