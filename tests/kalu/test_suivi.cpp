// SPDX-License-Identifier: GPL-3.0-or-later
//
// The curves' states as the map reads them, on a registry without a
// window: on a big map only the curves selected at the last reading and
// those suspected are read again.
#include <gtest/gtest.h>

#include "kalusuivi.h"
#include "tutelle.h"

namespace
{

TEST(Suivi, ABigMapRereadsOnlyTheSelectedAndTheSuspected)
{
    Toile t;
    Registre registre(&t.plot, t.couche(), &t.tutelle);
    registre.debutAjouts();
    for (int k = 0; k < 4; ++k) {
        Courbe *c = registre.ajoute(QCPRange(k, k + 1), QCPRange(0, 1), true);
        c->data()->set({QCPCurveData(0, k, 0), QCPCurveData(1, k + 1, 1)}, true);
        registre.inscrit(c);
    }
    registre.finAjouts();
    Suivi suivi(registre);
    suivi.setLectureComplete(0);
    bool entiers = false;
    EXPECT_EQ(*suivi.lis(&entiers), Etats(4, VISIBLE));

    const QCPDataSelection tout(QCPDataRange(0, registre.courbe(1)->dataCount()));
    registre.courbe(1)->setSelection(tout);
    registre.courbe(2)->setSelection(tout);
    suivi.suspecte(1);
    const Etats lus = *suivi.lis(&entiers);
    EXPECT_EQ(lus[1], VISIBLE | CHOISIE);
    EXPECT_EQ(lus[2], VISIBLE) << "a change not told of is read on a big map";
    EXPECT_EQ(suivi.choisies(), std::vector<int>{1});

    // Selected at the last reading: read again without being suspected.
    registre.courbe(1)->setSelection(QCPDataSelection());
    EXPECT_EQ((*suivi.lis(&entiers))[1], VISIBLE);
    EXPECT_TRUE(suivi.choisies().empty());
}

} // namespace
