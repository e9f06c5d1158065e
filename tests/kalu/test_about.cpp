// SPDX-License-Identifier: GPL-3.0-or-later
// The About box: its text and its two buttons.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>

#include <string>

#include "fenetre.h"
#include "kluconf.h"
#include "modal.h"
#include "zolconf.h"

namespace
{

std::string prend(char *s)
{
    std::string r = s ? s : "";
    delete[] s;
    return r;
}

QPushButton *bouton(QMessageBox *box, const QString &texte)
{
    for (QAbstractButton *b : box->buttons())
        if (b->text() == texte)
            return qobject_cast<QPushButton *>(b);
    return nullptr;
}

struct Vu {
    QString titre, texte;
    QStringList boutons;
};

Vu regarde(QMessageBox *box)
{
    Vu v{box->windowTitle(), box->text(), {}};
    for (QAbstractButton *b : box->buttons())
        v.boutons << b->text();
    return v;
}

TEST(About, TextListsVersionsStampsAndTheFormatLink)
{
    auto v = fenetre::nouvelle();
    Vu vu;
    fenetre::repondra<QMessageBox>([&](QMessageBox *box) {
        vu = regarde(box);
        bouton(box, "D'ac!")->click();
        return true;
    });
    ASSERT_TRUE(fenetre::declenche(*v, QString::fromUtf8("&À propos de")));

    const std::string lien = "https://www.esri.com/library/whitepapers/pdfs/shapefile.pdf";
    const std::string attendu = "<b>Kalu</b>-19.10 (" + prend(klutemps(0)) + ", gcc-" +
                                prend(klugcc()) + ")<br><b>Zol</b>-" + prend(zolversion()) + " (" +
                                prend(zoltemps(0)) + ", gcc-" + prend(zolgcc()) + ", " +
                                prend(zolplateforme()) +
                                ")<br><b>QCustomPlot</b>-2.1.0<br><b>Qt</b>-" + qVersion() +
                                "<br><br>Description du format <b>Shapefile</b> : <br><a href=\"" +
                                lien + "\">" + lien + "</a>";
    EXPECT_EQ(vu.texte.toStdString(), attendu);
    EXPECT_EQ(vu.titre, QString::fromUtf8("À propos de"));
    EXPECT_EQ(vu.boutons.size(), 2);
    EXPECT_TRUE(vu.boutons.contains("D'ac!"));
    EXPECT_TRUE(vu.boutons.contains(QString::fromUtf8("À propos de Qt")));
}

TEST(About, OkClosesWithoutQtsBox)
{
    auto v = fenetre::nouvelle();
    QStringList ouvertes;
    QPointer<QTimer> guet;
    fenetre::repondra<QMessageBox>([&](QMessageBox *box) {
        ouvertes << box->windowTitle();
        // A box opened after this one would be recorded and closed.
        guet = fenetre::repondra<QMessageBox>(
            [&](QMessageBox *autre) {
                if (autre == box)
                    return false;
                ouvertes << autre->windowTitle();
                autre->reject();
                return true;
            },
            1000, false);
        bouton(box, "D'ac!")->click();
        return true;
    });
    ASSERT_TRUE(fenetre::declenche(*v, QString::fromUtf8("&À propos de")));
    delete guet.data();
    EXPECT_EQ(ouvertes, QStringList{QString::fromUtf8("À propos de")});
}

TEST(About, SecondButtonOpensQtsOwnBox)
{
    auto v = fenetre::nouvelle();
    QString titreQt;
    bool qtNomme = false;
    fenetre::repondra<QMessageBox>([&](QMessageBox *box) {
        fenetre::repondra<QMessageBox>([&](QMessageBox *autre) {
            if (autre == box)
                return false;
            titreQt = autre->windowTitle();
            qtNomme = autre->text().contains("Qt");
            autre->accept();
            return true;
        });
        bouton(box, QString::fromUtf8("À propos de Qt"))->click();
        return true;
    });
    ASSERT_TRUE(fenetre::declenche(*v, QString::fromUtf8("&À propos de")));
    EXPECT_EQ(titreQt, QString::fromUtf8("À propos de Qt"));
    EXPECT_TRUE(qtNomme);
}

} // namespace
