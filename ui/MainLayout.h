#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <cstdint>

namespace quorvane {

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
