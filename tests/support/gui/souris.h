// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for driving the window's plot like a user: where things are on
// screen, real mouse events at those places, modal input dialogs answered
// from a timer, and the context menu that a right-click popped up.
//
// Screen positions come from the plot's own geometry: data points through
// the axes' coordToPixel, legend items through their rectangles, and the
// parts of an axis (line, tick labels, label) by asking the axis which part
// a pixel hits. The plot must have been laid out and drawn once (show the
// window, fenetre::fixeAxisRect, replot) for these to be meaningful.
#ifndef KALU_TEST_SOURIS_H
#define KALU_TEST_SOURIS_H

#include <QApplication>
#include <QContextMenuEvent>
#include <QInputDialog>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include "qcustomplot.h"

namespace fenetre
{

// Pixel of the data point (key, value) on the bottom and left axes.
inline QPoint pixel(QCustomPlot *p, double key, double value)
{
    return QPointF(p->xAxis->coordToPixel(key), p->yAxis->coordToPixel(value)).toPoint();
}

// Centre of legend item i.
inline QPoint pixelLegende(QCustomPlot *p, int i)
{
    return p->legend->item(i)->outerRect().center();
}

// A pixel where `axis` reports `part`, searched outward from the middle of
// the axis line; (-1, -1) when the part is not on screen (an empty label,
// hidden tick labels).
inline QPoint pixelAxe(QCPAxis *axis, QCPAxis::SelectablePart part)
{
    const QRect r = axis->axisRect()->rect();
    for (int d = 0; d < 120; ++d) {
        QPoint pos;
        switch (axis->axisType()) {
        case QCPAxis::atBottom:
            pos = QPoint(r.center().x(), r.bottom() + d);
            break;
        case QCPAxis::atTop:
            pos = QPoint(r.center().x(), r.top() - d);
            break;
        case QCPAxis::atLeft:
            pos = QPoint(r.left() - d, r.center().y());
            break;
        case QCPAxis::atRight:
            pos = QPoint(r.right() + d, r.center().y());
            break;
        }
        QVariant details;
        if (axis->selectTest(pos, false, &details) >= 0 &&
            details.value<QCPAxis::SelectablePart>() == part)
            return pos;
    }
    return QPoint(-1, -1);
}

// ---- Mouse ---------------------------------------------------------------
// Presses, releases and clicks are QTest's; a move with the button held and
// a wheel turn are sent as the events the platform would deliver (QTest's
// move only warps the cursor, and it has no wheel in Qt 5).

inline void clic(QWidget *w, QPoint pos, Qt::MouseButton b = Qt::LeftButton)
{
    QTest::mouseClick(w, b, Qt::NoModifier, pos);
}

// The sequence a real double-click produces: press, release, double-click,
// release. Replots queued by the first click are run before the second.
inline void doubleClic(QWidget *w, QPoint pos)
{
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, pos);
    QApplication::processEvents();
    QTest::mouseDClick(w, Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, pos);
}

// Left-button drag from `de` to `a` in four steps.
inline void glisse(QWidget *w, QPoint de, QPoint a)
{
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, de);
    for (int k = 1; k <= 4; ++k) {
        const QPoint pos = de + (a - de) * k / 4;
        QMouseEvent move(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(w, &move);
    }
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, a);
}

// `crans` notches of the wheel at `pos` (positive: away from the user).
inline void molette(QWidget *w, QPoint pos, int crans)
{
    QWheelEvent roue(QPointF(pos), QPointF(w->mapToGlobal(pos)), QPoint(), QPoint(0, 120 * crans),
                     Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &roue);
}

// ---- Modal input dialogs -----------------------------------------------
// Create a Repondeur before the action that may open a QInputDialog. While
// it lives it watches for the dialog; when one is open it records what the
// dialog showed, then types `texte` and accepts, or rejects. `redessins`
// counts the plot's replots after the answer, so that replots queued by the
// clicks that led to the dialog do not count.
class Repondeur
{
  public:
    enum Reponse { Accepte, Refuse };

    Repondeur(Reponse reponse, const QString &texte = QString(), QCustomPlot *p = nullptr)
    {
        QObject::connect(&minuterie, &QTimer::timeout, [this, reponse, texte]() {
            QInputDialog *d = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
            if (!d || !d->isVisible())
                return;
            minuterie.stop();
            ++ouvertures;
            titre = d->windowTitle();
            invite = d->labelText();
            offert = d->textValue();
            parent = d->parentWidget();
            if (reponse == Accepte) {
                d->setTextValue(texte);
                d->accept();
            } else {
                d->reject();
            }
        });
        if (p)
            QObject::connect(p, &QCustomPlot::afterReplot, &minuterie, [this]() {
                if (ouvertures > 0)
                    ++redessins;
            });
        minuterie.start(5);
    }

    int ouvertures = 0;
    int redessins = 0;
    QString titre, invite, offert;
    QPointer<QWidget> parent;

  private:
    QTimer minuterie;
};

// ---- Context menu ------------------------------------------------------

// The context menu request the platform sends on a right-click at `pos`.
inline void clicDroit(QWidget *w, QPoint pos)
{
    QContextMenuEvent ev(QContextMenuEvent::Mouse, pos, w->mapToGlobal(pos));
    QApplication::sendEvent(w, &ev);
}

// The popped-up menu that is open now, or null.
inline QMenu *menuOuvert()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        QMenu *m = qobject_cast<QMenu *>(w);
        if (m && m->isVisible())
            return m;
    }
    return nullptr;
}

// Texts of the menu's entries, in order.
inline QStringList textes(QMenu *m)
{
    QStringList t;
    for (QAction *a : m->actions())
        t << a->text();
    return t;
}

// Chooses the entry with the given text by clicking it, as a user does.
inline bool choisit(QMenu *m, const QString &texte)
{
    for (QAction *a : m->actions()) {
        if (a->text() == texte) {
            QTest::mouseClick(m, Qt::LeftButton, Qt::NoModifier, m->actionGeometry(a).center());
            return true;
        }
    }
    return false;
}

// Closes the menu and lets Qt delete it; true when it is gone.
inline bool fermeEtDetruit(QMenu *m)
{
    QPointer<QMenu> garde(m);
    if (garde && garde->isVisible())
        garde->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return garde.isNull();
}

} // namespace fenetre

#endif
