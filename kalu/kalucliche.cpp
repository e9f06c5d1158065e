// SPDX-License-Identifier: GPL-3.0-or-later
#include "kalucliche.h"

#include <QPaintEngine>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "kalureserve.h"
#include "qcustomplot.h"

// Entry B11 of the register in kaluacces.h: in a replot the painter paints
// on the plot's buffer, a QPixmap whose raster engine paints on the QImage
// under it. Anything else gives null, and the map falls back to drawing
// every curve on the GUI thread (right, slow): kalu_test_image fails then.
QImage *Cliche::tamponDe(QPainter *painter, bool opaque)
{
    QPaintEngine *moteur = painter->paintEngine();
    QPaintDevice *support = moteur ? moteur->paintDevice() : nullptr;
    if (support == nullptr || support->devType() != QInternal::Image)
        return nullptr;
    QImage *image = static_cast<QImage *>(support);
    const QImage::Format f = image->format();
    return f == QImage::Format_ARGB32_Premultiplied || (opaque && f == QImage::Format_RGB32)
               ? image
               : nullptr;
}

void Cliche::oublie()
{
    fond_ = image_ = seules_ = neutre_ = seulesNeutre_ = QImage();
    scene_.reset();
    etats_.reset();
    etatsNeutre_.reset();
}

bool Cliche::sansChoix(const Etats &etats)
{
    return std::none_of(etats.begin(), etats.end(), [](uint8_t e) { return e & CHOISIE; });
}

bool Cliche::memesVisibles(const Etats &a, const Etats &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t r = 0; r < a.size(); ++r)
        if ((a[r] ^ b[r]) & VISIBLE)
            return false;
    return true;
}

// The picture just made, or changed, is the neutral one if none is
// selected in it; else the neutral picture stays if it shows the same
// curves.
void Cliche::suisNeutre()
{
    if (!etats_) { // a picture only ever shown moved (a load's): no state to follow
        neutre_ = seulesNeutre_ = QImage();
        etatsNeutre_.reset();
    } else if (sansChoix(*etats_)) {
        neutre_ = image_;
        seulesNeutre_ = seules_;
        etatsNeutre_ = etats_;
    } else if (etatsNeutre_ && !memesVisibles(*etatsNeutre_, *etats_)) {
        neutre_ = seulesNeutre_ = QImage();
        etatsNeutre_.reset();
    }
}

void Cliche::montreNeutre()
{
    if (neutre_.isNull())
        return;
    image_ = neutre_;
    seules_ = seulesNeutre_;
    etats_ = etatsNeutre_;
}

void Cliche::remplace(const QImage &image, const QImage &seules, std::shared_ptr<const Etats> etats)
{
    image_ = image;
    seules_ = seules;
    etats_ = std::move(etats);
    suisNeutre();
}

void Cliche::adopte(const QImage &fond, const QImage &image, const QImage &seules, const Vue &vue,
                    std::shared_ptr<const Scene> scene, std::shared_ptr<const Etats> etats)
{
    fond_ = fond;
    image_ = image;
    seules_ = seules;
    vue_ = vue;
    scene_ = std::move(scene);
    etats_ = std::move(etats);
    neutre_ = seulesNeutre_ = QImage();
    etatsNeutre_.reset();
    suisNeutre();
}

void Cliche::completeSeules(const QImage &image, const QImage &seules)
{
    if (seules_.isNull() && !image_.isNull() && image_.cacheKey() == image.cacheKey())
        seules_ = seules;
    if (seulesNeutre_.isNull() && !neutre_.isNull() && neutre_.cacheKey() == image.cacheKey())
        seulesNeutre_ = seules;
}

QRect Cliche::champ(const Vue &v, const QImage &image)
{
    const QRect z = v.zone();
    const qreal r = v.ratio;
    return QRect(QPoint(int(std::floor(z.left() * r)) - 1, int(std::floor(z.top() * r)) - 1),
                 QPoint(int(std::ceil((z.right() + 1) * r)), int(std::ceil((z.bottom() + 1) * r))))
        .intersected(image.rect());
}

bool Cliche::memeChamp(const QImage &a, const QImage &b, const Vue &v)
{
    if (a.size() != b.size() || a.format() != b.format() || a.bytesPerLine() != b.bytesPerLine())
        return false;
    const QRect c = champ(v, a);
    const size_t octets = size_t(c.width()) * 4;
    for (int y = c.top(); y <= c.bottom(); ++y)
        if (std::memcmp(a.constScanLine(y) + c.left() * 4, b.constScanLine(y) + c.left() * 4,
                        octets) != 0)
            return false;
    return true;
}

bool Cliche::vaPour(const Vue &vue, const Scene *scene, const QImage &tampon) const
{
    return !image_.isNull() && scene == scene_.get() && vue == vue_ &&
           memeChamp(tampon, fond_, vue);
}

void Cliche::pose(QImage &tampon) const
{
    copieChamp(tampon, image_, vue_);
}

void Cliche::copieChamp(QImage &vers, const QImage &de, const Vue &v)
{
    const QRect c = champ(v, de);
    const size_t octets = size_t(c.width()) * 4;
    uchar *bits = vers.bits();
    const qsizetype ligne = vers.bytesPerLine();
    for (int y = c.top(); y <= c.bottom(); ++y)
        std::memcpy(bits + y * ligne + c.left() * 4, de.constScanLine(y) + c.left() * 4, octets);
}

void Cliche::dessineDeplacee(QCPPainter *painter, const Vue &m)
{
    if (image_.isNull())
        return;
    if (seules_.isNull()) {
        seules_ = reserve::image(image_.size(), QImage::Format_ARGB32_Premultiplied);
        seules_.fill(Qt::transparent);
        seules_.setDevicePixelRatio(image_.devicePixelRatio());
        separe(fond_, image_, seules_, seules_.rect());
        if (!neutre_.isNull() && neutre_.cacheKey() == image_.cacheKey())
            seulesNeutre_ = seules_;
    }
    // The picture's edges in data coordinates, then in today's pixels.
    const Vue &v = vue_;
    const QRect source = v.zone();
    const QRectF cible(
        m.pixel(v.cleX(source.left()), v.valeurY(source.top())),
        m.pixel(v.cleX(source.left() + source.width()), v.valeurY(source.top() + source.height())));
    const qreal r = v.ratio;
    const QRectF sourceDevice(source.left() * r, source.top() * r, source.width() * r,
                              source.height() * r);
    painter->save();
    painter->setClipRect(m.zone());
    painter->drawImage(cible.normalized(), seules_, sourceDevice);
    painter->restore();
}

// Written to, a picture another holds is copied first, as Qt would detach
// it: into memory kept, not new.
static void aSoi(QImage &image)
{
    if (!image.isNull() && !image.isDetached())
        image = reserve::copie(image);
}

void Cliche::retouche(const QImage &brouillon, const QVector<QRect> &sale,
                      std::shared_ptr<const Etats> etats)
{
    const size_t octets = 4;
    aSoi(image_);
    aSoi(seules_);
    for (const QRect &r : sale) {
        const QRect d = r.intersected(image_.rect());
        for (int y = d.top(); y <= d.bottom(); ++y) {
            std::memcpy(image_.scanLine(y) + d.left() * octets,
                        brouillon.constScanLine(y) + d.left() * octets, size_t(d.width()) * octets);
        }
        if (!seules_.isNull())
            separe(fond_, image_, seules_, d);
    }
    etats_ = std::move(etats);
    suisNeutre();
}

void Cliche::separe(const QImage &fond, const QImage &image, QImage &seules, const QRect &dans)
{
    const QRect r = dans.intersected(image.rect());
    auto px = [](const QImage &im, int x, int y) {
        return reinterpret_cast<const QRgb *>(im.constScanLine(y))[x];
    };
    for (int j = r.top(); j <= r.bottom(); ++j) {
        const QRgb *f = reinterpret_cast<const QRgb *>(fond.constScanLine(j));
        const QRgb *im = reinterpret_cast<const QRgb *>(image.constScanLine(j));
        QRgb *s = reinterpret_cast<QRgb *>(seules.scanLine(j));
        for (int i = r.left(); i <= r.right(); ++i) {
            if (f[i] == 0) {
                s[i] = im[i];
                continue;
            }
            s[i] = 0;
            const int voisins[4][2] = {{i - 1, j}, {i + 1, j}, {i, j - 1}, {i, j + 1}};
            for (const auto &p : voisins) {
                if (image.rect().contains(p[0], p[1]) && px(fond, p[0], p[1]) == 0) {
                    s[i] = px(image, p[0], p[1]);
                    break;
                }
            }
        }
    }
}
