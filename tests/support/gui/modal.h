// SPDX-License-Identifier: GPL-3.0-or-later
// Answers the modal dialogs a slot opens: a timer polls for the active modal
// widget of the wanted kind and hands it to the answer, which runs inside the
// dialog's own event loop.
#ifndef KALU_TEST_MODAL_H
#define KALU_TEST_MODAL_H

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include <functional>

namespace fenetre
{

// Calls `reponse` with the first active modal widget of type T for which it
// returns true (false: not the awaited one, keep polling). Polls every 10 ms;
// after `delai` ms without an answer it gives up, failing the test when the
// dialog was `exige` (a watch for a dialog that must not open is not). The
// returned timer stops polling when deleted (it deletes itself once it has
// answered or given up).
template <typename T>
QPointer<QTimer> repondra(std::function<bool(T *)> reponse, int delai = 5000, bool exige = true)
{
    QTimer *t = new QTimer(qApp);
    int *restant = new int(delai / 10);
    QObject::connect(t, &QTimer::destroyed, [restant] { delete restant; });
    QObject::connect(t, &QTimer::timeout, t, [t, restant, reponse, exige] {
        T *w = qobject_cast<T *>(QApplication::activeModalWidget());
        if (w != nullptr && reponse(w)) {
            t->stop();
            t->deleteLater();
        } else if (--*restant <= 0) {
            if (exige)
                ADD_FAILURE() << "no awaited modal dialog of type "
                              << T::staticMetaObject.className();
            t->stop();
            t->deleteLater();
        }
    });
    t->start(10);
    return t;
}

} // namespace fenetre

#endif
