// SPDX-License-Identifier: GPL-3.0-or-later
// The user's mouse work on the map: axis selection, drag and wheel, curve and
// legend selection, the double-click dialogs and the point read-out. Every
// gesture is a real mouse event at a pixel taken from the plot's geometry.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include <functional>

#include "carte.h"
#include "zolconf.h"

namespace
{

using fenetre::Repondeur;

const QCPAxis::SelectableParts LIGNE = QCPAxis::spAxis | QCPAxis::spTickLabels;

bool contient(const std::string &texte, const char *morceau)
{
    return texte.find(morceau) != std::string::npos;
}

// ---- Axis selection ------------------------------------------------------

class SelectionAxes : public fenetre::PetiteCarte
{
};

TEST_F(SelectionAxes, BottomAndTopAreSelectedTogether)
{
    const QPoint etiquettes = fenetre::pixelAxe(p->xAxis, QCPAxis::spTickLabels);
    ASSERT_NE(etiquettes, QPoint(-1, -1));
    fenetre::clic(p, etiquettes);
    EXPECT_EQ(p->xAxis->selectedParts(), LIGNE);
    EXPECT_EQ(p->xAxis2->selectedParts(), LIGNE);
    EXPECT_EQ(p->yAxis->selectedParts(), QCPAxis::spNone);
    EXPECT_EQ(p->yAxis2->selectedParts(), QCPAxis::spNone);

    // The top axis is only a frame, but selecting it selects the bottom one.
    fenetre::clic(p, vide());
    EXPECT_EQ(p->xAxis->selectedParts(), QCPAxis::spNone);
    fenetre::clic(p, fenetre::pixelAxe(p->xAxis2, QCPAxis::spAxis));
    EXPECT_EQ(p->xAxis2->selectedParts(), LIGNE);
    EXPECT_EQ(p->xAxis->selectedParts(), LIGNE);
    EXPECT_EQ(p->yAxis->selectedParts(), QCPAxis::spNone);
}

TEST_F(SelectionAxes, LeftAndRightAreSelectedTogether)
{
    fenetre::clic(p, fenetre::pixelAxe(p->yAxis, QCPAxis::spAxis));
    EXPECT_EQ(p->yAxis->selectedParts(), LIGNE);
    EXPECT_EQ(p->yAxis2->selectedParts(), LIGNE);
    EXPECT_EQ(p->xAxis->selectedParts(), QCPAxis::spNone);

    fenetre::clic(p, vide());
    fenetre::clic(p, fenetre::pixelAxe(p->yAxis2, QCPAxis::spAxis));
    EXPECT_EQ(p->yAxis->selectedParts(), LIGNE);
    EXPECT_EQ(p->yAxis2->selectedParts(), LIGNE);
}

TEST_F(SelectionAxes, TheLabelStaysSelectableOnItsOwn)
{
    const QPoint etiquette = fenetre::pixelAxe(p->xAxis, QCPAxis::spAxisLabel);
    ASSERT_NE(etiquette, QPoint(-1, -1));
    fenetre::clic(p, etiquette);
    EXPECT_EQ(p->xAxis->selectedParts(), QCPAxis::spAxisLabel);
    EXPECT_EQ(p->xAxis2->selectedParts(), QCPAxis::spNone);

    fenetre::clic(p, fenetre::pixelAxe(p->yAxis, QCPAxis::spAxisLabel));
    EXPECT_EQ(p->yAxis->selectedParts(), QCPAxis::spAxisLabel);
    EXPECT_EQ(p->yAxis2->selectedParts(), QCPAxis::spNone);
    EXPECT_EQ(p->xAxis->selectedParts(), QCPAxis::spNone);
}

TEST_F(SelectionAxes, EachSelectionChangeIsTracedInAndOut)
{
    const int profondeur = zolprofondeur();
    Capture c;
    fenetre::clic(p, fenetre::pixelAxe(p->yAxis, QCPAxis::spAxis));
    Sorties s = c.fin();
    EXPECT_TRUE(contient(s.out, "[>../kalu/kaluview.cpp.selectionChanged]\n")) << s.out;
    EXPECT_TRUE(contient(s.out, "[<../kalu/kaluview.cpp.selectionChanged]\n")) << s.out;
    EXPECT_EQ(zolprofondeur(), profondeur);
    EXPECT_EQ(s.err, "");
}

// ---- Drag and wheel --------------------------------------------------------
// Dragging by (dx, dy) pixels shifts a range by the pixels' worth of data;
// one wheel notch towards the screen scales a range by the plot's zoom
// factor (0.85). The top and right axes must follow the bottom and left.

class GlisseEtZoom : public fenetre::PetiteCarte
{
  protected:
    static constexpr int DX = 80, DY = 60;

    // Range shift that a drag of DX (DY) pixels gives on the bottom (left) axis.
    double decalageX() { return DX * p->xAxis->range().size() / p->axisRect()->width(); }
    double decalageY() { return DY * p->yAxis->range().size() / p->axisRect()->height(); }

    void glisse() { fenetre::glisse(p, vide(), vide() + QPoint(DX, DY)); }

    void suiventLesJumelles()
    {
        EXPECT_EQ(p->xAxis2->range(), p->xAxis->range());
        EXPECT_EQ(p->yAxis2->range(), p->yAxis->range());
    }
};

TEST_F(GlisseEtZoom, BottomAxisSelectedActsHorizontallyOnly)
{
    fenetre::clic(p, fenetre::pixelAxe(p->xAxis, QCPAxis::spAxis));
    ASSERT_EQ(p->xAxis->selectedParts(), LIGNE);
    const double dx = decalageX();
    glisse();
    EXPECT_NEAR(p->xAxis->range().lower, -dx, 1e-9);
    EXPECT_NEAR(p->xAxis->range().upper, 10 - dx, 1e-9);
    EXPECT_EQ(p->yAxis->range(), QCPRange(0, 10));
    suiventLesJumelles();

    fenetre::molette(p, vide(), 1);
    EXPECT_NEAR(p->xAxis->range().size(), 8.5, 1e-9);
    EXPECT_EQ(p->yAxis->range(), QCPRange(0, 10));
    suiventLesJumelles();
    EXPECT_EQ(p->xAxis->selectedParts(), LIGNE);
}

TEST_F(GlisseEtZoom, LeftAxisSelectedActsVerticallyOnly)
{
    fenetre::clic(p, fenetre::pixelAxe(p->yAxis, QCPAxis::spTickLabels));
    ASSERT_EQ(p->yAxis->selectedParts(), LIGNE);
    const double dy = decalageY();
    glisse();
    EXPECT_EQ(p->xAxis->range(), QCPRange(0, 10));
    // Dragging downwards brings higher latitudes into view.
    EXPECT_NEAR(p->yAxis->range().lower, dy, 1e-9);
    EXPECT_NEAR(p->yAxis->range().upper, 10 + dy, 1e-9);
    suiventLesJumelles();

    fenetre::molette(p, vide(), -1);
    EXPECT_EQ(p->xAxis->range(), QCPRange(0, 10));
    EXPECT_NEAR(p->yAxis->range().size(), 10 / 0.85, 1e-9);
    suiventLesJumelles();
}

TEST_F(GlisseEtZoom, NoAxisSelectedActsInBothDirections)
{
    // An axis selected then deselected must not leave its direction behind.
    fenetre::clic(p, fenetre::pixelAxe(p->xAxis, QCPAxis::spAxis));
    fenetre::clic(p, vide());
    ASSERT_EQ(p->xAxis->selectedParts(), QCPAxis::spNone);
    const double dx = decalageX(), dy = decalageY();
    glisse();
    EXPECT_NEAR(p->xAxis->range().lower, -dx, 1e-9);
    EXPECT_NEAR(p->yAxis->range().lower, dy, 1e-9);
    suiventLesJumelles();

    fenetre::molette(p, vide(), 2);
    EXPECT_NEAR(p->xAxis->range().size(), 10 * 0.85 * 0.85, 1e-9);
    EXPECT_NEAR(p->yAxis->range().size(), 10 * 0.85 * 0.85, 1e-9);
    suiventLesJumelles();
}

TEST_F(GlisseEtZoom, PressIsTracedTheWheelIsNot)
{
    Capture c;
    QTest::mousePress(p, Qt::LeftButton, Qt::NoModifier, vide());
    Sorties presse = c.fin();
    QTest::mouseRelease(p, Qt::LeftButton, Qt::NoModifier, vide());
    EXPECT_EQ(presse.out, "[>../kalu/kaluview.cpp.mousePress]\n"
                          "[<../kalu/kaluview.cpp.mousePress]\n");

    Capture c2;
    fenetre::molette(p, vide(), 1);
    Sorties roue = c2.fin();
    EXPECT_EQ(roue.out, "");
    EXPECT_EQ(roue.err, "");
}

// ---- Curves and legend items ---------------------------------------------

class CourbesEtLegende : public fenetre::PetiteCarte
{
  protected:
    bool entiere(QCPCurve *c)
    {
        return c->selection() == QCPDataSelection(QCPDataRange(0, c->dataCount()));
    }
};

TEST_F(CourbesEtLegende, ALegendItemSelectsItsCurve)
{
    fenetre::clic(p, fenetre::pixelLegende(p, 1));
    EXPECT_TRUE(p->legend->item(1)->selected());
    EXPECT_TRUE(entiere(courbe(1)));
    EXPECT_FALSE(courbe(0)->selected());
    EXPECT_FALSE(courbe(2)->selected());
    EXPECT_EQ(p->selectedPlottables(), QList<QCPAbstractPlottable *>{courbe(1)});
}

TEST_F(CourbesEtLegende, ACurveSelectsItsLegendItem)
{
    fenetre::clic(p, fenetre::pixelLegende(p, 1));
    fenetre::clic(p, fenetre::pixel(p, 5, 2)); // middle of shp[1][1]
    EXPECT_TRUE(entiere(courbe(2)));
    EXPECT_TRUE(p->legend->item(2)->selected());
    // The previous pair is released together.
    EXPECT_FALSE(courbe(1)->selected());
    EXPECT_FALSE(p->legend->item(1)->selected());

    fenetre::clic(p, vide());
    EXPECT_FALSE(courbe(2)->selected());
    EXPECT_FALSE(p->legend->item(2)->selected());
}

// ---- Double-click dialogs ------------------------------------------------
// Each editable text is double-clicked three times: cancelled (nothing
// changes, no replot), confirmed with a new text, confirmed empty.

struct Cible {
    const char *nom;
    QString titre, invite;
    std::function<QPoint()> ou;
    std::function<QString()> valeur;
};

class Dialogues : public fenetre::PetiteCarte
{
  protected:
    void verifie(const Cible &cible)
    {
        SCOPED_TRACE(cible.nom);
        const QString avant = cible.valeur();
        ASSERT_FALSE(avant.isEmpty());

        {
            Repondeur r(Repondeur::Refuse, "ignoré", p);
            fenetre::doubleClic(p, cible.ou());
            ASSERT_EQ(r.ouvertures, 1);
            EXPECT_EQ(r.titre, cible.titre);
            EXPECT_EQ(r.invite, cible.invite);
            EXPECT_EQ(r.offert, avant);
            EXPECT_EQ(r.parent, v.get());
            EXPECT_EQ(cible.valeur(), avant);
            EXPECT_EQ(r.redessins, 0);
        }
        {
            Repondeur r(Repondeur::Accepte, "Île de la Cité", p);
            fenetre::doubleClic(p, cible.ou());
            ASSERT_EQ(r.ouvertures, 1);
            EXPECT_EQ(cible.valeur(), "Île de la Cité");
            EXPECT_EQ(r.redessins, 1);
        }
        {
            Repondeur r(Repondeur::Accepte, "", p);
            fenetre::doubleClic(p, cible.ou());
            ASSERT_EQ(r.ouvertures, 1);
            EXPECT_EQ(r.offert, "Île de la Cité");
            EXPECT_EQ(cible.valeur(), "");
            EXPECT_EQ(r.redessins, 1);
        }
    }
};

TEST_F(Dialogues, Title)
{
    QCPTextElement *t = fenetre::titre(*v);
    verifie({"title", "Maquette Kalu", "Nouveau titre :", [t]() { return t->outerRect().center(); },
             [t]() { return t->text(); }});
}

TEST_F(Dialogues, SubTitle)
{
    // The sub-title can only be hit once it holds a text: a read-out.
    fenetre::clic(p, fenetre::pixel(p, 2, 1));
    QCPTextElement *t = fenetre::sousTitre(*v);
    verifie({"sub-title", "Maquette Kalu", "Nouveau sous-titre :",
             [t]() { return t->outerRect().center(); }, [t]() { return t->text(); }});
    EXPECT_EQ(fenetre::titre(*v)->text().left(12), "Shapefile: '");
}

TEST_F(Dialogues, AxisLabels)
{
    QCPAxis *x = p->xAxis, *y = p->yAxis;
    verifie({"bottom label", "Maquette Kalu",
             "Nouvelle étiquette :", [x]() { return fenetre::pixelAxe(x, QCPAxis::spAxisLabel); },
             [x]() { return x->label(); }});
    verifie({"left label", "Maquette Kalu",
             "Nouvelle étiquette :", [y]() { return fenetre::pixelAxe(y, QCPAxis::spAxisLabel); },
             [y]() { return y->label(); }});
}

TEST_F(Dialogues, CurveNameThroughItsLegendItem)
{
    QCustomPlot *plot = p;
    QCPCurve *c = courbe(1);
    verifie({"legend item", "QCP example", "New shape name:",
             [plot]() { return fenetre::pixelLegende(plot, 1); }, [c]() { return c->name(); }});
}

TEST_F(Dialogues, RenamingACurveChangesTheNextReadOut)
{
    Repondeur r(Repondeur::Accepte, "Seine", p);
    fenetre::doubleClic(p, fenetre::pixelLegende(p, 0));
    ASSERT_EQ(r.ouvertures, 1);
    fenetre::clic(p, fenetre::pixel(p, 3, 1));
    EXPECT_EQ(fenetre::sousTitre(*v)->text(), "Seine[..][2] = (3, 1)");
}

// Placeholders in a name are text: the index and coordinates stay true.
TEST_F(Dialogues, ANameIsShownAsWrittenWhateverItHolds)
{
    for (const QString nom : {"%1", "%99", "%L1", "%", "a%2b", "%1%2%3%4"}) {
        Repondeur r(Repondeur::Accepte, nom, p);
        fenetre::doubleClic(p, fenetre::pixelLegende(p, 0));
        ASSERT_EQ(r.ouvertures, 1);
        fenetre::clic(p, fenetre::pixel(p, 2, 1));
        EXPECT_EQ(fenetre::sousTitre(*v)->text().toStdString(),
                  (nom + "[..][1] = (2, 1)").toStdString());
        fenetre::clic(p, vide());
    }
}

// A legend that overflows the axis rectangle covers the title: one
// double-click on its item renames the curve and edits nothing else.
TEST_F(Dialogues, ALegendOverTheTitleTakesTheDoubleClickAlone)
{
    const QRect rect = p->axisRect()->rect(), t = fenetre::titre(*v)->outerRect();
    QCPLayoutInset *inset = p->axisRect()->insetLayout();
    inset->setInsetPlacement(0, QCPLayoutInset::ipFree);
    // Placed, then moved up by what is left between the item and the
    // title's text, which is centred.
    const double x = double(t.center().x() - rect.left()) / rect.width() - 0.2;
    for (double y = double(t.top() - rect.top()) / rect.height(), k = 0; k < 2; ++k) {
        inset->setInsetRect(0, QRectF(x, y, 0.4, 0.3));
        p->replot();
        y -= double(fenetre::pixelLegende(p, 0).y() - t.center().y()) / rect.height();
    }
    const QPoint item = fenetre::pixelLegende(p, 0);
    ASSERT_TRUE(t.contains(item));

    // Two answerers: a second dialog would be answered, not waited for.
    Repondeur r(Repondeur::Accepte, "Seine"), autre(Repondeur::Accepte, "Seine");
    fenetre::doubleClic(p, item);
    EXPECT_EQ(r.ouvertures + autre.ouvertures, 1);
    EXPECT_EQ(courbe(0)->name(), "Seine");
    EXPECT_EQ(fenetre::titre(*v)->text(), "Shapefile: 'carte.shp'");
}

TEST_F(Dialogues, NothingOpensOffTheEditableParts)
{
    // The connections end with `contexte`, before the window goes.
    QObject contexte;
    QList<QCPAbstractLegendItem *> legende;
    QObject::connect(
        p, &QCustomPlot::legendDoubleClick, &contexte,
        [&legende](QCPLegend *, QCPAbstractLegendItem *item, QMouseEvent *) { legende << item; });
    int axe = 0;
    QObject::connect(p, &QCustomPlot::axisDoubleClick, &contexte,
                     [&axe](QCPAxis *, QCPAxis::SelectablePart, QMouseEvent *) { ++axe; });
    Repondeur r(Repondeur::Accepte, "jamais", p);

    // The legend's border, outside its items, reports no item.
    const QRect cadre = p->legend->outerRect();
    const QPoint bord = cadre.topLeft() + QPoint(2, 2);
    ASSERT_LT(p->legend->item(0)->outerRect().top(), cadre.bottom());
    ASSERT_FALSE(p->legend->item(0)->outerRect().contains(bord));
    fenetre::doubleClic(p, bord);
    EXPECT_EQ(legende, QList<QCPAbstractLegendItem *>{nullptr});

    // The axis line and tick labels are not edited, only the label.
    fenetre::doubleClic(p, fenetre::pixelAxe(p->xAxis, QCPAxis::spAxis));
    fenetre::doubleClic(p, fenetre::pixelAxe(p->yAxis, QCPAxis::spTickLabels));
    EXPECT_EQ(axe, 2);

    // A dialog opened from a queued call would open, and be answered, here.
    QCoreApplication::sendPostedEvents();
    QApplication::processEvents();
    EXPECT_EQ(r.ouvertures, 0);
    EXPECT_EQ(p->xAxis->label(), "Longitude [deg]");
    EXPECT_EQ(p->yAxis->label(), "Latitude [deg]");
}

// ---- Point read-out ------------------------------------------------------

class PointLu : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        // Records 0 to 2 lie far off screen; record 3's point 17 is
        // (2.35, 48.8) and its point 19 has more digits than are shown.
        std::vector<shp::Record> r(3, shp::Record{3, {{{100, 100}, {101, 101}}}});
        shp::Part part;
        for (int k = 0; k < 19; ++k)
            part.push_back({2.35 + (k - 17) * 0.1, 48.8 + (k - 17) * 0.05});
        part[17] = {2.35, 48.8};
        part.push_back({1.123456789, 47.9});
        r.push_back({3, {part}});
        fenetre::charge(*v, 3, r, "lecture.shp");
        fenetre::cadre(*v, QCPRange(0, 4), QCPRange(47.5, 50));
    }

    std::unique_ptr<KaluView> v = fenetre::nouvelle();
    QCustomPlot *p = fenetre::plot(*v);
};

TEST_F(PointLu, AClickShowsThePointInTheSubTitle)
{
    QSignalSpy redessins(p, &QCustomPlot::afterReplot);
    Capture c;
    fenetre::clic(p, fenetre::pixel(p, 2.35, 48.8));
    // The click's replot is queued: the event loop runs it.
    QApplication::processEvents();
    Sorties s = c.fin();
    EXPECT_EQ(fenetre::sousTitre(*v)->text(), "shp[3][0][..][17] = (2.35, 48.8)");
    EXPECT_GE(redessins.count(), 1);
    EXPECT_TRUE(contient(s.out, "[>../kalu/kaluview.cpp.graphClicked]\n"
                                "[<../kalu/kaluview.cpp.graphClicked]\n"))
        << s.out;

    // Six significant digits; the text stays until the next click.
    fenetre::clic(p, fenetre::pixel(p, 1.123456789, 47.9));
    EXPECT_EQ(fenetre::sousTitre(*v)->text(), "shp[3][0][..][19] = (1.12346, 47.9)");
    fenetre::clic(p, fenetre::pixel(p, 3.8, 47.6));
    EXPECT_EQ(fenetre::sousTitre(*v)->text(), "shp[3][0][..][19] = (1.12346, 47.9)");
}

} // namespace
