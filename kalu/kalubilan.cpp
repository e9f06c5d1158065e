// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalubilan.h"

void Bilan::illisible(const QString &nom)
{
    illisibles << QString("'%1'").arg(nom);
}

void Bilan::typeNonDessine(const QString &nom, const QString &type)
{
    autres << QString("'%1': %2 shapes are not drawn").arg(nom, type);
}

void Bilan::tropGros(const QString &nom)
{
    autres << QString("'%1' is too big for the memory left").arg(nom);
}

void Bilan::tronque(const QString &nom, long long enregistrements)
{
    autres << QString("'%1' is cut short: %2 records drawn").arg(nom, enChiffres(enregistrements));
}

void Bilan::vide(const QString &nom)
{
    autres << QString("'%1' holds no shape").arg(nom);
}

QString Bilan::fin(int formes)
{
    const bool rien = illisibles.isEmpty() && autres.isEmpty();
    const QString message = joint({});
    return rien && formes > 0 ? Bilan::formes(formes) : message;
}

QString Bilan::arret(const QString &nom, long long gardees, long long connues, int pourcent)
{
    if (connues >= 0)
        return joint({QString("Loading stopped: %1 of %2 parts of '%3'")
                          .arg(enChiffres(gardees), enChiffres(connues), nom)});
    return joint({QString("Loading stopped: %1 parts of '%2' (%3 %)")
                      .arg(enChiffres(gardees), nom, QString::number(pourcent))});
}

QString Bilan::arret()
{
    return joint({QStringLiteral("Loading stopped")});
}

QString Bilan::formes(long long n)
{
    return QString(n == 1 ? "%1 shape" : "%1 shapes").arg(enChiffres(n));
}

QString Bilan::enChiffres(long long n)
{
    QString chiffres = QString::number(n < 0 ? -n : n);
    for (int i = chiffres.size() - 3; i > 0; i -= 3)
        chiffres.insert(i, QLatin1Char(','));
    return n < 0 ? QLatin1Char('-') + chiffres : chiffres;
}

QString Bilan::joint(QStringList phrases)
{
    if (!illisibles.isEmpty())
        phrases << QString("%1 could not be read").arg(illisibles.join(", "));
    phrases << autres;
    illisibles.clear();
    autres.clear();
    return phrases.join("; ");
}
