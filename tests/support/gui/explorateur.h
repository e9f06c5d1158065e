// SPDX-License-Identifier: GPL-3.0-or-later
// The Explorer action as a user goes through it: Qt's own file dialog (not
// the platform's), answered from a timer, and the load it starts waited for.
#ifndef KALU_TEST_EXPLORATEUR_H
#define KALU_TEST_EXPLORATEUR_H

#include <QFileDialog>
#include <QLineEdit>

#include "capture.h"
#include "fenetre.h"
#include "modal.h"

namespace fenetre
{

// Chooses `fichiers`, names under `dossier`, in the dialog `d` as a user
// types them, quoted, and accepts.
inline void choisit(QFileDialog *d, const QString &dossier, const QStringList &fichiers)
{
    d->setDirectory(dossier);
    QStringList cites;
    for (const QString &f : fichiers)
        cites << "\"" + f + "\"";
    d->findChild<QLineEdit *>("fileNameEdit")->setText(cites.join(' '));
    QMetaObject::invokeMethod(d, "accept");
}

// Triggers the window's Explorer, whose dialog a timer set beforehand
// answers, and waits for the load. Returns what the program wrote; Qt's
// own warnings (the offscreen plugin's) are kept apart from its bytes.
inline Sorties exploreEtAttends(KaluView &v)
{
    QtMessageHandler avant =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    Capture c;
    EXPECT_TRUE(declenche(v, "&Explorer"));
    attendsChargement(v);
    Sorties s = c.fin();
    qInstallMessageHandler(avant);
    return s;
}

} // namespace fenetre

#endif
