#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Draws a shapefile with one of the viewer's peers, as kalu-export draws it:
# an 800 x 600 picture, white, antialiased, the map fitted to the file's box
# at equal scale on both axes; polygons filled (0, 204, 0, 85) under a
# hairline (0, 204, 0), lines of 1 pixel (0, 102, 255). One drawing per
# process, so that the benchmark times the whole of it: start, load, drawing
# and the PNG written.
#
#   peer_draw.py qgis|mapnik FILE.shp OUT.png
#   peer_draw.py --redessin qgis|mapnik FILE.shp
#
# QGIS draws with one parallel render job, waited for; Mapnik with
# render_to_file. Each keeps its own defaults otherwise (QGIS simplifies
# what falls within a pixel; Mapnik clips). Both fit the map to the box of
# the file's header. Debian's interpreter runs it: the peers' modules are
# Debian packages (python3-qgis, python3-mapnik).
#
# --redessin is the warm redraw: the same drawing in memory (no PNG), then
# three view changes (the view moved by 1 % of its width, right, left,
# right), each drawn again with the layer loaded; prints the first drawing's
# time and the best of the three redraws', "premier=S redessin=S".
import math
import os
import struct
import sys
import time

LARGEUR, HAUTEUR = 800, 600
POLYGONE = 5


def type_de(chemin):
    with open(chemin, "rb") as f:
        return struct.unpack("<i", f.read(36)[32:36])[0]


def chaud(dessine, deplace):
    """The warm redraw: a first drawing, then the best of three after a
    view change of 1 %, back and forth."""
    debut = time.monotonic()
    dessine()
    premier = time.monotonic() - debut
    meilleur = math.inf
    for k in range(3):
        deplace(-0.01 if k % 2 else 0.01)
        debut = time.monotonic()
        dessine()
        meilleur = min(meilleur, time.monotonic() - debut)
    print(f"premier={premier:.6f} redessin={meilleur:.6f}")


def qgis(chemin, sortie, polygone):
    os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
    from qgis.core import (QgsApplication, QgsFillSymbol, QgsLineSymbol,
                           QgsMapRendererParallelJob, QgsMapSettings,
                           QgsRectangle, QgsSingleSymbolRenderer,
                           QgsVectorLayer)
    from qgis.PyQt.QtCore import QSize
    from qgis.PyQt.QtGui import QColor

    app = QgsApplication([], False)
    app.initQgis()
    couche = QgsVectorLayer(chemin, "carte", "ogr")
    if not couche.isValid():
        raise SystemExit(f"QGIS can't open '{chemin}'")
    if polygone:
        symbole = QgsFillSymbol.createSimple({
            "color": "0,204,0,85", "style": "solid",
            "outline_color": "0,204,0,255", "outline_style": "solid",
            "outline_width": "0", "outline_width_unit": "Pixel"})
    else:
        symbole = QgsLineSymbol.createSimple({
            "line_color": "0,102,255,255", "line_style": "solid",
            "line_width": "1", "line_width_unit": "Pixel"})
    couche.setRenderer(QgsSingleSymbolRenderer(symbole))
    reglages = QgsMapSettings()
    reglages.setLayers([couche])
    reglages.setOutputSize(QSize(LARGEUR, HAUTEUR))
    reglages.setBackgroundColor(QColor(255, 255, 255))
    reglages.setFlag(QgsMapSettings.Antialiasing, True)
    reglages.setExtent(couche.extent())

    def dessine():
        travail = QgsMapRendererParallelJob(reglages)
        travail.start()
        travail.waitForFinished()
        return travail.renderedImage()

    def deplace(part):
        vue = reglages.visibleExtent()
        dx = vue.width() * part
        reglages.setExtent(QgsRectangle(vue.xMinimum() + dx, vue.yMinimum(),
                                        vue.xMaximum() + dx, vue.yMaximum()))

    if sortie is None:
        chaud(dessine, deplace)
    elif not dessine().save(sortie, "PNG"):
        raise SystemExit(f"QGIS can't write '{sortie}'")


def mapnik(chemin, sortie, polygone):
    import mapnik as m

    carte = m.Map(LARGEUR, HAUTEUR)
    carte.background = m.Color(255, 255, 255)
    regle = m.Rule()
    if polygone:
        fond = m.PolygonSymbolizer()
        fond.fill = m.Color(0, 204, 0, 85)
        regle.symbols.append(fond)
    trait = m.LineSymbolizer()
    trait.stroke = m.Color(0, 204, 0) if polygone else m.Color(0, 102, 255)
    trait.stroke_width = 1.0
    regle.symbols.append(trait)
    style = m.Style()
    style.rules.append(regle)
    carte.append_style("carte", style)
    couche = m.Layer("carte")
    couche.datasource = m.Shapefile(file=chemin)
    couche.styles.append("carte")
    carte.layers.append(couche)
    carte.zoom_all()
    if sortie is None:
        image = m.Image(LARGEUR, HAUTEUR)

        def deplace(part):
            vue = carte.envelope()
            dx = vue.width() * part
            carte.zoom_to_box(m.Box2d(vue.minx + dx, vue.miny, vue.maxx + dx, vue.maxy))

        chaud(lambda: m.render(carte, image), deplace)
    else:
        # 32 bits, as the others write: Mapnik's plain "png" is a palette.
        m.render_to_file(carte, sortie, "png32")


def main():
    args = sys.argv[1:]
    if len(args) == 3 and args[0] == "--redessin":
        args = args[1:] + [None]
    if len(args) != 3 or args[0] not in ("qgis", "mapnik"):
        sys.stderr.write("usage: peer_draw.py qgis|mapnik FILE.shp OUT.png\n"
                         "       peer_draw.py --redessin qgis|mapnik FILE.shp\n")
        return 2
    outil, chemin, sortie = args
    polygone = type_de(chemin) == POLYGONE
    (qgis if outil == "qgis" else mapnik)(chemin, sortie, polygone)
    sys.stdout.flush()
    # The picture is written: what the interpreter and the libraries would
    # free on the way out is not part of the drawing.
    os._exit(0)


if __name__ == "__main__":
    sys.exit(main())
