// SPDX-License-Identifier: GPL-3.0-or-later
// kalu-export: draws shapefiles as the viewer does after an Explorer choice
// of the same files, and writes the picture to a PNG, JPEG, BMP or PDF file.
// It needs no display: without one it runs on Qt's offscreen platform.
//
//   kalu-export [--size WxH] [--verbose] OUTPUT FILE.shp...
//
// Scripts run it: by default it prints only errors and warnings, and every
// one of them that concerns an input names that input; --verbose prints the
// viewer's whole trace as well.
//
// Exit status 0 when OUTPUT was written with at least one shape drawn, 1
// when an input is missing, not a regular file or unreadable, OUTPUT cannot
// be written (both found before anything is loaded), or nothing could be
// drawn (every input rejected by the reader, empty, or without a point the
// plot can place); nothing is then left at OUTPUT's path. 2 for a malformed
// command line.
#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/stat.h>

#include "kalucarte.h"
#include "kalutirage.h"
#include "kaluview.h"
#include "zolconf.h"

static const char KLUSRC[] = "../kalu/kalu-export.cpp";

static const char USAGE[] =
    "usage: kalu-export [--size WxH] [--verbose] OUTPUT FILE.shp...\n"
    "Draws the shapefiles as Kalu's Explorer does and writes OUTPUT, whose\n"
    "extension picks the format: .png, .jpg, .bmp or .pdf. Default size 800x600.\n"
    "Prints only errors and warnings, each naming the file it concerns;\n"
    "--verbose (or -v) prints every trace line as well.\n";

// Qt's handler of messages, to which filtreQt passes every other message.
static QtMessageHandler messagesQt = nullptr;

// Without XDG_RUNTIME_DIR (as root, in CI, in a bare container) Qt warns on
// stderr and takes a directory of its own: nothing the user can act on, and
// the scripts that read stderr expect only kalu-export's reports.
static void filtreQt(QtMsgType type, const QMessageLogContext &contexte, const QString &message)
{
    if (type == QtWarningMsg &&
        message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    messagesQt(type, contexte, message);
}

// Largest side accepted: keeps a typing slip from asking for gigabytes.
static const int COTE_MAX = 10000;

enum Format { INCONNU, PNG, JPG, BMP, PDF };

struct Demande {
    int largeur = 800;
    int hauteur = 600;
    const char *sortie = nullptr;
    Format format = INCONNU;
    bool bavard = false;
    QStringList entrees;
};

static Format formatDe(const char *sortie)
{
    const QString suffixe = QFileInfo(QString::fromLocal8Bit(sortie)).suffix().toLower();
    if (suffixe == "png")
        return PNG;
    if (suffixe == "jpg")
        return JPG;
    if (suffixe == "bmp")
        return BMP;
    if (suffixe == "pdf")
        return PDF;
    return INCONNU;
}

// A whole number of 1 to 5 digits at *p, which moves past it.
static bool lisEntier(const char *&p, int &v)
{
    v = 0;
    int chiffres = 0;
    for (; *p >= '0' && *p <= '9' && chiffres < 6; ++p, ++chiffres)
        v = v * 10 + (*p - '0');
    return chiffres >= 1 && chiffres <= 5;
}

// "WxH", both whole numbers from 1 to COTE_MAX, nothing else (no sign, no
// blank).
static bool lisTaille(const char *texte, int &largeur, int &hauteur)
{
    int l = 0, h = 0;
    const char *p = texte;
    if (!lisEntier(p, l) || *p++ != 'x' || !lisEntier(p, h) || *p != '\0')
        return false;
    if (l < 1 || h < 1 || l > COTE_MAX || h > COTE_MAX)
        return false;
    largeur = l;
    hauteur = h;
    return true;
}

// 0 with `d` filled; 2 after reporting a malformed command line.
static int lisArguments(int argc, char **argv, Demande &d)
{
    int i = 1;
    for (; i < argc; ++i) {
        if (std::strcmp(argv[i], "--verbose") == 0 || std::strcmp(argv[i], "-v") == 0) {
            d.bavard = true;
        } else if (std::strcmp(argv[i], "--size") == 0) {
            if (i + 1 >= argc || !lisTaille(argv[i + 1], d.largeur, d.hauteur)) {
                zolerreur(KLUSRC, "main", nullptr, "--size wants WxH, from 1x1 to %dx%d!\n",
                          COTE_MAX, COTE_MAX);
                return 2;
            }
            ++i;
        } else {
            break;
        }
    }
    if (argc - i < 2) {
        zolerreur(KLUSRC, "main", nullptr, "an output and at least one shapefile are needed!\n");
        std::fputs(USAGE, stderr);
        return 2;
    }
    d.sortie = argv[i++];
    d.format = formatDe(d.sortie);
    if (d.format == INCONNU) {
        zolerreur(KLUSRC, "main", nullptr,
                  "output '%s' has no known extension (.png, .jpg, .bmp or .pdf)!\n", d.sortie);
        return 2;
    }
    for (; i < argc; ++i)
        d.entrees << QString::fromLocal8Bit(argv[i]);
    return 0;
}

// Every input must be a readable regular file before anything is drawn: a
// typing slip then costs no picture, and a FIFO or a device is not waited
// on. 0, or 1 after reporting the first bad one.
static int verifieEntrees(const QStringList &entrees)
{
    for (const QString &e : entrees) {
        const QFileInfo f(e);
        struct stat st;
        if (stat(QFile::encodeName(e).constData(), &st) != 0) {
            zolerreur(KLUSRC, "main", nullptr, "No file at path '%s'!\n",
                      e.toLocal8Bit().constData());
            return 1;
        }
        if (!S_ISREG(st.st_mode)) {
            zolerreur(KLUSRC, "main", nullptr, "Input '%s' is not a regular file!\n",
                      e.toLocal8Bit().constData());
            return 1;
        }
        if (!f.isReadable()) {
            zolerreur(KLUSRC, "main", nullptr, "File '%s' is not readable!\n",
                      e.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}

// The picture is first written beside OUTPUT under this name.
static QString modeleTemporaire(const Demande &d)
{
    const QFileInfo sortie(QString::fromLocal8Bit(d.sortie));
    return sortie.absolutePath() + "/.kalu-export-XXXXXX." + sortie.suffix();
}

// OUTPUT's place is tried before anything is loaded: a big map is not read
// for a picture that could not be kept. Something other than a regular file
// at OUTPUT's path (a directory, a device) is never replaced. 0, or 1 after
// the report.
static int verifieSortie(const Demande &d)
{
    struct stat st;
    if (stat(d.sortie, &st) == 0 && !S_ISREG(st.st_mode)) {
        zolerreur(KLUSRC, "main", nullptr, "cannot write '%s': not a regular file!\n", d.sortie);
        return 1;
    }
    QTemporaryFile essai(modeleTemporaire(d));
    if (!essai.open()) {
        zolerreur(KLUSRC, "main", nullptr, "cannot write '%s': %s!\n", d.sortie,
                  essai.errorString().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

// The map draws the curves, as in the viewer's replots; without curves,
// the parts read.
static bool enregistre(QCustomPlot *plot, Carte *carte, Tirage *tirage, const QString &chemin,
                       const Demande &d)
{
    std::unique_ptr<Tirage::Pose> pose;
    std::unique_ptr<Carte::Pret> pret;
    if (tirage)
        pose.reset(new Tirage::Pose(*tirage));
    else
        pret.reset(new Carte::Pret(carte));
    switch (d.format) {
    case PNG:
        return plot->savePng(chemin, d.largeur, d.hauteur);
    case JPG:
        return plot->saveJpg(chemin, d.largeur, d.hauteur);
    case BMP:
        return plot->saveBmp(chemin, d.largeur, d.hauteur);
    case PDF:
        return plot->savePdf(chemin, d.largeur, d.hauteur);
    case INCONNU:
        break;
    }
    return false;
}

// Writes the picture beside OUTPUT under a temporary name, then renames it:
// OUTPUT is either the whole picture or untouched.
static int ecrit(QCustomPlot *plot, Carte *carte, Tirage *tirage, const Demande &d)
{
    QTemporaryFile temporaire(modeleTemporaire(d));
    if (!temporaire.open()) {
        zolerreur(KLUSRC, "main", nullptr, "cannot write '%s': %s!\n", d.sortie,
                  temporaire.errorString().toLocal8Bit().constData());
        return 1;
    }
    temporaire.close();
    // The temporary file is private (0600); the picture gets the usual
    // permissions of a new file.
    const mode_t masque = umask(0);
    umask(masque);
    const QByteArray nom = QFile::encodeName(temporaire.fileName());
    if (!enregistre(plot, carte, tirage, temporaire.fileName(), d) ||
        chmod(nom.constData(), 0666 & ~masque) != 0 ||
        std::rename(nom.constData(), d.sortie) != 0) {
        zolerreur(KLUSRC, "main", nullptr, "cannot write '%s'!\n", d.sortie);
        return 1;
    }
    temporaire.setAutoRemove(false);
    return 0;
}

// A raster picture needs the parts' data, not a curve for each: `tirage`
// reads them. A PDF gets the window's load, its curves (`tirage` null).
static void charge(KaluView &view, Tirage *tirage, const Demande &d)
{
    QEventLoop attente;
    if (tirage) {
        QObject::connect(tirage, &Tirage::termine, &attente, &QEventLoop::quit);
        tirage->lis(d.entrees);
    } else {
        QObject::connect(&view, &KaluView::chargementFini, &attente, &QEventLoop::quit);
        view.chargeShapefiles(d.entrees, false);
        if (!view.chargeEnCours())
            return;
    }
    attente.exec();
}

// The reader does not name the file in most of its reports: a file skipped
// is named right after them, with the window's reason. A memory refusal
// names the file itself, and says why.
static void signaleRefus(const QString &fichier, Chargement::Refus refus)
{
    const QByteArray nom = fichier.toLocal8Bit();
    if (refus == Chargement::Refus::Illisible) {
        zolerreur(KLUSRC, "main", nullptr, "File '%s' skipped: it could not be read!\n",
                  nom.constData());
    } else if (refus == Chargement::Refus::TypeNonDessine) {
        const QString type =
            Chargement::nomDuType(Chargement::typeDeclare(fichier.toUtf8().toStdString()));
        zolerreur(KLUSRC, "main", nullptr, "File '%s' skipped: %s shapes are not drawn!\n",
                  nom.constData(), type.toLocal8Bit().constData());
    }
}

int main(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    Demande d;
    if (int r = lisArguments(argc, argv, d))
        return r;
    // Errors and warnings are always written; the rest only on demand.
    zolsourdine(!d.bavard);
    if (int r = verifieEntrees(d.entrees))
        return r;
    if (int r = verifieSortie(d))
        return r;

    // No display to talk to: draw in memory, on Qt's offscreen platform.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    messagesQt = qInstallMessageHandler(filtreQt);
    QApplication app(argc, argv);

    // The window is never shown: its plot gets the picture's size directly,
    // is laid out for it and equalised once, as the viewer is at start-up.
    KaluView view(nullptr);
    QCustomPlot *plot = view.plot();
    plot->resize(d.largeur, d.hauteur);
    plot->setViewport(plot->rect());
    plot->replot();
    view.adjustEqualScale();

    const std::unique_ptr<Tirage> tirage(
        d.format != PDF ? new Tirage(plot, view.carteDuPlot(), view.temoin(), view.habitsCourbes())
                        : nullptr);
    // Each file whose load reported anything is named right after those
    // reports. The files read that gave parts are kept to be named should
    // none of their points be placed.
    long signales = zolsignalements();
    size_t parties = 0;
    QStringList avecParties;
    QObject::connect(&view, &KaluView::fichierCharge, [&](const QString &fichier, bool lu) {
        if (!lu)
            signaleRefus(fichier, tirage ? tirage->refus() : view.refusFichier());
        else if (zolsignalements() != signales)
            zolavis(KLUSRC, "main", nullptr, "File '%s' read, with the warnings above!\n",
                    fichier.toLocal8Bit().constData());
        signales = zolsignalements();
        const size_t avant = parties;
        parties = tirage ? tirage->parties() : size_t(plot->plottableCount());
        if (lu && parties > avant)
            avecParties << fichier;
    });
    charge(view, tirage.get(), d);
    // Every input rejected by the reader, read but empty, or without a point
    // that can be placed (NaN, infinite, 1e308): no picture.
    if (!(tirage ? tirage->placees() : view.carteDuPlot()->etendue().trouvee)) {
        for (const QString &f : avecParties)
            zolerreur(KLUSRC, "main", nullptr,
                      "File '%s' has no point that can be drawn (NaN, infinite or too large "
                      "coordinates)!\n",
                      f.toLocal8Bit().constData());
        zolerreur(KLUSRC, "main", nullptr, "no shape could be drawn, nothing written!\n");
        return 1;
    }
    if (int r = ecrit(plot, view.carteDuPlot(),
                      tirage && !tirage->avecCourbes() ? tirage.get() : nullptr, d))
        return r;
    zolmessage("%s written (%dx%d)\n", d.sortie, d.largeur, d.hauteur);
    // The picture is written and nothing else is: freeing a big map's
    // curves one by one would only make the process end later.
    std::fflush(nullptr);
    std::_Exit(0);
}
