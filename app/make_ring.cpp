// Writes the completion sound "ring001.wav": a two-note chime (E6, then
// C6), 16-bit PCM, 44100 Hz, mono, under a second. Run by the build, so the
// sound is ours and no binary is kept in the tree.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

void Put16(std::vector<uint8_t> &AOut, uint32_t AValue) {
  AOut.push_back(static_cast<uint8_t>(AValue & 0xFF));
  AOut.push_back(static_cast<uint8_t>((AValue >> 8) & 0xFF));
}

void Put32(std::vector<uint8_t> &AOut, uint32_t AValue) {
  Put16(AOut, AValue & 0xFFFF);
  Put16(AOut, AValue >> 16);
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.wav\n", argv[0]);
    return 2;
  }
  constexpr uint32_t rate = 44100;
  constexpr double seconds = 0.9;
  constexpr double pi = 3.14159265358979323846;
  struct TNote {
    double Start, Frequency;
  } const notes[] = {{0.0, 1318.51}, {0.22, 1046.50}};
  const auto samples = static_cast<uint32_t>(rate * seconds);
  std::vector<uint8_t> pcm;
  for (uint32_t i = 0; i < samples; ++i) {
    const double t = static_cast<double>(i) / rate;
    double v = 0;
    for (const TNote &n : notes) {
      const double u = t - n.Start;
      if (u < 0)
        continue;
      // A quick rise (no click), a bell-like fall, and a soft octave above.
      const double envelope = std::min(1.0, u / 0.004) * std::exp(-u / 0.22);
      v += envelope * (std::sin(2 * pi * n.Frequency * u) + 0.3 * std::sin(4 * pi * n.Frequency * u));
    }
    // The last 20 ms fade out, so the file ends in silence.
    v *= std::min(1.0, (seconds - t) / 0.02);
    const auto s = static_cast<int16_t>(std::lround(std::clamp(v * 0.35, -1.0, 1.0) * 32767));
    Put16(pcm, static_cast<uint16_t>(s));
  }

  std::vector<uint8_t> wav = {'R', 'I', 'F', 'F'};
  Put32(wav, static_cast<uint32_t>(36 + pcm.size()));
  for (char c : {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '})
    wav.push_back(static_cast<uint8_t>(c));
  Put32(wav, 16);
  Put16(wav, 1);        // PCM
  Put16(wav, 1);        // mono
  Put32(wav, rate);
  Put32(wav, rate * 2); // bytes per second
  Put16(wav, 2);        // bytes per frame
  Put16(wav, 16);       // bits per sample
  for (char c : {'d', 'a', 't', 'a'})
    wav.push_back(static_cast<uint8_t>(c));
  Put32(wav, static_cast<uint32_t>(pcm.size()));
  wav.insert(wav.end(), pcm.begin(), pcm.end());

  std::FILE *out = std::fopen(argv[1], "wb");
  if (!out || std::fwrite(wav.data(), 1, wav.size(), out) != wav.size() || std::fclose(out) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
