// SPDX-License-Identifier: GPL-3.0-or-later
//
// The room kept for huge rings and pictures from one picture to the next
// (kalureserve): enough room each time, the closest fit for each ring, a
// picture's memory back when its last copy goes, on whatever thread, and
// nothing kept past the second drawing after the one that last used it.
#include <gtest/gtest.h>

#include <thread>

#include "kalureserve.h"

namespace
{

TEST(Reserve, KeepsWhatTheLastTwoDrawingsUsedAndNoMore)
{
    for (int k = 0; k < 3; ++k)
        reserve::vieillit();
    ASSERT_EQ(reserve::gardes(), 0u);

    std::vector<QPointF> grand = reserve::points(100000), petit = reserve::points(1000);
    EXPECT_GE(grand.capacity(), 100000u);
    EXPECT_GE(petit.capacity(), 1000u);
    grand.assign(100000, QPointF(1, 2));
    const QPointF *salleGrande = grand.data(), *sallePetite = petit.data();
    reserve::rends(std::move(grand));
    reserve::rends(std::move(petit));
    QVector<QPointF> lignes = reserve::lignes(5000);
    EXPECT_GE(lignes.capacity(), 5000);
    lignes.resize(5000);
    reserve::rends(std::move(lignes));
    reserve::vieillit(); // the drawing that gave them back ends: kept
    EXPECT_GE(reserve::gardes(), (101000u + 5000u) * sizeof(QPointF));

    // The next drawing: a small ring is given the small room, not the big
    // one a bigger ring then lacks; each comes empty.
    std::vector<QPointF> a = reserve::points(800);
    EXPECT_EQ(a.data(), sallePetite);
    EXPECT_TRUE(a.empty());
    std::vector<QPointF> b = reserve::points(90000);
    EXPECT_EQ(b.data(), salleGrande);
    EXPECT_TRUE(b.empty());
    QVector<QPointF> c = reserve::lignes(4000);
    EXPECT_GE(c.capacity(), 5000);
    EXPECT_TRUE(c.isEmpty());
    reserve::rends(std::move(a));
    reserve::rends(std::move(c));
    reserve::vieillit(); // `b` is still in use: its job ends after
    reserve::rends(std::move(b));
    reserve::vieillit();
    EXPECT_GE(reserve::gardes(), (101000u + 5000u) * sizeof(QPointF));

    // `b` was taken by the last drawing, the others by the one before: two
    // drawings that take none of them, and all are gone.
    reserve::vieillit();
    EXPECT_GE(reserve::gardes(), 100000u * sizeof(QPointF));
    reserve::vieillit();
    EXPECT_EQ(reserve::gardes(), 0u);
}

// A picture's memory comes back when its last copy goes, on any thread,
// and the next picture of its size is made in it; a copy holds the
// source's pixels and ratio, and is its own.
TEST(Reserve, APicturesMemoryIsKeptWhenItsLastCopyGoes)
{
    for (int k = 0; k < 3; ++k)
        reserve::vieillit();
    ASSERT_EQ(reserve::gardes(), 0u);
    const QSize taille(70, 30); // 280 bytes a line
    QImage a = reserve::image(taille, QImage::Format_ARGB32_Premultiplied);
    ASSERT_FALSE(a.isNull());
    a.fill(Qt::red);
    a.setDevicePixelRatio(2);
    const uchar *salle = a.constBits();
    QImage copieA = reserve::copie(a);
    EXPECT_EQ(copieA, a);
    EXPECT_EQ(copieA.devicePixelRatio(), 2);
    copieA.setPixel(0, 0, 0);
    EXPECT_EQ(a.pixel(0, 0), QColor(Qt::red).rgba()) << "the copy wrote in its source";

    QImage autre = a; // a second copy: the memory stays held
    a = QImage();
    EXPECT_EQ(reserve::gardes(), 0u);
    std::thread([i = std::move(autre)]() mutable { i = QImage(); }).join();
    EXPECT_EQ(reserve::gardes(), size_t(280 * 30));
    const QImage b = reserve::image(taille, QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(b.constBits(), salle);
    EXPECT_EQ(reserve::gardes(), 0u);

    copieA = QImage();
    reserve::vieillit();
    reserve::vieillit();
    EXPECT_EQ(reserve::gardes(), size_t(280 * 30));
    reserve::vieillit();
    EXPECT_EQ(reserve::gardes(), 0u);
}

} // namespace
