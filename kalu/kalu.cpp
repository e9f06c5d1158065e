// SPDX-License-Identifier: GPL-3.0-or-later
// kalu: program entry. Checks the shapefiles named on the command line, then
// opens the window; files reach the plot only through the Explorer action.
#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include "kalumodl.h"
#include "kaluview.h"
#include "zolconf.h"

static const char KLUSRC[] = "../kalu/kalu.cpp";

static int tubeSignal[2] = {-1, -1};

static void surSignal(int)
{
    const char c = 1;
    ssize_t n = write(tubeSignal[1], &c, 1);
    (void)n;
}

// SIGINT (Ctrl+C in the terminal that started the viewer) and SIGTERM (end
// of the session) end the event loop, so the window and the application are
// destroyed normally. The handler only writes to a pipe that the event loop
// watches.
static void quitteSurSignal(QApplication &app)
{
    if (pipe2(tubeSignal, O_CLOEXEC) != 0)
        return;
    auto *veille = new QSocketNotifier(tubeSignal[0], QSocketNotifier::Read, &app);
    QObject::connect(veille, &QSocketNotifier::activated, &app, &QApplication::quit);
    struct sigaction sa = {};
    sa.sa_handler = surSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

int main(int argc, char **argv)
{
    KaluModel model;
    for (int i = 1; i < argc; ++i) {
        if (model.ajouteShapefile(argv[i]) < 0) {
            zolerreur(KLUSRC, "qMain", nullptr, "ajouteShapefile() error!\n");
            return -1;
        }
    }

    QApplication app(argc, argv);
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kalu.Kalu"));
    quitteSurSignal(app);
    KaluView view(nullptr);
    view.show();
    view.adjustEqualScale();
    return app.exec();
}
