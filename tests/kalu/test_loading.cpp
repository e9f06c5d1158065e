// SPDX-License-Identifier: GPL-3.0-or-later
// Loading shapefiles into the plot: the window's load on generated files,
// and the Explorer action through the real file dialog answered from a
// timer.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QStatusBar>

#include <string>
#include <vector>

#include "capture.h"
#include "explorateur.h"
#include "fenetre.h"
#include "modal.h"
#include "shpwriter.h"

namespace
{

const QColor BLEU(0, 102, 255), ORANGE(255, 153, 0), VERT(0, 204, 0), VERT_FOND(0, 204, 0, 85),
    ROSE(255, 51, 255), ROSE_FOND(255, 51, 255, 85);

shp::Part ligne(int n, double x0, double y0)
{
    shp::Part p;
    for (int k = 0; k < n; ++k)
        p.push_back({x0 + k, y0 + 0.5 * k});
    return p;
}

// Writes a shapefile under the scratch directory; returns its path.
std::string ecrit(const std::string &nom, const shp::Bytes &b)
{
    std::string chemin = shp::scratchPath(nom);
    EXPECT_TRUE(shp::write(chemin, b)) << chemin;
    return chemin;
}

// Loads the files as the Explorer does its choice; returns what the loader
// wrote, without the Explorer's own lines around it (the count of files
// before, the equal-scale figures after).
Sorties charge(KaluView &v, const std::vector<std::string> &chemins)
{
    Sorties s = fenetre::charge(v, chemins);
    const std::string compte = "Nombre fichiers *.shp : " + std::to_string(chemins.size()) + "\n";
    const size_t echelle = s.out.find("ui->customPlot->width()=");
    if (s.out.rfind(compte, 0) != 0 || echelle == std::string::npos) {
        ADD_FAILURE() << s.out;
        return s;
    }
    s.out = s.out.substr(compte.size(), echelle - compte.size());
    return s;
}

Sorties charge(KaluView &v, const std::string &chemin)
{
    return charge(v, std::vector<std::string>{chemin});
}

QCPCurve *courbe(KaluView &v, int i)
{
    return qobject_cast<QCPCurve *>(fenetre::plot(v)->plottable(i));
}

QStringList noms(KaluView &v)
{
    QStringList n;
    for (int i = 0; i < fenetre::plot(v)->plottableCount(); ++i)
        n << nomDe(fenetre::plot(v)->plottable(i));
    return n;
}

std::vector<QPointF> points(QCPCurve *c)
{
    std::vector<QPointF> p;
    int t = 0;
    for (auto it = c->data()->constBegin(); it != c->data()->constEnd(); ++it) {
        EXPECT_EQ(it->t, t++);
        p.push_back({it->key, it->value});
    }
    return p;
}

std::vector<QPointF> attendus(const shp::Part &part)
{
    std::vector<QPointF> p;
    for (const shp::Point &pt : part)
        p.push_back({pt.first, pt.second});
    return p;
}

// Callers that go through the meta-object name the parameter's type so.
TEST(Chargeur, TheSlotsSignatureNamesTheTypeString)
{
    EXPECT_GE(KaluView::staticMetaObject.indexOfSlot("fscanshp_cpt(string)"), 0);
}

TEST(Chargeur, OneCurvePerPartNamedAndFilledAsStored)
{
    auto v = fenetre::nouvelle();
    const std::vector<shp::Record> recs = {{3, {ligne(2, 0, 0)}},
                                           {5, {ligne(4, 1, 1), ligne(3, 5, 5), ligne(2, 9, 9)}}};
    std::string chemin = ecrit("deux.shp", shp::file(3, recs));
    Sorties s = charge(*v, chemin);
    EXPECT_EQ(s.err, "");
    EXPECT_EQ(s.out, "rcdi=0, partn=1\nparti=0\nrcdi=1, partn=3\nparti=0\nparti=1\nparti=2\n");

    ASSERT_EQ(noms(*v), (QStringList{"shp[0][0]", "shp[1][0]", "shp[1][1]", "shp[1][2]"}));
    EXPECT_EQ(points(courbe(*v, 0)), attendus(recs[0].parts[0]));
    for (int p = 0; p < 3; ++p)
        EXPECT_EQ(points(courbe(*v, 1 + p)), attendus(recs[1].parts[p]));
    EXPECT_EQ(fenetre::titre(*v)->text(), QString("Shapefile: '%1'").arg(chemin.c_str()));
    EXPECT_TRUE(fenetre::plot(*v)->legend->visible());
    EXPECT_EQ(fenetre::plot(*v)->legend->itemCount(), 4);
}

TEST(Chargeur, LinesBlueUnfilledPolygonsGreenTranslucent)
{
    auto v = fenetre::nouvelle();
    charge(*v, ecrit("types.shp", shp::file(5, {{3, {ligne(2, 0, 0)}}, {5, {ligne(4, 0, 0)}}})));
    QCPCurve *l = courbe(*v, 0), *p = courbe(*v, 1);
    ASSERT_TRUE(l && p);
    EXPECT_EQ(l->pen(), QPen(BLEU));
    EXPECT_EQ(l->brush().style(), Qt::NoBrush);
    EXPECT_EQ(l->selectionDecorator()->pen(), QPen(ORANGE));
    EXPECT_EQ(l->selectionDecorator()->brush().style(), Qt::NoBrush);
    EXPECT_EQ(p->pen(), QPen(VERT));
    EXPECT_EQ(p->brush(), QBrush(VERT_FOND, Qt::SolidPattern));
    EXPECT_EQ(p->selectionDecorator()->pen(), QPen(ROSE));
    EXPECT_EQ(p->selectionDecorator()->brush(), QBrush(ROSE_FOND, Qt::SolidPattern));
    EXPECT_EQ(l->lineStyle(), QCPCurve::lsLine);
    EXPECT_EQ(p->scatterStyle().shape(), QCPScatterStyle::ssNone);
}

TEST(Chargeur, LegendShownForTwentyNineCurvesHiddenForThirty)
{
    for (int parts : {29, 30}) {
        // Spread over records of 4 parts and a last smaller one.
        std::vector<shp::Record> recs;
        for (int restant = parts; restant > 0; restant -= 4) {
            shp::Record r{3, {}};
            for (int k = 0; k < std::min(4, restant); ++k)
                r.parts.push_back(ligne(2, k, restant));
            recs.push_back(r);
        }
        auto v = fenetre::nouvelle();
        charge(*v, ecrit("legende.shp", shp::file(3, recs)));
        EXPECT_EQ(fenetre::plot(*v)->plottableCount(), parts);
        EXPECT_EQ(fenetre::plot(*v)->legend->visible(), parts < 30) << parts;
    }
}

TEST(Chargeur, EmptyFileChangesTitleAndShowsLegend)
{
    auto v = fenetre::nouvelle();
    std::string chemin = ecrit("vide.shp", shp::file(3, {}));
    Sorties s = charge(*v, chemin);
    EXPECT_EQ(s.out + s.err, "");
    EXPECT_EQ(fenetre::plot(*v)->plottableCount(), 0);
    EXPECT_EQ(fenetre::titre(*v)->text(), QString("Shapefile: '%1'").arg(chemin.c_str()));
    EXPECT_TRUE(fenetre::plot(*v)->legend->visible());
}

// A file that fails after another leaves that one's title and curves.
TEST(Chargeur, FailingFileLeavesTitleAndCurves)
{
    auto v = fenetre::nouvelle();
    std::string bon = ecrit("bon.shp", shp::file(3, {{3, {ligne(3, 0, 0)}}}));
    shp::Bytes b = shp::file(1, {});
    Sorties s = charge(*v, std::vector<std::string>{bon, ecrit("points.shp", b)});
    EXPECT_EQ(s.err, "[<../src/zolshp.cpp.fscan_shp>] invalid file shape type '1'!\n"
                     "[<../kalu/kaluview.cpp.fscanshp_cpt>] erreur fscan_shp()!\n");
    EXPECT_EQ(noms(*v), QStringList{"shp[0][0]"});
    EXPECT_EQ(fenetre::titre(*v)->text(), QString("Shapefile: '%1'").arg(bon.c_str()));
}

TEST(Chargeur, UnicodePathShownAsText)
{
    auto v = fenetre::nouvelle();
    std::string chemin = ecrit("côte-d'émeraude.shp", shp::file(3, {{3, {ligne(2, 0, 0)}}}));
    charge(*v, chemin);
    EXPECT_EQ(fenetre::titre(*v)->text(),
              QString::fromUtf8("Shapefile: '%1'").arg(QString::fromUtf8(chemin.c_str())));
}

// ---- Explorer -------------------------------------------------------------

class Explorer : public ::testing::Test
{
  protected:
    static void SetUpTestSuite() { QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }

    // Opens the Explorer dialog and, from a timer, chooses `fichiers` (names
    // under `dossier`) or cancels when the list is empty. Returns the trace.
    Sorties explore(const QStringList &fichiers, const QString &dossier = scratch())
    {
        fenetre::repondra<QFileDialog>([&](QFileDialog *d) {
            dialogues++;
            depart = d->directory().absolutePath();
            fileMode = d->fileMode();
            if (fichiers.isEmpty()) {
                d->reject();
                return true;
            }
            fenetre::choisit(d, dossier, fichiers);
            return true;
        });
        return fenetre::exploreEtAttends(*v);
    }

    static QString scratch() { return QString::fromUtf8(shp::scratchPath("").c_str()); }

    std::unique_ptr<KaluView> v = fenetre::nouvelle();
    QCustomPlot *p = fenetre::plot(*v);
    int dialogues = 0;
    QString depart;
    QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
};

// First: later dialogs of the process open where the last one was left.
TEST_F(Explorer, OpensInTheCurrentDirectory)
{
    explore({});
    EXPECT_EQ(depart, QDir::currentPath());
}

TEST_F(Explorer, TwoFilesThenOneReplacesThem)
{
    ecrit("a.shp", shp::file(3, {{3, {ligne(2, 10, 40)}}, {3, {ligne(3, 12, 41)}}}));
    ecrit("b.shp", shp::file(5, {{5, {ligne(4, 20, 45), ligne(3, 22, 46)}}}));
    v->show();
    ASSERT_TRUE(fenetre::fixeAxisRect(*v, 400, 300));

    Sorties s = explore({"a.shp", "b.shp"});
    EXPECT_EQ(dialogues, 1);
    EXPECT_EQ(fileMode, QFileDialog::ExistingFiles);
    EXPECT_EQ(s.out.rfind("Nombre fichiers *.shp : 2\n", 0), 0u) << s.out;
    EXPECT_EQ(s.err, "");
    EXPECT_EQ(noms(*v), (QStringList{"shp[0][0]", "shp[1][0]", "shp[0][0]", "shp[0][1]"}));
    EXPECT_EQ(fenetre::titre(*v)->text(),
              QString("Shapefile: '%1'").arg(QDir(scratch()).filePath("b.shp")));
    // Framed: every point inside the ranges, at equal scale.
    EXPECT_LE(p->xAxis->range().lower, 10);
    EXPECT_GE(p->xAxis->range().upper, 24);
    EXPECT_LE(p->yAxis->range().lower, 40);
    EXPECT_GE(p->yAxis->range().upper, 47.5);
    // Equal on the axis rectangle as drawn, tick labels and title included.
    const double ux = p->xAxis->range().size() / p->axisRect()->width();
    const double uy = p->yAxis->range().size() / p->axisRect()->height();
    EXPECT_NEAR(ux / uy, 1.0, 0.001);

    explore({"b.shp"});
    EXPECT_EQ(noms(*v), (QStringList{"shp[0][0]", "shp[0][1]"}));
    EXPECT_EQ(p->legend->itemCount(), 2);
}

TEST_F(Explorer, ABrokenFileIsSkippedTheOthersLoad)
{
    ecrit("a.shp", shp::file(3, {{3, {ligne(2, 10, 40)}}}));
    ecrit("casse.shp", shp::Bytes{1, 2, 3});
    ecrit("c.shp", shp::file(3, {{3, {ligne(2, 0, 0)}}}));
    Sorties s = explore({"a.shp", "casse.shp", "c.shp"});
    EXPECT_EQ(s.out.rfind("Nombre fichiers *.shp : 3\n", 0), 0u) << s.out;
    EXPECT_NE(s.err.find("erreur fscan_shp()!"), std::string::npos);
    EXPECT_EQ(p->plottableCount(), 2);
    EXPECT_EQ(fenetre::titre(*v)->text(),
              QString("Shapefile: '%1'").arg(QDir(scratch()).filePath("c.shp")));
}

TEST_F(Explorer, CancelShowsNafAndChangesNothing)
{
    ecrit("a.shp", shp::file(3, {{3, {ligne(2, 10, 40)}}}));
    explore({"a.shp"});
    const QCPRange x = p->xAxis->range(), y = p->yAxis->range();
    const QString titre = fenetre::titre(*v)->text();
    for (int fois = 0; fois < 2; ++fois) {
        Sorties s = explore({});
        EXPECT_EQ(s.out + s.err, "");
        EXPECT_EQ(v->statusBar()->currentMessage(), "naf");
        EXPECT_EQ(noms(*v), QStringList{"shp[0][0]"});
        EXPECT_EQ(p->xAxis->range(), x);
        EXPECT_EQ(p->yAxis->range(), y);
        EXPECT_EQ(fenetre::titre(*v)->text(), titre);
    }
}

// The committed samples, loaded as a user would: lines blue, polygons green
// and translucent. The screenshot is for a human eye.
TEST_F(Explorer, SamplesScreenshot)
{
    const QString exemples = QString(KALU_SOURCE_DIR) + "/examples";
    v->resize(900, 700);
    v->show();
    QApplication::processEvents();
    Sorties s = explore({"bretagne.shp", "rivieres.shp", "archipel.shp"}, exemples);
    EXPECT_EQ(s.err, "");
    EXPECT_EQ(noms(*v), (QStringList{"shp[0][0]", "shp[1][0]", "shp[2][0]", // bretagne
                                     "shp[0][0]", "shp[1][0]", "shp[2][0]", // rivieres
                                     "shp[0][0]", "shp[0][1]", "shp[0][2]", // archipel
                                     "shp[1][0]", "shp[1][1]"}));
    EXPECT_EQ(courbe(*v, 0)->brush(), QBrush(VERT_FOND, Qt::SolidPattern));
    EXPECT_EQ(courbe(*v, 3)->pen(), QPen(BLEU));
    EXPECT_EQ(courbe(*v, 3)->brush().style(), Qt::NoBrush);

    const QImage image = v->grab().toImage();
    int bleus = 0, verts = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            bleus += c == BLEU;
            // Green at a third of its strength over the white background.
            verts +=
                qAbs(c.red() - 170) <= 2 && qAbs(c.green() - 238) <= 2 && qAbs(c.blue() - 170) <= 2;
        }
    EXPECT_GT(bleus, 50);
    EXPECT_GT(verts, 1000);
    fenetre::capture(*v, "examples");
}

} // namespace
