#include "MainLayout.h"

#include "Latin1.h"
#include "TBarLabel.h"
#include "TBaseMainForm.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPolygon>

#include <cmath>

namespace quorvane {

namespace {

// A path as one word for the shell.
std::string Quoted(const std::string &path)
{
    std::string q = "'";
    for (char c : path)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

} // namespace

bool FontForHeight(int height, int &points, int &buttonTop)
{
    if (height > 176)
        return false;
    if (height <= 40) {
        points = 12;
        buttonTop = 1;
    } else if (height >= 74) {
        points = 36;
        buttonTop = 12;
    } else {
        // Steps three pixels of height wide from 41 up to 73.
        const int step = (height - 41) / 3 + 1;
        points = 12 + 2 * step;
        buttonTop = 1 + step;
    }
    return true;
}

AutoHideAction DecideAutoHide(const AutoHideInput &in)
{
    if (!in.autoHide)
        return AutoHideAction::Reveal;
    if (!in.scheduleAnswered || !in.desktopUnlocked)
        return AutoHideAction::Nothing;
    if (in.pointerInside)
        return AutoHideAction::Reveal;
    const double whole = std::trunc(in.remaining * 1440.0);
    const int64_t minutes = std::isfinite(whole) ? static_cast<int64_t>(whole) : 0;
    const int32_t lead = in.open ? in.leadBeforeClosing : in.leadBeforeOpening;
    return minutes >= lead ? AutoHideAction::Retract : AutoHideAction::Reveal;
}

QImage MenuButtonImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 20.0, size / 20.0);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    // The tile's four corner pixels are the picture's transparent black.
    p.drawRoundedRect(QRectF(0, 0, 20, 20), 1.5, 1.5);
    p.setBrush(QColor(0, 160, 40));
    p.drawPolygon(QPolygon({{2, 2}, {10, 2}, {7, 5}, {11, 9}, {9, 11}, {5, 7}, {2, 10}}));
    QLinearGradient red(QPointF(9, 9), QPointF(18, 18));
    red.setColorAt(0, QColor(255, 150, 0));
    red.setColorAt(1, QColor(220, 20, 20));
    p.setBrush(red);
    p.drawPolygon(QPolygon({{18, 18}, {10, 18}, {13, 15}, {9, 11}, {11, 9}, {15, 13}, {18, 10}}));
    return image;
}

QIcon MenuButtonIcon()
{
    QIcon icon;
    for (const int size : {20, 25, 30, 35, 40, 60, 80})
        icon.addPixmap(QPixmap::fromImage(MenuButtonImage(size)));
    return icon;
}

QPixmap MenuButtonPicture()
{
    return QPixmap::fromImage(MenuButtonImage(20));
}

// Font sizes are given at 96 pixels per inch: 12 points is 16 pixels.
int PointsToPixels(int points)
{
    return static_cast<int>(std::lround(points * 96.0 / 72.0));
}

// Tahoma where the desktop has it; otherwise a face of about its width, so the clock and the
// countdown keep apart on a narrow bar.
QFont Tahoma(bool bold, int pixels)
{
    QFont f;
    f.setFamilies(
        {QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    f.setBold(bold);
    f.setPixelSize(pixels);
    return f;
}

TBarLabel *MakeBarLabel(QWidget *parent, const char *name, const QFont &font, bool fillBackground)
{
    auto *label = new TBarLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(font);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::Window, TBaseMainForm::Background);
    label->setPalette(p);
    label->setAutoFillBackground(fillBackground);
    label->setMouseTracking(true);
    return label;
}

// What the status label tells when the schedule has run out: the command that writes ten more
// years of it in place.
QString ExtendScheduleHint(const std::string &appDir, int year)
{
    const std::string text
        = ("The schedule has no session ahead. Write one for " + std::to_string(year) + " to "
            + std::to_string(year + 10) + " with\n" + Quoted(appDir + "quorvane-schedule") + " "
            + std::to_string(year) + " " + std::to_string(year + 10) + " -o "
            + Quoted(appDir + "schedule.txt") + "\nthen choose \"Refresh Schedule\".");
    return L1(text);
}

} // namespace quorvane
