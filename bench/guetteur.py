#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# A watcher that sees only the viewer's window, as a person or a screen
# recorder does: the viewer runs under an Xvfb of its own, the file is
# opened through Explorer's dialog by keystrokes, the pans are real pointer
# gestures sent through XTest, and the pictures are grabs of the window
# (MIT-SHM, one copy of the window's pixels into shared memory).
#
#   guetteur.py [--runs N] [--polls MS,...,damage] [--gestures drag,wheel]
#               [--probe] [--bench VIEWER] [--bench-x] [--kalu KALU]
#               [--display N] FILE.shp...
#
# For each file: the window is sized so that its plot is 800 x 600 (the
# benchmark's), the file is loaded, the window is left until its picture
# holds still; then N rounds, each of them: `kalu_bench_viewer --redessin
# FILE` (the benchmark's figure, from inside its own process; --bench), and
# for each polling interval a drag of 8 pixels (about 1 % of the axis) and
# one wheel notch, each timed from its first event and from its last (the
# release, the notch) to the first grab equal to the final picture. The
# final picture is the one that then holds still for QUIET_S. "damage" in
# --polls: no grab at all; the watcher sleeps on the server's DAMAGE
# events, which date each paint of the window by the server's clock, and
# the last paint is the sharp picture. --bench-x: the benchmark's pan also
# on a second Xvfb (Qt's xcb platform) rather than offscreen. --probe: the
# same gestures with a single grab each, taken at a chosen delay after the
# gesture's end, the delay bisected over 8 gestures of each kind: the time
# the sharp picture takes when nothing polls (one gesture a step: on a busy
# machine one slow gesture misleads it; the damage clock is the sounder).
import argparse
import ctypes
import ctypes.util
import os
import select
import signal
import statistics
import subprocess
import sys
import time
import zlib

QUIET_S = 3.0  # longer than any complete drawing of these maps on a busy machine
LIMIT_S = 20.0
DRAG_PX = 8
PLOT = (800, 600)

# ------------------------------------------------------------------ Xlib

X11 = ctypes.CDLL(ctypes.util.find_library("X11"))
XEXT = ctypes.CDLL(ctypes.util.find_library("Xext"))
XTST = ctypes.CDLL(ctypes.util.find_library("Xtst"))
XDAMAGE = ctypes.CDLL(ctypes.util.find_library("Xdamage"))
LIBC = ctypes.CDLL(None, use_errno=True)

VP, UL = ctypes.c_void_p, ctypes.c_ulong
X11.XOpenDisplay.restype = VP
X11.XOpenDisplay.argtypes = [ctypes.c_char_p]
X11.XDefaultRootWindow.restype = UL
X11.XDefaultRootWindow.argtypes = [VP]
X11.XDefaultScreen.argtypes = [VP]
X11.XDefaultVisual.restype = VP
X11.XDefaultVisual.argtypes = [VP, ctypes.c_int]
X11.XDefaultDepth.argtypes = [VP, ctypes.c_int]
X11.XInternAtom.restype = UL
X11.XInternAtom.argtypes = [VP, ctypes.c_char_p, ctypes.c_int]
X11.XQueryTree.argtypes = [VP, UL, ctypes.POINTER(UL), ctypes.POINTER(UL),
                           ctypes.POINTER(ctypes.POINTER(UL)), ctypes.POINTER(ctypes.c_uint)]
X11.XGetWindowProperty.argtypes = [VP, UL, UL, ctypes.c_long, ctypes.c_long, ctypes.c_int, UL,
                                   ctypes.POINTER(UL), ctypes.POINTER(ctypes.c_int),
                                   ctypes.POINTER(UL), ctypes.POINTER(UL),
                                   ctypes.POINTER(ctypes.c_void_p)]
X11.XFree.argtypes = [VP]
X11.XSync.argtypes = [VP, ctypes.c_int]
X11.XResizeWindow.argtypes = [VP, UL, ctypes.c_uint, ctypes.c_uint]
X11.XStringToKeysym.restype = UL
X11.XStringToKeysym.argtypes = [ctypes.c_char_p]
X11.XKeysymToKeycode.restype = ctypes.c_ubyte
X11.XKeysymToKeycode.argtypes = [VP, UL]
X11.XGetGeometry.argtypes = [VP, UL, ctypes.POINTER(UL), ctypes.POINTER(ctypes.c_int),
                             ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_uint),
                             ctypes.POINTER(ctypes.c_uint), ctypes.POINTER(ctypes.c_uint),
                             ctypes.POINTER(ctypes.c_uint)]
X11.XGetWindowAttributes.argtypes = [VP, UL, ctypes.c_void_p]
X11.XSetInputFocus.argtypes = [VP, UL, ctypes.c_int, UL]
X11.XConnectionNumber.argtypes = [VP]
X11.XPending.argtypes = [VP]
X11.XNextEvent.argtypes = [VP, VP]
XDAMAGE.XDamageQueryExtension.argtypes = [VP, ctypes.POINTER(ctypes.c_int),
                                          ctypes.POINTER(ctypes.c_int)]
XDAMAGE.XDamageCreate.restype = UL
XDAMAGE.XDamageCreate.argtypes = [VP, UL, ctypes.c_int]
XDAMAGE.XDamageDestroy.argtypes = [VP, UL]
XTST.XTestFakeMotionEvent.argtypes = [VP, ctypes.c_int, ctypes.c_int, ctypes.c_int, UL]
XTST.XTestFakeButtonEvent.argtypes = [VP, ctypes.c_uint, ctypes.c_int, UL]
XTST.XTestFakeKeyEvent.argtypes = [VP, ctypes.c_uint, ctypes.c_int, UL]


class ShmInfo(ctypes.Structure):
    _fields_ = [("shmseg", UL), ("shmid", ctypes.c_int), ("shmaddr", ctypes.c_void_p),
                ("readOnly", ctypes.c_int)]


XEXT.XShmQueryExtension.argtypes = [VP]
XEXT.XShmCreateImage.restype = VP
XEXT.XShmCreateImage.argtypes = [VP, VP, ctypes.c_uint, ctypes.c_int, ctypes.c_char_p,
                                 ctypes.POINTER(ShmInfo), ctypes.c_uint, ctypes.c_uint]
XEXT.XShmAttach.argtypes = [VP, ctypes.POINTER(ShmInfo)]
XEXT.XShmDetach.argtypes = [VP, ctypes.POINTER(ShmInfo)]
XEXT.XShmGetImage.argtypes = [VP, UL, VP, ctypes.c_int, ctypes.c_int, UL]
LIBC.shmget.argtypes = [ctypes.c_int, ctypes.c_size_t, ctypes.c_int]
LIBC.shmat.restype = ctypes.c_void_p
LIBC.shmat.argtypes = [ctypes.c_int, ctypes.c_void_p, ctypes.c_int]
LIBC.shmdt.argtypes = [ctypes.c_void_p]
LIBC.shmctl.argtypes = [ctypes.c_int, ctypes.c_int, ctypes.c_void_p]
IPC_PRIVATE, IPC_CREAT, IPC_RMID, ZPIXMAP = 0, 0o1000, 0, 2


class Ecran:
    """The display: the viewer's window, its grabs, the pointer and keys."""

    def __init__(self, numero):
        self.d = X11.XOpenDisplay(f":{numero}".encode())
        if not self.d:
            raise RuntimeError(f"cannot open display :{numero}")
        if not XEXT.XShmQueryExtension(self.d):
            raise RuntimeError("the X server has no MIT-SHM")
        self.ecran = X11.XDefaultScreen(self.d)
        self.racine = X11.XDefaultRootWindow(self.d)
        self.shm = None
        self.cout = []  # seconds per grab, copy and checksum included
        base, erreur = ctypes.c_int(), ctypes.c_int()
        if not XDAMAGE.XDamageQueryExtension(self.d, ctypes.byref(base), ctypes.byref(erreur)):
            raise RuntimeError("the X server has no DAMAGE")
        self.dommage = base.value  # XDamageNotify's event type

    def fenetres(self, pid):
        """The mapped top-level windows of process `pid`, biggest first."""
        atome = X11.XInternAtom(self.d, b"_NET_WM_PID", 1)
        r, p = UL(), UL()
        enfants = ctypes.POINTER(UL)()
        n = ctypes.c_uint()
        X11.XQueryTree(self.d, self.racine, ctypes.byref(r), ctypes.byref(p),
                       ctypes.byref(enfants), ctypes.byref(n))
        trouvees = []
        for i in range(n.value):
            w = enfants[i]
            if atome and self._pid(w, atome) == pid and self._visible(w):
                trouvees.append((self.taille(w), w))
        if enfants:
            X11.XFree(enfants)
        trouvees.sort(key=lambda t: -t[0][0] * t[0][1])
        return trouvees

    def _pid(self, w, atome):
        t, f, n, reste = UL(), ctypes.c_int(), UL(), UL()
        v = ctypes.c_void_p()
        if X11.XGetWindowProperty(self.d, w, atome, 0, 1, 0, 0, ctypes.byref(t), ctypes.byref(f),
                                  ctypes.byref(n), ctypes.byref(reste), ctypes.byref(v)) != 0:
            return None
        pid = ctypes.cast(v, ctypes.POINTER(UL))[0] if v and n.value else None
        if v:
            X11.XFree(v)
        return pid

    def _visible(self, w):
        attributs = (ctypes.c_byte * 256)()
        X11.XGetWindowAttributes(self.d, w, attributs)
        # XWindowAttributes.map_state: after 11 ints/longs, see Xlib.h
        return ctypes.cast(attributs, ctypes.POINTER(ctypes.c_int))[23] == 2

    def taille(self, w):
        r = UL()
        x, y = ctypes.c_int(), ctypes.c_int()
        l, h, b, p = ctypes.c_uint(), ctypes.c_uint(), ctypes.c_uint(), ctypes.c_uint()
        X11.XGetGeometry(self.d, w, ctypes.byref(r), ctypes.byref(x), ctypes.byref(y),
                         ctypes.byref(l), ctypes.byref(h), ctypes.byref(b), ctypes.byref(p))
        return (l.value, h.value, x.value, y.value)

    def prepare(self, w):
        """A shared-memory image of window `w`'s size."""
        self.libere()
        largeur, hauteur = self.taille(w)[:2]
        info = ShmInfo()
        image = XEXT.XShmCreateImage(self.d, X11.XDefaultVisual(self.d, self.ecran),
                                     X11.XDefaultDepth(self.d, self.ecran), ZPIXMAP, None,
                                     ctypes.byref(info), largeur, hauteur)
        ligne = ctypes.cast(image, ctypes.POINTER(ctypes.c_int))[11]  # bytes_per_line
        octets = ligne * hauteur
        info.shmid = LIBC.shmget(IPC_PRIVATE, octets, IPC_CREAT | 0o600)
        info.shmaddr = LIBC.shmat(info.shmid, None, 0)
        ctypes.cast(image, ctypes.POINTER(ctypes.c_void_p))[2] = info.shmaddr  # data
        info.readOnly = 0
        XEXT.XShmAttach(self.d, ctypes.byref(info))
        X11.XSync(self.d, 0)
        LIBC.shmctl(info.shmid, IPC_RMID, None)  # gone once both sides detach
        self.shm = (w, image, info, octets, ligne, largeur, hauteur)

    def libere(self):
        if self.shm:
            _, _, info, _, _, _, _ = self.shm
            XEXT.XShmDetach(self.d, ctypes.byref(info))
            X11.XSync(self.d, 0)
            LIBC.shmdt(info.shmaddr)
            self.shm = None

    def saisit(self, garder=False):
        """A grab of the window: its checksum, and its pixels if `garder`."""
        w, image, info, octets, _, _, _ = self.shm
        t = time.perf_counter()
        XEXT.XShmGetImage(self.d, w, image, 0, 0, 0xFFFFFFFF)
        vue = (ctypes.c_char * octets).from_address(info.shmaddr)
        somme = zlib.crc32(vue)
        pixels = bytes(vue) if garder else None
        self.cout.append(time.perf_counter() - t)
        return somme, pixels

    def pixel(self, pixels, x, y):
        _, _, _, _, ligne, _, _ = self.shm
        i = y * ligne + 4 * x
        return pixels[i] | pixels[i + 1] << 8 | pixels[i + 2] << 16

    def focus(self, w):
        """What a window manager does on a click: the keys go to `w`."""
        X11.XSetInputFocus(self.d, w, 2, 0)  # RevertToParent, CurrentTime
        X11.XSync(self.d, 0)

    def ecoute(self, w):
        """From now on, an event whenever the server draws into `w`."""
        return XDAMAGE.XDamageCreate(self.d, w, 0)  # XDamageReportRawRectangles

    def dommages(self, limite):
        """The times the server drew into the window, until nothing was
        drawn for QUIET_S or `limite` s passed; the watcher sleeps in
        select() meanwhile."""
        fd = X11.XConnectionNumber(self.d)
        evenement = (ctypes.c_long * 24)()
        temps = []
        debut = time.perf_counter()
        serveur = []  # the server's times (ms) of the same events
        while True:
            while X11.XPending(self.d):
                X11.XNextEvent(self.d, evenement)
                if ctypes.cast(evenement, ctypes.POINTER(ctypes.c_int))[0] == self.dommage:
                    temps.append(time.perf_counter())
                    serveur.append(evenement[7])  # XDamageNotifyEvent.timestamp
            dernier = temps[-1] if temps else debut
            reste = dernier + QUIET_S - time.perf_counter()
            if reste <= 0 or time.perf_counter() - debut > limite:
                break
            select.select([fd], [], [], reste)
        # Events sent while the watcher was busy sending a gesture are read
        # late: each is dated by the server's clock from the last one, read
        # as it came, the watcher asleep in select().
        return [temps[-1] - (serveur[-1] - t) / 1e3 for t in serveur] if temps else []

    def bouge(self, x, y):
        XTST.XTestFakeMotionEvent(self.d, self.ecran, x, y, 0)
        X11.XSync(self.d, 0)

    def bouton(self, b, appui):
        XTST.XTestFakeButtonEvent(self.d, b, 1 if appui else 0, 0)
        X11.XSync(self.d, 0)

    def touche(self, nom, appui):
        code = X11.XKeysymToKeycode(self.d, X11.XStringToKeysym(nom.encode()))
        XTST.XTestFakeKeyEvent(self.d, code, 1 if appui else 0, 0)
        X11.XSync(self.d, 0)

    def tape(self, texte):
        noms = {"/": "slash", "-": "minus", ".": "period", "_": "underscore", " ": "space"}
        for c in texte:
            maj = c.isupper() or c == "_"
            if maj:
                self.touche("Shift_L", True)
            nom = noms.get(c, c.lower())
            self.touche(nom, True)
            self.touche(nom, False)
            if maj:
                self.touche("Shift_L", False)
            time.sleep(0.005)


# ------------------------------------------------------------- processes

def cpu(pid):
    """User + system CPU seconds of process `pid`."""
    with open(f"/proc/{pid}/stat") as f:
        champs = f.read().rsplit(")", 1)[1].split()
    return (int(champs[11]) + int(champs[12])) / os.sysconf("SC_CLK_TCK")


def moi():
    t = os.times()
    return t.user + t.system


def attend_fenetre(ecran, pid, combien=1, limite=30.0):
    fin = time.monotonic() + limite
    while time.monotonic() < fin:
        f = ecran.fenetres(pid)
        if len(f) >= combien:
            return f
        time.sleep(0.05)
    raise RuntimeError("the viewer's window did not show")


def calme(ecran, intervalle, limite=LIMIT_S):
    """Grabs every `intervalle` s until the picture holds still for
    QUIET_S: the grabs (time, checksum) and whether it did."""
    grabs = []
    serie = 0  # the first grab of the last run of equal ones
    fin = time.perf_counter() + limite
    while True:
        t = time.perf_counter()
        somme, _ = ecran.saisit()
        grabs.append((t, somme))
        if somme != grabs[serie][1]:
            serie = len(grabs) - 1
        if t - grabs[serie][0] >= QUIET_S:
            return grabs, True
        if t > fin:
            return grabs, False
        reste = t + intervalle - time.perf_counter()
        if reste > 0:
            time.sleep(reste)


def derniere_serie(grabs):
    """The first grab of the run of grabs equal to the last one."""
    k = len(grabs) - 1
    while k > 0 and grabs[k - 1][1] == grabs[-1][1]:
        k -= 1
    return k


def lance_xvfb(numero):
    if os.path.exists(f"/tmp/.X{numero}-lock"):
        raise RuntimeError(f"display :{numero} is taken: give another with --display")
    xvfb = subprocess.Popen(["Xvfb", f":{numero}", "-screen", "0", "1600x1200x24", "-nolisten",
                             "tcp"], stderr=subprocess.DEVNULL)
    for _ in range(100):
        if os.path.exists(f"/tmp/.X11-unix/X{numero}"):
            break
        time.sleep(0.05)
    time.sleep(0.2)
    if xvfb.poll() is not None:
        raise RuntimeError(f"Xvfb :{numero} did not start")
    return xvfb


def arrete(p):
    p.send_signal(signal.SIGTERM)
    try:
        p.wait(10)
    except subprocess.TimeoutExpired:
        p.kill()
        p.wait()


class Visionneuse:
    """Xvfb and the viewer in it, the window sized so that its plot is
    PLOT, the file loaded through Explorer."""

    def __init__(self, kalu, fichier, numero):
        self.xvfb = lance_xvfb(numero)
        self.ecran = Ecran(numero)
        env = dict(os.environ, DISPLAY=f":{numero}")
        env.pop("QT_QPA_PLATFORM", None)
        env.pop("QT_SCALE_FACTOR", None)
        self.kalu = subprocess.Popen([kalu], env=env, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        (self.taille, self.fenetre), = attend_fenetre(self.ecran, self.kalu.pid)[:1]
        self.ecran.prepare(self.fenetre)
        calme(self.ecran, 0.05)
        self.plot = self.dimensionne()
        self.charge(fichier)

    def cadre_plot(self):
        """The plot's rectangle in the window: the white area under the
        toolbar, whose first row is the empty title's."""
        _, pixels = self.ecran.saisit(garder=True)
        _, _, _, _, _, largeur, hauteur = self.ecran.shm
        px = self.ecran.pixel
        fond = px(pixels, 1, hauteur - 2)
        milieu = largeur // 2
        haut = next(y for y in range(hauteur) if all(
            px(pixels, milieu, y + k) == 0xFFFFFF for k in range(10)))
        gauche = milieu
        while gauche > 0 and px(pixels, gauche - 1, haut) == 0xFFFFFF:
            gauche -= 1
        droite = milieu
        while droite < largeur - 1 and px(pixels, droite + 1, haut) == 0xFFFFFF:
            droite += 1
        bas = haut
        while bas < hauteur - 1 and px(pixels, gauche, bas + 1) != fond:
            bas += 1
        return gauche, haut, droite - gauche + 1, bas - haut + 1

    def dimensionne(self):
        for _ in range(6):
            x, y, l, h = self.cadre_plot()
            if (l, h) == PLOT:
                return x, y, l, h
            lw, hw = self.ecran.taille(self.fenetre)[:2]
            X11.XResizeWindow(self.ecran.d, self.fenetre, lw + PLOT[0] - l, hw + PLOT[1] - h)
            X11.XSync(self.ecran.d, 0)
            time.sleep(0.3)
            self.ecran.prepare(self.fenetre)
            calme(self.ecran, 0.05)
        raise RuntimeError(f"the plot stays {l} x {h}")

    def charge(self, fichier):
        e = self.ecran
        x, y, l, h = self.plot
        e.bouge(x + l // 2, y + h // 2)
        e.focus(self.fenetre)
        time.sleep(0.2)
        e.touche("Control_L", True)
        e.touche("o", True)
        e.touche("o", False)
        e.touche("Control_L", False)
        fenetres = attend_fenetre(e, self.kalu.pid, 2)
        dialogue = next(w for t, w in fenetres if w != self.fenetre)
        l2, h2, x2, y2 = e.taille(dialogue)
        e.bouge(x2 + l2 // 2, y2 + h2 // 2)
        time.sleep(0.5)
        e.focus(dialogue)
        time.sleep(0.3)
        e.tape(os.path.abspath(fichier))
        e.touche("Return", True)
        e.touche("Return", False)
        t = time.perf_counter()
        while len(e.fenetres(self.kalu.pid)) > 1:
            time.sleep(0.02)
        e.bouge(x + l // 2, y + h // 2)
        grabs, ok = calme(e, 0.05, 120)
        if not ok:
            raise RuntimeError("the loaded map never held still")
        self.charge_s = grabs[derniere_serie(grabs)][0] - t

    def ferme(self):
        self.ecran.libere()
        for p in (self.kalu, self.xvfb):
            arrete(p)

    # -------------------------------------------------------- gestures

    def geste(self, nom, sens):
        """Sends the gesture; returns (time of its first event, of its
        last)."""
        e = self.ecran
        x, y, l, h = self.plot
        cx, cy = x + l // 2, y + h // 2
        e.bouge(cx, cy)
        if nom == "drag":
            debut = time.perf_counter()
            e.bouton(1, True)
            pas = 2 * sens
            for k in range(1, DRAG_PX // 2 + 1):
                time.sleep(0.01)
                e.bouge(cx + k * pas, cy)
            time.sleep(0.01)
            fin = time.perf_counter()
            e.bouton(1, False)
            e.bouge(cx, cy)  # back to the centre, the button up: no drag
            return debut, fin
        debut = time.perf_counter()
        b = 4 if sens > 0 else 5
        e.bouton(b, True)
        e.bouton(b, False)
        return debut, debut

    def mesure(self, nom, sens, intervalle):
        """One gesture, polled every `intervalle` s until still."""
        e = self.ecran
        e.cout = []
        avant = (cpu(self.kalu.pid), cpu(self.xvfb.pid), moi())
        debut, fin = self.geste(nom, sens)
        grabs, ok = calme(e, intervalle)
        apres = (cpu(self.kalu.pid), cpu(self.xvfb.pid), moi())
        k = derniere_serie(grabs)
        net = grabs[k][0]
        # the first grab shows the moved picture, never the sharp one: a
        # sharp picture that came at once is a drawing QUIET_S did not wait for
        ok = ok and k > 0
        duree = grabs[-1][0] - debut
        return {
            "ok": ok, "depuis_debut": net - debut, "depuis_fin": net - fin,
            "grabs": k + 1, "cout_grab": statistics.median(e.cout),
            # CPU over the whole watch (gesture, drawing and QUIET_S still),
            # as a share of the watch's wall time
            "cpu_kalu": (apres[0] - avant[0]), "cpu_xvfb": (apres[1] - avant[1]),
            "cpu_guetteur": (apres[2] - avant[2]), "duree": duree,
        }

    def ecoute(self, nom, sens):
        """One gesture, no grab until the window holds still: the server's
        damage events tell when each picture went in."""
        e = self.ecran
        d = e.ecoute(self.fenetre)
        X11.XSync(e.d, 0)
        e.dommages(0.05)  # what was pending
        avant = (cpu(self.kalu.pid), cpu(self.xvfb.pid), moi())
        debut, fin = self.geste(nom, sens)
        temps = e.dommages(LIMIT_S)
        apres = (cpu(self.kalu.pid), cpu(self.xvfb.pid), moi())
        XDAMAGE.XDamageDestroy(e.d, d)
        X11.XSync(e.d, 0)
        net = temps[-1] if temps else float("nan")
        return {
            "ok": bool(temps), "depuis_debut": net - debut, "depuis_fin": net - fin,
            "grabs": 0, "cout_grab": 0.0, "dessins": [t - fin for t in temps],
            "cpu_kalu": (apres[0] - avant[0]), "cpu_xvfb": (apres[1] - avant[1]),
            "cpu_guetteur": (apres[2] - avant[2]),
            "duree": (temps[-1] if temps else fin) + QUIET_S - debut,
        }

    def sonde(self, nom, sens, delai):
        """One gesture and a single grab `delai` s after its end: whether
        the picture is then the final one."""
        e = self.ecran
        _, fin = self.geste(nom, sens)
        reste = fin + delai - time.perf_counter()
        if reste > 0:
            time.sleep(reste)
        somme, _ = e.saisit()
        time.sleep(0.5)
        grabs, _ = calme(e, 0.1)
        return somme == grabs[-1][1]


def banc(viewer, fichier, affichage=None):
    """The benchmark's pan in its own process: offscreen, or with
    `affichage` on that X display (Qt's xcb platform), whose window paints
    through the X server as the viewer's does."""
    env = dict(os.environ)
    if affichage is not None:
        env.update(DISPLAY=f":{affichage}", QT_QPA_PLATFORM="xcb")
    sortie = subprocess.run([viewer, "--redessin", fichier], stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True, timeout=600, env=env).stdout
    valeurs = dict(c.split("=", 1) for c in sortie.split() if "=" in c)
    return float(valeurs["redessin"]), float(valeurs["plancher"])


def bisecte(v, nom, essais, sens):
    """The delay after the gesture's end from which a single grab sees the
    final picture, bisected between 0 and QUIET_S (an even number of
    gestures: the view ends where it began)."""
    bas, haut = 0.0, QUIET_S
    for _ in range(essais):
        milieu = (bas + haut) / 2
        if v.sonde(nom, sens, milieu):
            haut = milieu
        else:
            bas = milieu
        sens = -sens
    return bas, haut


def peintures(m):
    """The paints the server saw from the gesture's end on, ms."""
    if "dessins" not in m:
        return ""
    return " paints at " + ", ".join(ms(t) for t in m["dessins"])


def libelle(intervalle):
    return f"{intervalle * 1e3:.0f}" if intervalle else "damage"


def ms(x):
    return f"{x * 1e3:.0f}"


def principal():
    p = argparse.ArgumentParser(description="the viewer's sharp picture after a pan, as a "
                                "watcher of the window's pictures sees it")
    p.add_argument("fichiers", nargs="+")
    p.add_argument("--runs", type=int, default=3)
    p.add_argument("--polls", default="5,20,50,damage",
                   help="polling intervals, ms; damage: no polling, the server's damage "
                   "events tell when the window was drawn into")
    p.add_argument("--gestures", default="drag,wheel")
    p.add_argument("--probe", action="store_true", help="also the single-grab bisection")
    p.add_argument("--bench", default="build/release/bench/kalu_bench_viewer",
                   help="kalu_bench_viewer, run beside ('' for none)")
    p.add_argument("--bench-x", action="store_true",
                   help="also the benchmark's pan on an Xvfb of its own (xcb, not offscreen)")
    p.add_argument("--kalu", default="build/release/kalu/kalu")
    p.add_argument("--display", type=int, default=57)
    a = p.parse_args()
    polls = [0 if x == "damage" else int(x) / 1e3 for x in a.polls.split(",") if x]
    gestes = a.gestures.split(",")
    print("file | gesture | poll ms | from start ms | from end ms | grabs | ms/grab | "
          "CPU ms kalu / Xvfb / watcher (watch s)", flush=True)
    resume = []
    print(f"# load average at the start: {os.getloadavg()}", flush=True)
    for fichier in a.fichiers:
        v = Visionneuse(a.kalu, fichier, a.display)
        xvfb2 = lance_xvfb(a.display + 1) if a.bench_x else None
        nom = os.path.basename(fichier)
        try:
            print(f"# {nom}: plot at {v.plot}, loaded and still after {v.charge_s:.2f} s",
                  flush=True)
            res = {}
            bancs, bancsX = [], []
            # each gesture goes back and forth: the view stays where it was
            sens = {g: 1 for g in gestes}
            for r in range(a.runs):
                if a.bench:
                    bancs.append(banc(a.bench, fichier))
                    print(f"{nom} | bench --redessin | | {ms(bancs[-1][0])} | | | | "
                          f"floor {ms(bancs[-1][1])}", flush=True)
                if a.bench and xvfb2:
                    bancsX.append(banc(a.bench, fichier, a.display + 1))
                    print(f"{nom} | bench --redessin on X | | {ms(bancsX[-1][0])} | | | | "
                          f"floor {ms(bancsX[-1][1])}", flush=True)
                for intervalle in polls:
                    for g in gestes:
                        m = (v.mesure(g, sens[g], intervalle) if intervalle else
                             v.ecoute(g, sens[g]))
                        sens[g] = -sens[g]
                        res.setdefault((g, intervalle), []).append(m)
                        print(f"{nom} | {g} | {libelle(intervalle)} | {ms(m['depuis_debut'])}"
                              f" | {ms(m['depuis_fin'])} | {m['grabs']} | "
                              f"{m['cout_grab'] * 1e3:.2f} | {ms(m['cpu_kalu'])} / "
                              f"{ms(m['cpu_xvfb'])} / {ms(m['cpu_guetteur'])} "
                              f"({m['duree']:.2f}){'' if m['ok'] else ' NOT STILL'}"
                              f"{peintures(m)}",
                              flush=True)
            sondes = {}
            if a.probe:
                for g in gestes:
                    sondes[g] = bisecte(v, g, 8, sens[g])
                    print(f"{nom} | {g} | single grab | | {ms(sondes[g][0])} to "
                          f"{ms(sondes[g][1])} | 1 | | ", flush=True)
            resume.append((nom, bancs, bancsX, res, sondes))
        finally:
            v.ferme()
            if xvfb2:
                arrete(xvfb2)
    print(f"# load average at the end: {os.getloadavg()}")
    print("\nmedians: file | bench ms | floor ms | gesture | poll ms | from start ms | "
          "from end ms | grabs | ms/grab | watching, cores | single grab ms")
    for nom, bancs, bancsX, res, sondes in resume:
        b = statistics.median(x[0] for x in bancs) if bancs else float("nan")
        f = statistics.median(x[1] for x in bancs) if bancs else float("nan")
        if bancsX:
            print(f"{nom} | on X: {ms(statistics.median(x[0] for x in bancsX))} | "
                  f"{ms(statistics.median(x[1] for x in bancsX))} | bench on X")
        for (g, intervalle), ms_ in sorted(res.items()):
            med = {k: statistics.median(m[k] for m in ms_)
                   for k in ("depuis_debut", "depuis_fin", "grabs", "cout_grab")}
            # the cores the watching took: the watcher's grabs and Xvfb's copies
            med["part"] = statistics.median((m["cpu_guetteur"] + m["cpu_xvfb"]) / m["duree"]
                                            for m in ms_)
            s = sondes.get(g)
            print(f"{nom} | {ms(b)} | {ms(f)} | {g} | {libelle(intervalle)} | "
                  f"{ms(med['depuis_debut'])} | {ms(med['depuis_fin'])} | {med['grabs']:.0f} | "
                  f"{med['cout_grab'] * 1e3:.2f} | {med['part']:.2f} | "
                  f"{f'{ms(s[0])}-{ms(s[1])}' if s else ''}")
    return 0


if __name__ == "__main__":
    # a SIGTERM ends the viewer and its Xvfb too
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    sys.exit(principal())
