// The yardstick: a bare 240x34 bar whose one 100 ms timer writes a label.
#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLabel bar;
    bar.setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool);
    bar.setGeometry(1280, 0, 240, 34);
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &bar, [&bar] {
        const QString text = QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss"));
        if (bar.text() != text)
            bar.setText(text);
    });
    timer.start(100);
    bar.show();
    return app.exec();
}
