// SPDX-License-Identifier: GPL-3.0-or-later
// The busy cursor of the Explorer's loading: shown only while files load,
// and taken down again whatever the files were.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>

#include "fenetre.h"
#include "modal.h"
#include "shpwriter.h"

namespace
{

// Chooses `noms` (under the scratch directory) in the Explorer's dialog, or
// cancels it when `noms` is empty.
void explore(KaluView &v, const QStringList &noms)
{
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    fenetre::repondra<QFileDialog>([&](QFileDialog *d) {
        if (noms.isEmpty()) {
            d->reject();
            return true;
        }
        d->setDirectory(QString::fromStdString(shp::scratchPath("")));
        d->findChild<QLineEdit *>("fileNameEdit")->setText("\"" + noms.join("\" \"") + "\"");
        QMetaObject::invokeMethod(d, "accept");
        return true;
    });
    EXPECT_TRUE(fenetre::declenche(v, "&Explorer"));
    fenetre::attendsChargement(v);
}

TEST(CurseurOccupe, RestoredAfterEveryLoad)
{
    ASSERT_TRUE(shp::write(shp::scratchPath("bon.shp"), shp::file(3, {{3, {{{0, 0}, {1, 1}}}}})));
    shp::Bytes mauvais = shp::file(3, {{3, {{{0, 0}, {1, 1}}}}});
    mauvais[3] = 0; // not the file code 9994
    ASSERT_TRUE(shp::write(shp::scratchPath("mauvais.shp"), mauvais));

    auto v = fenetre::nouvelle();
    // A cursor of the caller's own stays on top once the loading is over:
    // the busy cursor is pushed and popped exactly once per load.
    QApplication::setOverrideCursor(Qt::CrossCursor);
    for (const QStringList &noms : {QStringList{"bon.shp"}, QStringList{"mauvais.shp"},
                                    QStringList{"mauvais.shp", "bon.shp"}, QStringList{}}) {
        explore(*v, noms);
        ASSERT_NE(QApplication::overrideCursor(), nullptr) << noms.join(" ").toStdString();
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::CrossCursor)
            << noms.join(" ").toStdString();
    }
    QApplication::restoreOverrideCursor();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
