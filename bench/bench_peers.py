#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# kalu-export and the viewer beside their peers, QGIS and Mapnik, on the
# benchmark's big maps: each tool draws the same file on an 800 x 600
# picture in a process of its own, in turns, and the table gives the median
# of the runs of each (wall time from start to exit, peak memory, the CPU
# time its page faults took at what one costs on this machine), and the
# ratios to the faster peer.
#
#   bench_peers.py [--runs N] [--only WORD] [--keep DIR] [--reelles | --occupe]
#                  VIEWER EXPORT DIRECTORY
#
# VIEWER is kalu_bench_viewer (it makes the files, and its --charge mode is
# the viewer's load: a shown window, the file loaded as Explorer loads it,
# until the complete picture is on screen; its trace lines go to /dev/null),
# EXPORT is kalu-export, DIRECTORY where the files are kept. --runs: runs of
# each tool on each map (default 3); --only: the maps whose name holds WORD;
# --keep: the last run's pictures are left in DIR; --reelles: the real-shaped
# maps alone; --occupe: on the real-shaped maps, each tool quiet and then
# beside two busy processes at normal priority (see table_occupee).
#
# The maps are the generated ones of at least 100,000 parts or 5,000,000
# points (many small parts and few parts of very many points, polygons and
# lines), then the real-shaped maps of reelles.py. Besides the whole
# processes, the viewer's own figures: its first picture showing part of the
# map while it loads, its complete picture and the longest stall, timed
# from the load's call inside the process.
#
# A second table, on the real-shaped maps of reelles.py: the warm redraw,
# the time from a view change (1 % pan) to the complete picture with the
# map loaded and drawn once, the best of three (right, left, right) in one
# process per tool, the tools taking turns from map to map: the viewer's
# (kalu_bench_viewer --redessin, default threads) beside QGIS's and
# Mapnik's (peer_draw.py --redessin).
import contextlib
import math
import mmap
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

ICI = os.path.dirname(os.path.abspath(__file__))
DESSIN = os.path.join(ICI, "peer_draw.py")
REELLES = os.path.join(ICI, "reelles.py")
PYTHON = "/usr/bin/python3"  # Debian's, whose packages hold the peers' modules
OUTILS = ("kalu-export", "viewer", "QGIS", "Mapnik")
LIMITE_S = 600


def grande(parts, points):
    return parts >= 100_000 or parts * points >= 5_000_000


def cartes(viewer, dossier, seul):
    lignes = subprocess.run([viewer, "--fichiers", dossier], check=True,
                            stdout=subprocess.PIPE, text=True).stdout
    for ligne in lignes.splitlines():
        nom, _type, parts, points, chemin = ligne.split("\t")
        parts, points = int(parts), int(points)
        if grande(parts, points) and seul in nom:
            yield nom, parts, points, chemin


def en_cache(chemin):
    """Reads the map's files once, so that no run pays for the disk."""
    for ext in (".shp", ".shx", ".dbf"):
        with open(chemin[:-4] + ext, "rb") as f:
            while f.read(1 << 24):
                pass


def cout_faute():
    """What one page fault costs on this machine, in microseconds: 256 MiB
    of fresh anonymous memory touched a page at a time, less the same walk
    over the pages once they are there. A process's first touch of its
    memory costs it that much a page, whatever it does with it. Measured in
    a child of its own: the memory would otherwise count in the peak of
    every process this one starts."""
    lu, ecrit = os.pipe()
    pid = os.fork()
    if pid == 0:
        os.close(lu)
        os.write(ecrit, repr(touche_pages()).encode())
        os._exit(0)
    os.close(ecrit)
    with os.fdopen(lu) as f:
        cout = float(f.read())
    os.waitpid(pid, 0)
    return cout


def touche_pages():
    taille, page = 256 << 20, mmap.PAGESIZE
    zone = mmap.mmap(-1, taille)
    temps = []
    for _ in range(2):
        debut = time.perf_counter()
        for i in range(0, taille, page):
            zone[i] = 1
        temps.append(time.perf_counter() - debut)
    zone.close()
    return (temps[0] - temps[1]) / (taille // page) * 1e6


def lance(argv, sortie, erreurs):
    """Runs argv as a whole process: (exit status, wall s, peak MB, page
    faults)."""
    actions = [(os.POSIX_SPAWN_OPEN, 0, os.devnull, os.O_RDONLY, 0),
               (os.POSIX_SPAWN_OPEN, 1, sortie, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644),
               (os.POSIX_SPAWN_OPEN, 2, erreurs, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)]
    debut = time.monotonic()
    pid = os.posix_spawn(argv[0], argv, os.environ, file_actions=actions)
    garde = threading.Timer(LIMITE_S, os.kill, (pid, signal.SIGKILL))
    garde.start()
    _, statut, usage = os.wait4(pid, 0)
    duree = time.monotonic() - debut
    garde.cancel()
    return (os.waitstatus_to_exitcode(statut), duree, usage.ru_maxrss / 1024,
            usage.ru_minflt + usage.ru_majflt)


class Carte:
    def __init__(self, nom, parts, points, chemin, travail):
        self.nom, self.parts, self.points, self.chemin = nom, parts, points, chemin
        self.travail = travail
        self.mesures = {o: [] for o in OUTILS}  # (s, MB, page faults)
        self.charges, self.premieres, self.pires = [], [], []
        self.echecs = []

    def image(self, outil):
        return os.path.join(self.travail, f"{outil}-{self.nom.replace(' ', '-')}.png")

    def commande(self, outil, viewer, export):
        if outil == "kalu-export":
            return [export, self.image(outil), self.chemin]
        if outil == "viewer":
            return [viewer, "--charge", self.chemin]
        return [PYTHON, DESSIN, outil.lower(), self.chemin, self.image(outil)]

    def tour(self, outil, viewer, export):
        sortie = os.path.join(self.travail, "sortie.txt")
        erreurs = os.path.join(self.travail, "erreurs.txt")
        if outil != "viewer" and os.path.exists(self.image(outil)):
            os.unlink(self.image(outil))
        code, s, mo, fautes = lance(self.commande(outil, viewer, export), sortie, erreurs)
        ok = code == 0
        if outil == "viewer":
            with open(sortie) as f:
                figures = dict(m.split("=") for m in f.read().split() if "=" in m)
            ok = ok and int(figures.get("courbes", -1)) == self.parts
            if ok:
                self.charges.append(float(figures["charge_fin"]))
                # No picture while it loaded: the run counts as the slowest.
                premiere = float(figures.get("charge_premiere", -1))
                self.premieres.append(premiere if premiere >= 0 else math.inf)
                self.pires.append(float(figures["charge_pire"]))
        else:
            ok = ok and os.path.getsize(self.image(outil)) > 0
        if ok:
            self.mesures[outil].append((s, mo, fautes))
        else:
            with open(erreurs, errors="replace") as f:
                fin = f.read().strip().splitlines()[-3:]
            self.echecs.append(f"{self.nom}, {outil}: exit {code}: " + " / ".join(fin))

    def mediane(self, outil, i):
        v = [m[i] for m in self.mesures[outil]]
        return statistics.median(v) if v else None


def nombre(v, format_):
    return "failed" if v is None else format_ % v


def premiere(premieres):
    """The median first picture, s: "—" where half the runs or more showed
    none."""
    if not premieres:
        return "failed"
    v = statistics.median(premieres)
    return "—" if v == math.inf else "%.2f" % v


def rapport(a, b):
    return "" if a is None or b is None else "%.2f" % (a / b)


def reelles(dossier, seul):
    """The real-shaped maps, made if need be: (name, parts, points, largest
    part, path)."""
    lignes = subprocess.run([PYTHON, REELLES, "--only", seul, dossier], check=True,
                            stdout=subprocess.PIPE, text=True).stdout
    for ligne in lignes.splitlines():
        nom, _type, parts, points, plus_grande, chemin = ligne.split("\t")
        yield nom, int(parts), int(points), int(plus_grande), chemin


def chaud(argv, travail):
    """A warm redraw process: its key=value figures, or why it failed."""
    sortie = os.path.join(travail, "sortie.txt")
    erreurs = os.path.join(travail, "erreurs.txt")
    code = lance(argv, sortie, erreurs)[0]
    with open(sortie) as f:
        figures = dict(m.split("=") for m in f.read().split() if "=" in m)
    if code == 0 and "redessin" in figures:
        return {k: float(v) for k, v in figures.items()}, None
    with open(erreurs, errors="replace") as f:
        fin = f.read().strip().splitlines()[-3:]
    return None, f"exit {code}: " + " / ".join(fin)


def table_chaude(viewer, dossier, seul, travail):
    print(f"\nWarm redraw on the real-shaped maps (bench/reelles.py): the time from a view "
          f"change (1 % pan) to the complete picture, the map loaded and drawn once, the best "
          f"of three (right, left, right) in one process per tool, the tools taking turns from "
          f"map to map. Viewer: kalu_bench_viewer --redessin (a shown window, offscreen, plot "
          f"800 x 600, default threads, until the complete picture is on screen). QGIS "
          f"{version('python3-qgis')}: a new QgsMapRendererParallelJob on the loaded layer, "
          f"waited for; Mapnik {version('python3-mapnik')}: render to an image in memory; both "
          f"800 x 600 in peer_draw.py's style, fitted to the file's box at equal scale. First: "
          f"the viewer's load until its complete picture, the peers' first render of the "
          f"opened layer. Floor: the viewer's one-thread QPainter drawing of the same parts. "
          f"ms.\n")
    print("| map | parts | points | largest part | viewer | QGIS | Mapnik | viewer / faster peer "
          "| viewer floor | viewer first | QGIS first | Mapnik first |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|")
    echecs = []
    outils = ("viewer", "QGIS", "Mapnik")
    for k, (nom, parts, points, plus_grande, chemin) in enumerate(reelles(dossier, seul)):
        en_cache(chemin)
        f = {}
        for outil in outils[k % 3:] + outils[:k % 3]:
            argv = ([viewer, "--redessin", chemin] if outil == "viewer" else
                    [PYTHON, DESSIN, "--redessin", outil.lower(), chemin])
            f[outil], echec = chaud(argv, travail)
            if f[outil] and outil == "viewer" and f[outil].get("courbes") != parts:
                f[outil], echec = None, f"{f[outil].get('courbes')} curves, not {parts}"
            if echec:
                echecs.append(f"{nom}, {outil} (warm): {echec}")

        def ms(outil, cle):
            return "failed" if f[outil] is None else "%.0f" % (f[outil][cle] * 1e3)

        pairs = [f[o]["redessin"] for o in ("QGIS", "Mapnik") if f[o]]
        rapport_ = ("%.2f" % (f["viewer"]["redessin"] / min(pairs))
                    if f["viewer"] and pairs else "")
        print(f"| {nom} | {parts:,} | {points:,} | {plus_grande:,} | {ms('viewer', 'redessin')} | "
              f"{ms('QGIS', 'redessin')} | {ms('Mapnik', 'redessin')} | {rapport_} | "
              f"{ms('viewer', 'plancher')} | {ms('viewer', 'charge_fin')} | "
              f"{ms('QGIS', 'premier')} | {ms('Mapnik', 'premier')} |", flush=True)
    return echecs


def version(paquet):
    r = subprocess.run(["dpkg-query", "-W", "-f", "${Version}", paquet],
                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return r.stdout or "not installed"


def table_froide(viewer, export, cartes_, runs, travail):
    """cartes_: (name, parts, points, path) of each map."""
    faute = cout_faute()
    print(f"Peers: QGIS {version('python3-qgis')} (one QgsMapRendererParallelJob), Mapnik "
          f"{version('python3-mapnik')} (render_to_file), each drawing the file on an 800 x 600 "
          f"PNG, white, antialiased, fitted to the file's box at equal scale; kalu-export the "
          f"same. Viewer: a shown window (offscreen) loading the file as Explorer does, until "
          f"its complete picture is on screen (its trace lines go to /dev/null); 'load' is that "
          f"time inside the process, from the call, 'first picture' the time from the call to "
          f"the end of the first replot showing part of the map while it loads (—: none did), "
          f"'stall' the longest gap of a 2 ms heartbeat timer from the call to the complete "
          f"picture. Every figure is a whole process, start to exit: the median "
          f"of {runs} runs, the tools taking turns. Peak: the process's max RSS. Faults: the "
          f"process's page faults times what one costs on this machine ({faute:.2f} us, "
          f"measured before the runs), the CPU seconds its first touch of memory took.\n")
    print("| map | points | kalu-export s | viewer s | QGIS s | Mapnik s | kalu-export / faster "
          "peer | viewer / faster peer | viewer first picture s | viewer load s | viewer stall ms "
          "| kalu-export MB | viewer MB | QGIS MB | Mapnik MB "
          "| kalu-export faults s | viewer faults s | QGIS faults s | Mapnik faults s |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|")
    echecs = []
    for nom, parts, points, chemin in cartes_:
        c = Carte(nom, parts, points, chemin, travail)
        en_cache(chemin)
        for r in range(runs):
            # The order turns, so that no tool always follows the same one.
            for outil in OUTILS[r % 4:] + OUTILS[:r % 4]:
                c.tour(outil, viewer, export)
        s = {o: c.mediane(o, 0) for o in OUTILS}
        mo = {o: c.mediane(o, 1) for o in OUTILS}
        fautes = {o: c.mediane(o, 2) for o in OUTILS}
        pairs = [s[o] for o in ("QGIS", "Mapnik") if s[o] is not None]
        pair = min(pairs) if pairs else None
        charge = statistics.median(c.charges) if c.charges else None
        pire = statistics.median(c.pires) * 1e3 if c.pires else None
        print(f"| {nom} | {points:,} | " +
              " | ".join(nombre(s[o], "%.2f") for o in OUTILS) +
              f" | {rapport(s['kalu-export'], pair)} | {rapport(s['viewer'], pair)} | "
              f"{premiere(c.premieres)} | {nombre(charge, '%.2f')} | {nombre(pire, '%.0f')} | " +
              " | ".join(nombre(mo[o], "%.0f") for o in OUTILS) + " | " +
              " | ".join(nombre(None if fautes[o] is None else fautes[o] * faute * 1e-6, "%.2f")
                         for o in OUTILS) + " |", flush=True)
        echecs += c.echecs
    return echecs



class Occupation:
    """Two busy processes at the user's normal priority, one per core, as a
    compile or a browser keeps a desktop busy."""

    def __enter__(self):
        self.pids = [subprocess.Popen(["/bin/sh", "-c", "while :; do :; done"]) for _ in range(2)]
        time.sleep(0.5)
        return self

    def __exit__(self, *_):
        for p in self.pids:
            p.kill()
            p.wait()


def table_occupee(viewer, export, maps, runs, travail):
    """Each tool's whole process on each map, quiet and then with two busy
    processes, in turns, medians of `runs`; the viewer's complete picture and
    its sharp picture after a 1 % pan (--redessin) beside them."""
    print("\nOn a busy desktop: two `sh -c 'while :; do :; done'` at normal priority "
          f"beside each run, against the same quiet; medians of {runs}, whole processes (s); "
          "viewer's complete picture and sharp picture after a pan from inside its process.\n")
    print("| map | tool | quiet | busy | busy / quiet | busy / QGIS busy |")
    print("|---|---|---:|---:|---:|---:|")
    echecs = []
    for nom, parts, _points, chemin in maps:
        en_cache(chemin)
        c = Carte(nom, parts, 0, chemin, travail)
        temps = {}
        for charge in ("quiet", "busy"):
            mesures = {o: [] for o in ("kalu-export", "viewer", "QGIS", "viewer picture",
                                       "viewer pan")}
            for _ in range(runs):
                with Occupation() if charge == "busy" else contextlib.nullcontext():
                    for outil in ("kalu-export", "viewer", "QGIS"):
                        c.mesures[outil].clear()
                        c.tour(outil, viewer, export)
                        if c.mesures[outil]:
                            mesures[outil].append(c.mesures[outil][-1][0])
                    figures, echec = chaud([viewer, "--redessin", chemin], travail)
                    if figures:
                        mesures["viewer picture"].append(figures["charge_fin"])
                        mesures["viewer pan"].append(figures["redessin"])
                    else:
                        echecs.append(f"{nom}, viewer --redessin ({charge}): {echec}")
            temps[charge] = {o: statistics.median(v) if v else None for o, v in mesures.items()}
        for outil in ("viewer", "viewer picture", "viewer pan", "kalu-export", "QGIS"):
            q, b = temps["quiet"][outil], temps["busy"][outil]
            qgis = temps["busy"]["QGIS"] if outil in ("viewer", "kalu-export") else None
            print(f"| {nom} | {outil} | {nombre(q, '%.2f')} | {nombre(b, '%.2f')} | "
                  f"{rapport(b, q)} | {rapport(b, qgis)} |")
        echecs += c.echecs
    return echecs


def main():
    args = sys.argv[1:]
    runs, seul, garde, generees, occupe = 3, "", None, True, False
    while args and args[0].startswith("--"):
        option = args.pop(0)
        if option == "--runs" and args:
            runs = max(1, int(args.pop(0)))
        elif option == "--only" and args:
            seul = args.pop(0)
        elif option == "--keep" and args:
            garde = args.pop(0)
        elif option == "--reelles":
            generees = False
        elif option == "--occupe":
            occupe, generees = True, False
        else:
            args = []
    if len(args) != 3:
        sys.stderr.write("usage: bench_peers.py [--runs N] [--only WORD] [--keep DIR] "
                         "[--reelles | --occupe] VIEWER EXPORT DIRECTORY\n")
        return 2
    viewer, export, dossier = (os.path.abspath(a) for a in args)
    travail = garde or tempfile.mkdtemp(prefix="kalu-peers-", dir=dossier)
    os.makedirs(travail, exist_ok=True)
    # The generated maps first, then the real ones, in one table.
    froides = [(nom, parts, parts * points, chemin)
               for nom, parts, points, chemin in cartes(viewer, dossier, seul)] if generees else []
    froides += [(nom, parts, points, chemin)
                for nom, parts, points, _plus_grande, chemin in reelles(dossier, seul)]
    if occupe:
        echecs = table_occupee(viewer, export, froides, runs, travail)
    else:
        echecs = table_froide(viewer, export, froides, runs, travail)
        echecs += table_chaude(viewer, dossier, seul, travail)
    for e in echecs:
        print(f"(failed: {e})")
    if not garde:
        shutil.rmtree(travail)
    return 1 if echecs else 0


if __name__ == "__main__":
    sys.exit(main())
