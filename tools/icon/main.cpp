// quorvane-icon DIR SIZE...: writes the menu button's picture as DIR/SIZExSIZE/apps/quorvane.png,
// the icon theme's layout, so the desktop icon is the very drawing the bar shows.
#include "MainLayout.h"

#include <QDir>
#include <QImage>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: quorvane-icon DIR SIZE...\n");
        return 2;
    }
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size <= 0 || size > 1024) {
            std::fprintf(stderr, "quorvane-icon: bad size %s\n", argv[i]);
            return 2;
        }
        const QString dir
            = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/%1x%1/apps").arg(size);
        const QString file = dir + QStringLiteral("/quorvane.png");
        if (!QDir().mkpath(dir) || !quorvane::MenuButtonImage(size).save(file, "PNG")) {
            std::fprintf(stderr, "quorvane-icon: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
