#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The benchmarks' real-shaped maps, made from data that packages ship:
#   countries      the Digital Chart of the World's country outlines, as GMT
#                  gives them (Debian's gmt and gmt-dcw): huge rings, some of
#                  several hundred thousand points.
#   shorelines     GSHHG's full-resolution shorelines (gmt-gshhg-full),
#                  as GMT cuts them in its bins: PolyLine.
#   counties 100k  the US counties of the census (npm's us-atlas, projected),
#   counties 1M    side by side, copied by translation until about 100,000
#                  and 1,000,000 rings: many small polygons.
#   mix            in one Polygon file, Natural Earth's 10m countries (npm's
#                  world-atlas), the states and provinces of the Digital Chart
#                  of the World and the census's US states and counties, where
#                  they lie: rings of every size, overlapping.
# Nothing is densified or simplified: every point is one the data holds.
#
#   reelles.py [--only WORD] DIRECTORY
#
# Makes in DIRECTORY whichever of the maps (holding WORD) is missing, each
# as kalu-reelle-NAME.shp with its .shx and a .dbf without fields (QGIS
# needs the first, Mapnik the second), and prints one line per map: name,
# shape type, parts, points, points of the largest part, path, separated by
# tabs. A map is made again only if its files or the converter changed.
# npm installs the two npm packages in DIRECTORY/kalu-reelles-npm; GMT
# must be installed (scripts/deps.sh bench). Debian's interpreter and its
# standard library only.
import array
import itertools
import json
import math
import operator
import os
import shutil
import struct
import subprocess
import sys
import tempfile

# Bumped whenever a map would come out different: older files are made again.
EDITION = 3
PAQUETS = {"world-atlas": "2.0.2", "us-atlas": "3.0.1"}
POLYLIGNE, POLYGONE = 3, 5
CIBLES = {"counties 100k": 100_000, "counties 1M": 1_000_000}


def dit(texte):
    sys.stderr.write(texte + "\n")
    sys.stderr.flush()


# --- Shapefiles ---------------------------------------------------------

class Ecrivain:
    """Writes a .shp, its .shx and a .dbf without fields, record by record.

    A part is an array('d') of interleaved x and y. The files are written
    under temporary names and renamed once whole, so that an interrupted run
    leaves no map that looks complete."""

    def __init__(self, chemin, type_):
        self.chemin, self.type = chemin, type_
        self.shp = open(chemin + ".part", "wb")
        self.shp.write(bytes(100))
        self.index = array.array("i")  # offset, length (16-bit words)
        self.boite = [math.inf, math.inf, -math.inf, -math.inf]
        self.parts = self.points = self.plus_grande = 0

    def record(self, parts, boite=None):
        """Writes one record; `boite` (xmin, ymin, xmax, ymax), if known."""
        if boite is None:
            boite = boite_de(parts)
        debuts, n = [], 0
        for p in parts:
            debuts.append(n)
            n += len(p) // 2
            self.plus_grande = max(self.plus_grande, len(p) // 2)
        contenu = 44 + 4 * len(parts) + 16 * n
        self.index.extend((self.shp.tell() // 2, contenu // 2))
        self.shp.write(struct.pack(">ii", len(self.index) // 2, contenu // 2))
        self.shp.write(struct.pack("<i4dii", self.type, *boite, len(parts), n))
        self.shp.write(struct.pack(f"<{len(parts)}i", *debuts))
        for p in parts:
            self.shp.write(p.tobytes())
        self.boite = [min(self.boite[0], boite[0]), min(self.boite[1], boite[1]),
                      max(self.boite[2], boite[2]), max(self.boite[3], boite[3])]
        self.parts += len(parts)
        self.points += n

    def ferme(self):
        records = len(self.index) // 2
        taille = self.shp.tell()
        self.shp.seek(0)
        self.shp.write(self.entete(taille))
        self.shp.close()
        self.index.byteswap()  # the index is big-endian
        with open(self.chemin[:-4] + ".shx.part", "wb") as shx:
            shx.write(self.entete(100 + 8 * records))
            shx.write(self.index.tobytes())
        with open(self.chemin[:-4] + ".dbf.part", "wb") as dbf:
            # dBASE III without fields, dated 2026-01-01: one empty row each.
            dbf.write(struct.pack("<4BIHH20x", 3, 126, 1, 1, records, 33, 1))
            dbf.write(b"\x0d" + b" " * records + b"\x1a")
        for ext in (".dbf", ".shx", ".shp"):
            os.replace(self.chemin[:-4] + ext + ".part", self.chemin[:-4] + ext)

    def entete(self, octets):
        return (struct.pack(">7i", 9994, 0, 0, 0, 0, 0, octets // 2) +
                struct.pack("<2i8d", 1000, self.type, *self.boite, 0, 0, 0, 0))


def boite_de(parts):
    xs = [v for p in parts for v in (min(p[0::2]), max(p[0::2]))]
    ys = [v for p in parts for v in (min(p[1::2]), max(p[1::2]))]
    return min(xs), min(ys), max(xs), max(ys)


def aire(anneau):
    """Twice the signed area: positive counter-clockwise (y up)."""
    xs, ys = anneau[0::2], anneau[1::2]
    return (sum(map(operator.mul, xs[:-1], ys[1:])) -
            sum(map(operator.mul, xs[1:], ys[:-1])))


def anneau_vrai(anneau):
    """Whether a ring has an inside: simplified data keeps a few rings of
    three points or none, which readers such as QGIS's refuse."""
    return len(anneau) >= 8 and aire(anneau) != 0


def oriente(anneau, trou, degres):
    """The ring closed, in longitudes that run on where it crosses 180
    degrees (`degres`), and turned as shapefiles want it: outer rings
    clockwise, holes counter-clockwise (readers such as QGIS's tell holes
    by it)."""
    if anneau[0] != anneau[-2] or anneau[1] != anneau[-1]:
        anneau.extend(anneau[:2])
    if degres:
        anneau = deroule(anneau)
    if (aire(anneau) > 0) != trou:
        xs, ys = anneau[0::2], anneau[1::2]
        xs.reverse()
        ys.reverse()
        anneau[0::2], anneau[1::2] = xs, ys
    return anneau


def deroule(anneau):
    """A closed ring in degrees, drawn on a plane without a stroke across
    the world. The sources differ: Natural Earth's rings jump from 180 to
    -180 where they cross it; GMT gives each country unbroken in longitudes
    that may run up to 360 (the United States from 172 to 293). A ring
    round the pole (an odd number of such jumps, Antarctica) keeps one, at
    180, as Natural Earth draws it; any other ring runs on east of 180."""
    xs = anneau[0::2]
    sauts = sum(abs(b - a) > 180 for a, b in zip(xs, xs[1:]))
    if sauts % 2:
        decale = lambda x: x - 360 if x > 180 else x
    elif sauts:
        decale = lambda x: x + 360 if x < 0 else x
    elif min(xs) >= 180:
        decale = lambda x: x - 360
    else:
        return anneau
    anneau[0::2] = array.array("d", map(decale, xs))
    return anneau


# --- Sources --------------------------------------------------------------

def npm(dossier):
    """The npm packages' folder, installed there if need be."""
    cache = os.path.join(dossier, "kalu-reelles-npm")
    modules = os.path.join(cache, "node_modules")
    voulus = [f"{nom}@{v}" for nom, v in PAQUETS.items()
              if not version_presente(modules, nom, v)]
    if voulus:
        dit(f"npm install {' '.join(voulus)} (in {cache})")
        os.makedirs(cache, exist_ok=True)
        subprocess.run(["npm", "install", "--prefix", cache, "--no-audit", "--no-fund",
                        "--no-save", "--loglevel=error"] + voulus,
                       check=True, stdout=subprocess.DEVNULL)
    return modules


def version_presente(modules, nom, version):
    try:
        with open(os.path.join(modules, nom, "package.json")) as f:
            return json.load(f).get("version") == version
    except OSError:
        return False


class Topologie:
    """A TopoJSON file: its arcs decoded (quantized, delta-encoded) once."""

    def __init__(self, chemin, retourne_y=False):
        with open(chemin) as f:
            t = json.load(f)
        self.objets = t["objects"]
        (sx, sy), (tx, ty) = t["transform"]["scale"], t["transform"]["translate"]
        signe = -1 if retourne_y else 1
        self.degres = not retourne_y
        self.arcs = []
        for arc in t["arcs"]:
            x = y = 0
            a = array.array("d")
            for dx, dy in arc:
                x += dx
                y += dy
                a.extend((x * sx + tx, signe * (y * sy + ty)))
            self.arcs.append(a)

    def anneau(self, indices):
        """A ring of arcs, each after the first without its first point (the
        last of the one before); ~i is arc i backwards."""
        r = array.array("d")
        for i in indices:
            if i >= 0:
                a = self.arcs[i]
            else:
                a = array.array("d", self.arcs[~i])
                xs, ys = a[0::2], a[1::2]
                xs.reverse()
                ys.reverse()
                a[0::2], a[1::2] = xs, ys
            r.extend(a if not r else a[2:])
        return r

    def polygones(self, objet):
        """Each feature of `objet` as a list of rings, oriented."""
        for g in self.objets[objet]["geometries"]:
            if g.get("type") == "Polygon":
                polys = [g["arcs"]]
            elif g.get("type") == "MultiPolygon":
                polys = g["arcs"]
            else:
                continue
            anneaux = [oriente(r, k > 0, self.degres) for poly in polys
                       for k, r in enumerate(map(self.anneau, poly)) if anneau_vrai(r)]
            if anneaux:
                yield anneaux


def gmt_coast(arguments, **options):
    """GMT's coast module's output. It runs in a folder of its own, where
    it leaves its gmt.history whatever it is told."""
    with tempfile.TemporaryDirectory(prefix="kalu-gmt-") as ici:
        return subprocess.run(["gmt", "coast"] + arguments, cwd=ici, stdout=subprocess.PIPE,
                              **options).stdout


def gmt(arguments):
    """GMT's dump of segments: (header, array('d') of x, y) for each."""
    sortie = gmt_coast(["-M"] + arguments, check=True, stderr=subprocess.DEVNULL)
    for bloc in sortie.decode().split(">")[1:]:
        entete, _, corps = bloc.partition("\n")
        yield entete.strip(), array.array("d", map(float, corps.split()))


def codes_dcw(etats):
    """The DCW codes GMT knows: countries, or states and provinces."""
    liste = gmt_coast(["-E+L" if etats else "-E+l"], check=False,
                      stderr=subprocess.STDOUT).decode()
    codes = [ligne.split("\t")[0] for ligne in liste.splitlines() if "\t" in ligne]
    return [c for c in codes if ("." in c) == etats]


def dcw(etats):
    """The Digital Chart of the World's outlines, one feature (a list of
    rings) per country or state. GMT drops codes from a long list without a
    word, so they go a few at a time."""
    codes = codes_dcw(etats)
    nom, anneaux = None, []
    for k in range(0, len(codes), 20):
        for entete, points in gmt(["-E" + ",".join(codes[k:k + 20])]):
            trou = entete.startswith("-Ph")
            lequel = entete.removeprefix("-Ph").rsplit(" Segment", 1)[0].strip()
            if lequel != nom and anneaux:
                yield anneaux
                anneaux = []
            nom = lequel
            if anneau_vrai(points):
                anneaux.append(oriente(points, trou, degres=True))
    if anneaux:
        yield anneaux


# --- The maps ------------------------------------------------------------

def pays(e):
    for anneaux in dcw(etats=False):
        e.record(anneaux)


def rivages(e):
    for _entete, ligne in gmt(["-Rd", "-Df", "-W"]):
        if len(ligne) >= 4:
            e.record([ligne])


def comtes(e, cible, modules):
    """The counties, projected (y up), copied side by side in a grid of
    about equal width and height until the target number of rings."""
    topo = Topologie(os.path.join(modules, "us-atlas", "counties-albers-10m.json"),
                     retourne_y=True)
    base = [(anneaux, boite_de(anneaux)) for anneaux in topo.polygones("counties")]
    anneaux = sum(len(a) for a, _ in base)
    copies = max(1, round(cible / anneaux))
    x0 = min(b[0] for _, b in base)
    y0 = min(b[1] for _, b in base)
    largeur = max(b[2] for _, b in base) - x0
    hauteur = max(b[3] for _, b in base) - y0
    colonnes = math.ceil(math.sqrt(copies * hauteur / largeur))
    for k in range(copies):
        dx, dy = (k % colonnes) * largeur, (k // colonnes) * hauteur
        for parts, (xmin, ymin, xmax, ymax) in base:
            e.record([array.array("d", map(operator.add, p, itertools.cycle((dx, dy))))
                      for p in parts], (xmin + dx, ymin + dy, xmax + dx, ymax + dy))


def melange(e, modules):
    monde = Topologie(os.path.join(modules, "world-atlas", "countries-10m.json"))
    for anneaux in monde.polygones("countries"):
        e.record(anneaux)
    for anneaux in dcw(etats=True):
        e.record(anneaux)
    usa = Topologie(os.path.join(modules, "us-atlas", "counties-10m.json"))
    for objet in ("states", "counties"):
        for anneaux in usa.polygones(objet):
            e.record(anneaux)


CARTES = {
    "countries": (POLYGONE, lambda e, m: pays(e)),
    "shorelines": (POLYLIGNE, lambda e, m: rivages(e)),
    "counties 100k": (POLYGONE, lambda e, m: comtes(e, CIBLES["counties 100k"], m)),
    "counties 1M": (POLYGONE, lambda e, m: comtes(e, CIBLES["counties 1M"], m)),
    "mix": (POLYGONE, lambda e, m: melange(e, m)),
}
NPM = {"counties 100k", "counties 1M", "mix"}
GMT = {"countries", "shorelines", "mix"}


def fiche(dossier, nom):
    return os.path.join(dossier, "kalu-reelle-" + nom.replace(" ", "-") + ".txt")


def deja_faite(dossier, nom):
    """The map's line, if its files are those the present converter made."""
    try:
        with open(fiche(dossier, nom)) as f:
            edition, taille, ligne = f.read().rstrip("\n").split("\n")
        chemin = ligne.split("\t")[-1]
        if int(edition) == EDITION and os.path.getsize(chemin) == int(taille) and \
                all(os.path.exists(chemin[:-4] + x) for x in (".shx", ".dbf")):
            return ligne
    except (OSError, ValueError):
        pass
    return None


def fais(dossier, nom, modules):
    type_, faiseur = CARTES[nom]
    chemin = os.path.join(dossier, "kalu-reelle-" + nom.replace(" ", "-") + ".shp")
    dit(f"making {chemin}")
    e = Ecrivain(chemin, type_)
    faiseur(e, modules)
    e.ferme()
    ligne = f"{nom}\t{type_}\t{e.parts}\t{e.points}\t{e.plus_grande}\t{chemin}"
    with open(fiche(dossier, nom), "w") as f:
        f.write(f"{EDITION}\n{os.path.getsize(chemin)}\n{ligne}\n")
    return ligne


def main():
    args = sys.argv[1:]
    seul = ""
    if len(args) == 3 and args[0] == "--only":
        seul = args[1]
        args = args[2:]
    if len(args) != 1:
        sys.stderr.write("usage: reelles.py [--only WORD] DIRECTORY\n")
        return 2
    dossier = os.path.abspath(args[0])
    modules = None
    for nom in CARTES:
        if seul not in nom:
            continue
        ligne = deja_faite(dossier, nom)
        if ligne is None:
            if nom in GMT and not shutil.which("gmt"):
                raise SystemExit("reelles.py: GMT is missing (sh scripts/deps.sh bench installs it)")
            if nom in NPM and modules is None:
                modules = npm(dossier)
            ligne = fais(dossier, nom, modules)
        print(ligne, flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
