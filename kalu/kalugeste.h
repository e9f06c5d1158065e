// SPDX-License-Identifier: GPL-3.0-or-later
//
// kalugeste: when the user's gestures on the plot begin and end. A drag
// runs from its first move with the left button down to the release; a
// burst of wheel turns from its first notch until the wheel rests for
// PAUSE_MOLETTE ms (and, if a drag goes on then, until its release).
// During a gesture the map shows its last picture moved and scaled; at its
// end it asks for a complete drawing.
//
// Threads: GUI thread only.
#ifndef KALUGESTE_H
#define KALUGESTE_H

#include <QObject>
#include <QTimer>

class QCustomPlot;
class QMouseEvent;

class Geste : public QObject
{
    Q_OBJECT

  public:
    explicit Geste(QCustomPlot *plot);

    bool enCours() const { return geste; }

    static const int PAUSE_MOLETTE = 150;

  signals:
    void commence();
    void fini();

  private slots:
    void appui(QMouseEvent *event);
    void mouvement(QMouseEvent *event);
    void relache();
    void molette();
    void repos();

  private:
    void debute();

    bool geste = false, appuye = false;
    QTimer pause{this}; // a child, that tests may see whether the wheel's pause runs
};

#endif
