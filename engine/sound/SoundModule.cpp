// The module the bar loads at its first sound: the player on the sound libraries.
#include "TLazySoundPlayer.h"
#include "TSoundPlayer.h"

extern "C" __attribute__((visibility("default"))) quorvane::ISoundPlayer *
quorvane_new_sound_player()
{
    return new quorvane::TSoundPlayer();
}
