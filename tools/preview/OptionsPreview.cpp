// Shows the options dialog scrolled to the top or the bottom, for screenshots of its layout.
// Usage: options-preview top|bottom
#include "TOptions.h"

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    quorvane::TOptions dialog(nullptr);
    dialog.show();
    QScrollBar *bar = dialog.ScrollBox1->verticalScrollBar();
    bar->setValue(argc > 1 && QByteArray(argv[1]) == "bottom" ? bar->maximum() : 0);
    return app.exec();
}
