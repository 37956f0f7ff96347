// Writes the program's ring sound: a telephone's double ring, two short bursts of a warbled
// 440 + 480 Hz tone with soft edges, then a quiet tail; PCM mono 22050 Hz 16-bit, 1.7 s.
//   ringwave OUTPUT.wav
// Run it after changing the sound and commit the file it writes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace sonavi::ringwave {
namespace {

constexpr int kRate = 22050;
constexpr double kSeconds = 1.7;

struct Burst {
  double start, length;  // seconds
};
constexpr Burst kBursts[] = {{0.0, 0.45}, {0.65, 0.45}};
constexpr double kAttack = 0.02;   // seconds of fade in
constexpr double kRelease = 0.09;  // seconds of fade out
constexpr double kPeak = 0.42;     // of full scale

double Envelope(double t) {
  for (const Burst& b : kBursts) {
    const double local = t - b.start;
    if (local < 0 || local > b.length + kRelease) continue;
    if (local < kAttack) return 0.5 - 0.5 * std::cos(std::numbers::pi * local / kAttack);
    if (local <= b.length) return 1.0;
    return 0.5 + 0.5 * std::cos(std::numbers::pi * (local - b.length) / kRelease);
  }
  return 0.0;
}

double Sample(double t) {
  const double two_pi = 2 * std::numbers::pi;
  // A bell-like ring: the two tones beat at 40 Hz, and a 20 Hz warble gives the trill.
  const double tone = 0.5 * std::sin(two_pi * 440 * t) + 0.5 * std::sin(two_pi * 480 * t);
  const double warble = 0.8 + 0.2 * std::sin(two_pi * 20 * t);
  return kPeak * Envelope(t) * warble * tone;
}

void Put16(std::string& out, unsigned v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace
}  // namespace sonavi::ringwave

int main(int argc, char** argv) {
  using namespace sonavi::ringwave;
  if (argc != 2) {
    std::fprintf(stderr, "usage: ringwave OUTPUT.wav\n");
    return 2;
  }
  const auto frames = static_cast<std::uint32_t>(std::lround(kSeconds * kRate));
  std::string data;
  for (std::uint32_t i = 0; i < frames; ++i) {
    const double v = std::clamp(Sample(static_cast<double>(i) / kRate), -1.0, 1.0);
    Put16(data, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v * 32767))));
  }
  std::string out = "RIFF";
  Put32(out, static_cast<std::uint32_t>(36 + data.size()));
  out += "WAVEfmt ";
  Put32(out, 16);
  Put16(out, 1);  // PCM
  Put16(out, 1);  // mono
  Put32(out, kRate);
  Put32(out, kRate * 2);  // bytes per second
  Put16(out, 2);          // bytes per frame
  Put16(out, 16);         // bits per sample
  out += "data";
  Put32(out, static_cast<std::uint32_t>(data.size()));
  out += data;
  std::ofstream file(argv[1], std::ios::binary);
  file.write(out.data(), static_cast<std::streamsize>(out.size()));
  if (!file) {
    std::fprintf(stderr, "ringwave: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
