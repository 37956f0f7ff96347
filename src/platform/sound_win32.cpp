#include <windows.h>
#include <mmsystem.h>

#include "platform/sound.h"

namespace sonavi {

namespace {

class Win32Sound : public Sound {
 public:
  void PlayRing() override {
    // SND_RESOURCE | SND_ASYNC: returns at once, a ring still playing is restarted.
    PlaySoundA("ring", GetModuleHandleA(nullptr), SND_RESOURCE | SND_ASYNC);
  }
};

}  // namespace

Sound& SystemSound() {
  static Win32Sound sound;
  return sound;
}

}  // namespace sonavi
