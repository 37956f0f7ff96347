#pragma once

namespace sonavi {

class Sound {
 public:
  virtual ~Sound() = default;
  // Starts the program's "RING" wave resource asynchronously; a ring still playing
  // is restarted. Failures are silent.
  virtual void PlayRing() = 0;
};

// Plays the wave resource "RING" of the running program with PlaySoundA.
Sound& SystemSound();

}  // namespace sonavi
