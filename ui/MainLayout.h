#pragma once

#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <cstdint>
#include <string>

class QWidget;

namespace quorvane {

class TBarLabel;

// Font sizes are given at 96 pixels per inch: 12 points is 16 pixels.
int PointsToPixels(int points);
// Tahoma where the desktop has it; otherwise a face of about its width.
QFont Tahoma(bool bold, int pixels);
// One of the bar's texts: white on the bar's colour, passing the pointer's moves on.
TBarLabel *MakeBarLabel(QWidget *parent, const char *name, const QFont &font, bool fillBackground);
// What the status label's tip tells when the schedule has run out: the command that writes ten
// more years of it in place, from the given year.
QString ExtendScheduleHint(const std::string &appDir, int year);

// The clock and countdown font size (points) and the menu button's top for a window height;
// false above 176 pixels, where both stay as they were.
bool FontForHeight(int height, int &points, int &buttonTop);

// What one auto-hide step does with the window.
enum class AutoHideAction { Nothing, Reveal, Retract };

struct AutoHideInput
{
    bool autoHide = false;
    bool scheduleAnswered = false; // NextEvent returned true
    bool desktopUnlocked = true;
    bool pointerInside = false;
    bool open = false;
    double remaining = 0; // days
    int32_t leadBeforeOpening = 15;
    int32_t leadBeforeClosing = 60;
};

AutoHideAction DecideAutoHide(const AutoHideInput &in);

// The opacity floor for a transparency setting of 0..100.
inline uint8_t FadeFloor(int32_t transparency)
{
    return static_cast<uint8_t>(255 - 2 * transparency);
}

// The menu button's 20 by 20 picture: a white tile with a green arrow up-left and an
// orange-to-red arrow down-right; its black corners are transparent.
QPixmap MenuButtonPicture();
// The picture drawn afresh for each usual scale, so a button shows it sharp at any of them.
QIcon MenuButtonIcon();
// The same picture drawn at size by size pixels, for the desktop icon; needs no application object.
QImage MenuButtonImage(int size);

} // namespace quorvane
