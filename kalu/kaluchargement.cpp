// SPDX-License-Identifier: GPL-3.0-or-later
#include "kaluchargement.h"

#include "kalucarte.h"
#include "zolconf.h"

#include <QApplication>
#include <QFileInfo>
#include <QStatusBar>
#include <QToolButton>

#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

static const char KLUSRC[] = "../kalu/kaluchargement.cpp";

// Longest run of curve making between two turns of the event loop, in ms:
// a gesture or a click waits at most that long, and with the replot of the
// load's pictures that may follow it in the same turn, the window still
// answers within 20 ms.
static const int TRANCHE_MS = 8;
// The parts announced ahead of their curves. The pictures trail the curves
// by thousands of parts while a big map loads: announced parts are drawn
// when the GUI thread falls behind, or before the first curves. A part
// announced much further ahead than that had its data's count, touched
// again when its curve is made, out of the cache by then.
static const size_t ANNONCEES_MAX = 2048;

Chargement::Chargement(Carte *carte, Habits habits, QStringList fichiers, QObject *parent)
    : QObject(parent), carte(carte), habits(std::move(habits)), fichiers(std::move(fichiers))
{
    // A zero timer runs only when the window has no other event waiting:
    // input, repaints and resizes come first.
    tambour.setInterval(0);
    connect(&tambour, &QTimer::timeout, this, &Chargement::tranche);
    suite.setSingleShot(true);
    suite.setInterval(0);
    connect(&suite, &QTimer::timeout, this, &Chargement::lisSuivant);
}

Chargement::~Chargement()
{
    if (etat == Etat::Lit)
        lache();
}

void Chargement::commence()
{
    if (etat != Etat::Avant)
        return;
    etat = Etat::Lit;
    lisSuivant();
}

void Chargement::lisSuivant()
{
    if (suivant >= fichiers.size()) {
        etat = Etat::Fini;
        emit termine(false);
        return;
    }
    chemin = fichiers.at(suivant++);
    pieces.clear();
    courbes = pourcent_ = 0;
    juge = false;
    emit fichierCommence(chemin);
    if (etat != Etat::Lit)
        return; // stopped from a slot of that signal
    carte->debutAjouts();
    carte->finAjouts();
    premiere = carte->rangSuivant();
    try {
        lecture.reset(new Lecture(chemin.toUtf8().toStdString()));
    } catch (const std::bad_alloc &) {
        zolerreur(KLUSRC, "fscanshp_cpt", nullptr, "not enough memory to load '%s'!\n",
                  chemin.toLocal8Bit().constData());
        finFichier(Refus::Memoire);
        return;
    }
    // Queued once more: the verdict's slot may end the file, and so delete
    // the reading whose signal is being sent.
    const unsigned g = ++generation;
    connect(
        lecture.get(), &Lecture::lu, this,
        [this, g] {
            if (g == generation)
                surLu();
        },
        Qt::QueuedConnection);
    connect(lecture.get(), &Lecture::arrivees, &tambour, qOverload<>(&QTimer::start));
}

// One curve per piece, sharing the piece's data and name, made for 10 ms at
// most; the file ends when its reading does and every piece is made.
void Chargement::tranche()
{
    if (etat != Etat::Lit || !lecture)
        return;
    QElapsedTimer t;
    t.start();
    bool pris = true; // false: the reading thread held the pieces, taken next time
    carte->debutAjouts(false);
    try {
        pris = lecture->prends(pieces, false);
        carte->prevoit(premiere + size_t(lecture->partiesPrevues()));
        annonce();
        for (int faites = 1; !pieces.empty(); ++faites) {
            faitCourbe(pieces.front());
            pourcent_ = pieces.front().pourcent;
            pieces.pop_front();
            ++courbes;
            if ((faites & 31) == 0 && t.elapsed() >= TRANCHE_MS)
                break;
        }
        annonce();
    } catch (const std::bad_alloc &) {
        // The reading's own check let the file through, and memory ran out
        // since: the file is refused as one too big would be.
        carte->finAjouts();
        lecture->annule();
        zolerreur(KLUSRC, "fscanshp_cpt", nullptr,
                  "not enough memory to load '%s': stopped at curve %d!\n",
                  chemin.toLocal8Bit().constData(), courbes);
        finFichier(Refus::Memoire);
        return;
    }
    carte->finAjouts();
    emit avance(pourcent_);
    if (pieces.empty() && lecture->finie() && juge)
        finFichier(Refus::Aucun);
    else if (pieces.empty() && pris)
        tambour.stop(); // until the next pieces
}

void Chargement::faitCourbe(const Piece &p)
{
    if (p.parti == 0)
        debutFiche = carte->rangSuivant();
    Courbe *curve = carte->ajoute(p.cles, p.valeurs, p.place);
    curve->setData(p.donnees);
    if (p.polygone) {
        curve->setPen(habits.polygone);
        curve->setBrush(habits.fond);
        curve->partageChoix(habits.choixPolygone);
    } else {
        curve->setPen(habits.ligne);
        curve->partageChoix(habits.choixLigne);
    }
    curve->numerote(p.rcdi, p.parti);
    carte->inscrit(curve);
    int &h = vu[p.polygone];
    if (h == -1) {
        bool ok = true;
        const Habit habit = Habit::de(*curve, &ok);
        h = ok ? int(vus.size()) : -2; // -2: only the library draws it
        if (ok)
            vus.push_back(habit);
    }
}

// The pieces waiting, up to the first whose look is not known yet, are
// given to the map's pictures: those before are given already, and no
// more than ANNONCEES_MAX ahead of the curves.
void Chargement::annonce()
{
    const size_t fin = std::min(pieces.size(), ANNONCEES_MAX);
    if (carte->annoncees() >= fin)
        return;
    std::vector<Scene::Element> suivants;
    suivants.reserve(fin - carte->annoncees());
    for (size_t k = carte->annoncees(); k < fin; ++k) {
        const Piece &p = pieces[k];
        if (vu[p.polygone] < 0)
            break;
        Scene::Element e;
        e.donnees = p.donnees;
        e.cles = p.cles;
        e.valeurs = p.valeurs;
        e.habit = vu[p.polygone];
        e.points = p.donnees->size();
        suivants.push_back(std::move(e));
    }
    if (!suivants.empty())
        carte->annonce(suivants, vus);
}

// The reader is done: a file it rejected, or that did not fit, takes back
// the curves it made; an accepted one has its last pieces still to make.
void Chargement::surLu()
{
    juge = true;
    if (lecture->accepte()) {
        emit fichierAccepte(chemin, *lecture);
        if (etat == Etat::Lit)
            tambour.start();
        return;
    }
    if (lecture->refusee())
        finFichier(Refus::Memoire);
    else {
        const int type = typeDeclare(chemin.toUtf8().toStdString());
        finFichier(type != 3 && type != 5 && !nomDuType(type).isEmpty() ? Refus::TypeNonDessine
                                                                        : Refus::Illisible);
    }
}

// The reading's thread is done, or is told to stop: it is waited for here,
// never inside one of its own signals.
void Chargement::finFichier(Refus refus)
{
    tambour.stop();
    pieces.clear();
    tronque_ = refus == Refus::Aucun && lecture && lecture->tronquee();
    enregistrements_ = lecture ? lecture->enregistrements() : 0;
    lecture.reset();
    ++generation;
    if (refus != Refus::Aucun) {
        carte->retireDepuis(premiere);
        courbes = 0;
    }
    emit fichierFini(chemin, refus, courbes);
    if (etat == Etat::Lit)
        suite.start();
}

// The curves made stay, record by record: the pieces are handed over whole
// records at a time, so a record is cut only when pieces of it still wait.
void Chargement::arrete()
{
    if (etat != Etat::Lit)
        return;
    cesse();
    if (lecture) {
        lecture->annule();
        bool toutes = true;
        try {
            lecture->prends(pieces);
        } catch (const std::bad_alloc &) {
            toutes = false; // some pieces still wait: the total is unknown
        }
        // Accepted, the file has handed over every piece.
        connues = toutes && lecture->accepte() ? courbes + int(pieces.size()) : -1;
        lecture.reset();
        if (!pieces.empty() && pieces.front().parti > 0) {
            carte->retireDepuis(debutFiche);
            courbes = int(debutFiche - premiere);
        }
        pieces.clear();
        carte->oublieAnnoncees();
        arreteDedans = true;
    }
    emit termine(true);
}

// The reading is cancelled and waited for (at most the record it is on),
// the curves of its file taken back.
void Chargement::lache()
{
    cesse();
    if (lecture) {
        lecture->annule();
        lecture.reset();
        pieces.clear();
        carte->retireDepuis(premiere);
    }
}

// No curve is made after this, and a verdict on its way is ignored.
void Chargement::cesse()
{
    etat = Etat::Fini;
    tambour.stop();
    suite.stop();
    ++generation;
}

// The header's file code and shape type, in their byte orders: big-endian
// 9994 at 0, the little-endian type at 32. Only a regular file is read: a
// pipe or a device named like a shapefile would block the window.
int Chargement::typeDeclare(const std::string &chemin)
{
    unsigned char t[36];
    const int f = ::open(chemin.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (f < 0)
        return -1;
    struct stat etat;
    const bool lu = ::fstat(f, &etat) == 0 && S_ISREG(etat.st_mode) &&
                    ::pread(f, t, sizeof t, 0) == ssize_t(sizeof t);
    ::close(f);
    if (!lu || ((t[0] << 24) | (t[1] << 16) | (t[2] << 8) | t[3]) != 9994)
        return -1;
    return int(uint32_t(t[32]) | uint32_t(t[33]) << 8 | uint32_t(t[34]) << 16 |
               uint32_t(t[35]) << 24);
}

QString Chargement::nomDuType(int type)
{
    switch (type) {
    case 0:
        return QStringLiteral("Null");
    case 1:
        return QStringLiteral("Point");
    case 3:
        return QStringLiteral("PolyLine");
    case 5:
        return QStringLiteral("Polygon");
    case 8:
        return QStringLiteral("MultiPoint");
    case 11:
        return QStringLiteral("PointZ");
    case 13:
        return QStringLiteral("PolyLineZ");
    case 15:
        return QStringLiteral("PolygonZ");
    case 18:
        return QStringLiteral("MultiPointZ");
    case 21:
        return QStringLiteral("PointM");
    case 23:
        return QStringLiteral("PolyLineM");
    case 25:
        return QStringLiteral("PolygonM");
    case 28:
        return QStringLiteral("MultiPointM");
    case 31:
        return QStringLiteral("MultiPatch");
    default:
        return QString();
    }
}

// ------------------------------------------------------------ Progression

Progression::Progression(QStatusBar *barre, QToolButton *bouton) : barre(barre), bouton(bouton)
{
    connect(bouton, &QToolButton::clicked, this, &Progression::arret);
    bouton->show();
    QApplication::setOverrideCursor(Qt::BusyCursor);
}

Progression::~Progression()
{
    libere();
    barre->clearMessage();
}

void Progression::fin()
{
    if (occupe && !nom.isEmpty())
        montre(100);
    libere();
}

void Progression::libere()
{
    if (occupe)
        QApplication::restoreOverrideCursor();
    occupe = false;
    bouton->hide();
}

QToolButton *Progression::nouveauBouton(QStatusBar *barre)
{
    QToolButton *b = new QToolButton;
    b->setText(QStringLiteral("Stop"));
    b->setToolTip(QStringLiteral("Stop loading (Esc)"));
    b->setAutoRaise(true);
    // Hidden, it keeps its room: the status bar's height, and so the
    // plot's, do not change when a load begins or ends.
    QSizePolicy garde = b->sizePolicy();
    garde.setRetainSizeWhenHidden(true);
    b->setSizePolicy(garde);
    barre->addPermanentWidget(b);
    b->hide();
    return b;
}

void Progression::debut(const QString &chemin)
{
    nom = QFileInfo(chemin).fileName();
    montre(0);
}

void Progression::avance(int pourcent)
{
    if (horloge.elapsed() >= 100)
        montre(pourcent);
}

void Progression::montre(int pourcent)
{
    barre->showMessage(QString("Lecture de « %1 » : %2 %").arg(nom, QString::number(pourcent)), 0);
    horloge.start();
}
