// SPDX-License-Identifier: GPL-3.0-or-later
// A long random session of real gestures on a shown window: clicks on
// curves, on the legend, on axes and on empty plot, drags, wheel turns,
// double-clicks whose dialogs are answered or cancelled, context menus with
// an entry chosen, Explorer choices of sound, damaged and refused files, and
// resizes. After every event the window must still be coherent (see
// Session::verifie). The session follows from its seed alone, so a failure
// is replayed by running the same seed.
//
// KALU_SOAK_EVENTS (default 1000) and KALU_SOAK_SEED (default 17) set its
// length and seed; scripts/soak.sh runs a long one.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "capture.h"
#include "fenetre.h"
#include "kalucarte.h"
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

// Every curve has exactly one legend item, and every item belongs to a
// curve of the plot; empty when so, else what is wrong. The item draws its
// curve's name, so an item that belongs to its curve shows that name.
// Items are made when the legend shows or when asked: unless `complete`,
// the curves that have none yet must come after those that have one, and a
// shown legend must have them all.
QString legendeIncoherente(QCustomPlot *p, bool complete)
{
    if (complete)
        Carte::de(p)->faitEntrees();
    for (int i = 0; i < p->legend->itemCount(); ++i) {
        auto *item = qobject_cast<QCPPlottableLegendItem *>(p->legend->item(i));
        if (item != nullptr && i < p->plottableCount() && item->plottable() != p->plottable(i))
            return QString("legend item %1 is not curve %1's").arg(i);
    }
    if (!complete && !p->legend->visible() && p->legend->itemCount() < p->plottableCount())
        return QString();
    std::map<QCPAbstractPlottable *, int> items;
    for (int i = 0; i < p->legend->itemCount(); ++i) {
        auto *item = qobject_cast<QCPPlottableLegendItem *>(p->legend->item(i));
        if (item == nullptr)
            return QString("legend item %1 belongs to no curve").arg(i);
        ++items[item->plottable()];
    }
    for (int i = 0; i < p->plottableCount(); ++i)
        if (items[p->plottable(i)] != 1)
            return QString("curve %1 (%2) has %3 legend items")
                .arg(i)
                .arg(nomDe(p->plottable(i)))
                .arg(items[p->plottable(i)]);
    if (p->legend->itemCount() != p->plottableCount())
        return QString("%1 legend items for %2 curves")
            .arg(p->legend->itemCount())
            .arg(p->plottableCount());
    return QString();
}

// A file the Explorer may be given, and the names of the curves it loads
// (none when the reader refuses it).
struct Fichier {
    QString nom;
    bool lu;
    QStringList courbes;
};

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
    explicit Session(unsigned graine) : alea(graine)
    {
        dossier = QString::fromUtf8(shp::scratchPath("soak").c_str());
        mkdir(dossier.toUtf8().constData(), 0700);
        prepareFichiers();
        v->resize(800, 600);
        v->show();
        QApplication::processEvents();
        // The curves' states followed as on a big map, checked by the
        // pictures' comparisons.
        ::Carte::de(p)->setLectureComplete(0);
        QObject::connect(p, &QCustomPlot::plottableClick, p,
                         [this](QCPAbstractPlottable *c, int i, QMouseEvent *) { lecture(c, i); });
        Capture c;
        explore({0});
    }

    // Runs one random event; false with a message in `echec` when the
    // window is no longer coherent after it.
    bool evenement()
    {
        const int tirage = nombre(100);
        Capture c; // the window's trace lines
        if (tirage < 23)
            clicCourbe();
        else if (tirage < 31)
            clicLegende();
        else if (tirage < 39)
            clic(pointVide(), "empty");
        else if (tirage < 47)
            clicAxe();
        else if (tirage < 55)
            glisse();
        else if (tirage < 63)
            molette();
        else if (tirage < 75)
            doubleClic();
        else if (tirage < 89)
            menu();
        else if (tirage < 95)
            explorer();
        else
            redimensionne();
        QApplication::processEvents();
        c.fin();
        return verifie();
    }

    int travauxAnnules() const { return ::Carte::de(p)->compteurs().annules; }

    QString echec;
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

    void ajoute(const QString &nom, const shp::Bytes &octets, bool lu, const QStringList &noms)
    {
        ASSERT_TRUE(shp::write((dossier + "/" + nom).toUtf8().toStdString(), octets));
        fichiers.push_back({nom, lu, noms});
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
        fichiers.push_back({"fifo.shp", false, {}});
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
        for (int i = 0; i < p->legend->itemCount(); ++i) {
            auto *item = qobject_cast<QCPPlottableLegendItem *>(p->legend->item(i));
            if (item != nullptr && item->realVisibility() && item->selectTest(pos, false) >= 0)
                return item->plottable();
        }
        return nullptr;
    }

    // ---- Gestures ------------------------------------------------------

    void clic(QPoint pos, const char *quoi, Qt::KeyboardModifiers touches = Qt::NoModifier)
    {
        ++comptes[std::string("click ") + quoi];
        QTest::mouseClick(p, Qt::LeftButton, touches, pos);
    }

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
        ++comptes["drag"];
        fenetre::glisse(p, pointVide(), pointVide());
    }

    void molette()
    {
        ++comptes["wheel"];
        fenetre::molette(p, pointVide(), (1 + nombre(3)) * (pile() ? 1 : -1));
    }

    void redimensionne()
    {
        ++comptes["resize"];
        v->resize(350 + nombre(650), 300 + nombre(500));
        QApplication::processEvents();
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
        // The legend lies over the curves: an item may be hit by chance.
        QCPAbstractPlottable *renommee = itemEn(pos);
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
            if (renommee == nullptr) {
                probleme("a rename dialog opened off the legend items");
                return;
            }
            if (d.offert != noms[renommee])
                probleme("the rename dialog offered '" + d.offert + "' for '" + noms[renommee] +
                         "'");
            noms[renommee] = texte;
        }
    }

    // Right-click; the menu's entry is chosen at random, or it is closed.
    void menu()
    {
        const int k = itemAuHasard();
        const int ou = nombre(3);
        const QPoint pos = ou == 0 && k >= 0 ? fenetre::pixelLegende(p, k)
                           : ou == 1         ? pointCourbe()
                                             : pointVide();
        QList<QCPAbstractPlottable *> choisies = p->selectedPlottables();
        fenetre::clicDroit(p, pos);
        QMenu *m = fenetre::menuOuvert();
        if (m == nullptr) {
            probleme("a right-click opened no menu");
            return;
        }
        const QList<QAction *> entrees = m->actions();
        const int n = nombre(entrees.size() + 1);
        if (n == entrees.size()) {
            ++comptes["menu closed"];
        } else {
            const QString texte = entrees[n]->text();
            ++comptes["menu: " + texte.toStdString()];
            fenetre::choisit(m, texte);
            if (texte == "Remove selected shape")
                noms.erase(choisies.first());
            else if (texte == "Remove all shapes")
                noms.clear();
        }
        if (!fenetre::fermeEtDetruit(m))
            probleme("the context menu was not deleted");
    }

    // Chooses up to three of the files (or cancels) in the real dialog.
    void explore(const std::vector<size_t> &choix)
    {
        fenetre::repondra<QFileDialog>([&](QFileDialog *d) {
            if (choix.empty()) {
                d->reject();
                return true;
            }
            d->setDirectory(dossier);
            QStringList cites;
            for (size_t i : choix)
                cites << "\"" + fichiers[i].nom + "\"";
            d->findChild<QLineEdit *>("fileNameEdit")->setText(cites.join(' '));
            QMetaObject::invokeMethod(d, "accept");
            return true;
        });
        QtMessageHandler avant =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        EXPECT_TRUE(fenetre::declenche(*v, "&Explorer"));
        fenetre::attendsChargement(*v);
        qInstallMessageHandler(avant);
        if (choix.empty()) {
            ++comptes["Explorer cancelled"];
            return;
        }
        ++comptes["Explorer, " + std::to_string(choix.size()) + " files"];
        noms.clear();
        QStringList attendues;
        for (size_t i : choix) {
            ++comptes[fichiers[i].lu ? "file loaded" : "file refused"];
            if (fichiers[i].lu) {
                attendues << fichiers[i].courbes;
                legende = fichiers[i].courbes.size() < 30;
            }
        }
        if (p->plottableCount() != attendues.size()) {
            probleme(QString("%1 curves loaded, %2 expected")
                         .arg(p->plottableCount())
                         .arg(attendues.size()));
            return;
        }
        for (int i = 0; i < p->plottableCount(); ++i)
            noms[p->plottable(i)] = attendues[i];
        plusDeCourbes = std::max(plusDeCourbes, p->plottableCount());
    }

    void explorer()
    {
        // Distinct files: the dialog would give a file named twice once.
        std::vector<size_t> choix;
        if (nombre(8) != 0) {
            std::vector<size_t> tous;
            for (size_t i = 0; i < fichiers.size(); ++i)
                tous.push_back(i);
            for (int n = 1 + nombre(3); n > 0; --n) {
                const int k = nombre(tous.size());
                choix.push_back(tous[k]);
                tous.erase(tous.begin() + k);
            }
        }
        explore(choix);
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

    void probleme(const QString &texte)
    {
        if (echec.isEmpty())
            echec = texte;
    }

    bool verifie()
    {
        const QString legendes = legendeIncoherente(p, ++verifications % 5 == 0);
        if (!legendes.isEmpty())
            probleme(legendes);
        if (static_cast<int>(noms.size()) != p->plottableCount())
            probleme(QString("%1 curves, %2 expected").arg(p->plottableCount()).arg(noms.size()));
        for (int i = 0; i < p->plottableCount(); ++i) {
            auto nom = noms.find(p->plottable(i));
            if (nom == noms.end() || nom->second != nomDe(p->plottable(i)))
                probleme("curve " + QString::number(i) + " is named '" + nomDe(p->plottable(i)) +
                         "'");
        }
        if (p->legend->visible() != legende)
            probleme("the legend is " + QString(legende ? "hidden" : "shown"));
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
        if (verifications % 25 == 0 && !fenetre::commeLaBibliotheque(*v, p))
            probleme("the map's picture differs from the library's");
        return echec.isEmpty();
    }

    std::mt19937 alea;
    QString dossier;
    std::vector<Fichier> fichiers;
    std::unique_ptr<KaluView> v = fenetre::nouvelle();
    QCustomPlot *p = fenetre::plot(*v);
    std::map<QCPAbstractPlottable *, QString> noms; // every curve and its name
    bool legende = false;
    QString sousTitre;
};

TEST(Soak, ARandomSessionLeavesTheWindowCoherent)
{
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    const int evenements = entier("KALU_SOAK_EVENTS", 1000);
    const unsigned graine = static_cast<unsigned>(entier("KALU_SOAK_SEED", 17));
    Session s(graine);
    ASSERT_TRUE(s.echec.isEmpty()) << s.echec.toStdString();
    int n = 0;
    while (n < evenements && s.evenement())
        ++n;
    EXPECT_EQ(n, evenements) << "seed " << graine << ", after event " << n + 1 << ": "
                             << s.echec.toStdString();

    std::printf("soak: seed %u, %d events, at most %d curves, %d drawing jobs cancelled\n", graine,
                n, s.plusDeCourbes, s.travauxAnnules());
    for (const auto &c : s.comptes)
        std::printf("  %-36s %d\n", c.first.c_str(), c.second);
}

} // namespace
