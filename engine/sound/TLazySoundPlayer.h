#pragma once

#include "Seams.h"

#include <memory>
#include <string>

namespace quorvane {

// The alarm player as the bar holds it: the sound libraries are loaded with the module at the
// first sound, and the player with its output is let go of as soon as nothing plays, so an idle
// bar holds no connection to the sound server. The libraries stay loaded once they were: they
// keep process-wide state that cannot be unloaded safely.
class TLazySoundPlayer final : public ISoundPlayer
{
public:
    // modulePath: the module beside the program that makes the real player.
    explicit TLazySoundPlayer(std::string modulePath);
    ~TLazySoundPlayer() override;

    bool IsPlaying() override;
    void Play(const std::string &path) override;

    bool Loaded() const { return FCreate != nullptr; }
    bool Holding() const { return FPlayer != nullptr; }

    // The module's file name beside the program, as the build names it, and its factory: a
    // function taking nothing and returning a new player.
    static constexpr const char *ModuleName = "quorvane-sound.so";
    static constexpr const char *Factory = "quorvane_new_sound_player";

private:
    std::string FModulePath;
    ISoundPlayer *(*FCreate)() = nullptr;
    std::unique_ptr<ISoundPlayer> FPlayer;
};

} // namespace quorvane
