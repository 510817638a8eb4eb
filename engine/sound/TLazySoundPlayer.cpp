#include "TLazySoundPlayer.h"

#include "Exception.h"

#include <dlfcn.h>

#include <utility>

namespace quorvane {

TLazySoundPlayer::TLazySoundPlayer(std::string modulePath)
    : FModulePath(std::move(modulePath))
{ }

TLazySoundPlayer::~TLazySoundPlayer() = default;

bool TLazySoundPlayer::IsPlaying()
{
    if (!FPlayer)
        return false;
    if (FPlayer->IsPlaying())
        return true;
    FPlayer.reset();
    return false;
}

void TLazySoundPlayer::Play(const std::string &path)
{
    if (!FCreate) {
        // Never closed: see the class comment.
        void *module = dlopen(FModulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
        void *create = module ? dlsym(module, Factory) : nullptr;
        if (!create) {
            const char *why = dlerror();
            throw Exception(
                "Cannot play the sound \"" + path + "\": " + (why ? why : FModulePath) + ".");
        }
        FCreate = reinterpret_cast<ISoundPlayer *(*)()>(create);
    }
    // A player whose sound failed is let go of at the next question whether it plays.
    if (!FPlayer)
        FPlayer.reset(FCreate());
    FPlayer->Play(path);
}

} // namespace quorvane
