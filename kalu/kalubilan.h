// SPDX-License-Identifier: GPL-3.0-or-later
//
// kalubilan: what a load tells the user in the status bar once it is over.
// The terminal has the reader's reasons, but a window started from a menu
// has no terminal: a file refused, cut short or empty in silence would look
// as if nothing happened, and a stopped load as if it had failed.
//
// A Bilan gathers, file after file, what is to be told of each, and gives
// the message at the end: what stopped the load if it was stopped, then the
// files not read, then the other outcomes, in their order; with nothing to
// tell, the number of shapes shown. Numbers are written in groups of three
// with commas, whatever the locale.
//
// Threads: any, one Bilan per thread.
#ifndef KALUBILAN_H
#define KALUBILAN_H

#include <QString>
#include <QStringList>

class Bilan
{
  public:
    // A file (its name, without the directory) the reader rejected.
    void illisible(const QString &nom);
    // A file of a valid shape type that is not drawn ("PolygonZ").
    void typeNonDessine(const QString &nom, const QString &type);
    // A file whose curves would not fit in memory.
    void tropGros(const QString &nom);
    // A file read whose last record was cut short: its records before it.
    void tronque(const QString &nom, long long enregistrements);
    // A file read that holds no shape.
    void vide(const QString &nom);

    // The message at a load's end: what was told, else `formes` shapes
    // (none: an empty message). Everything told is forgotten.
    QString fin(int formes);
    // The message at a stop: the file being read (its name) kept `gardees`
    // parts of its `connues` (-1: not known, `pourcent` % of the file read
    // instead); without a file, the stop alone. Then what was told.
    QString arret(const QString &nom, long long gardees, long long connues, int pourcent);
    QString arret();

    // "1 shape", "1,000,080 shapes".
    static QString formes(long long n);
    // "45,558".
    static QString enChiffres(long long n);

  private:
    QString joint(QStringList phrases);

    QStringList illisibles; // "'x.shp'"
    QStringList autres;     // "'x.shp': PolygonZ shapes are not drawn"
};

#endif
