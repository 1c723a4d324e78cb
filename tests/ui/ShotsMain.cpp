#include "PanelShots.h"
#include "Shots.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

// Draws every view off screen into DIR/light and DIR/dark as PNG files, for review.
int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: ui_shots DIR\n");
        return 2;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const QString dir = QString::fromLocal8Bit(argv[1]);
    for (const bool dark : {false, true}) {
        ambleguard::ui::shots::usePalette(dark);
        const QString out = dir + (dark ? "/dark" : "/light");
        ambleguard::ui::renderPanelShots(out);
    }
    return 0;
}
