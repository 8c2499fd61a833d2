// Writes the workstation's own notification sounds into a folder, the same
// bytes on every run: 16 kHz mono 16-bit WAVE files, synthesised here.
//
//   Alarm.wav     lift fault: a fast two-tone siren, about 1 s
//   Loop.wav      security loop: two bursts of three short high beeps
//   Call.wav      a cabin calls: a double telephone ring (repeated every 5 s)
//   KeyPress.wav  the talk key: a short click
//
// make_sounds FOLDER
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kRate = 16000;
constexpr double kPi = 3.14159265358979323846;
constexpr double kEdge = 0.005;  // fade in and out of every note, against clicks

using Samples = std::vector<double>;

void Silence(Samples& out, double seconds) {
  out.insert(out.end(), static_cast<size_t>(seconds * kRate), 0.0);
}

// A note of the given partials (hertz, weight), faded at both ends, with an
// optional exponential decay (per second; 0 for none).
void Note(Samples& out, double seconds, std::initializer_list<std::pair<double, double>> partials,
          double level, double decay = 0) {
  const size_t n = static_cast<size_t>(seconds * kRate);
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / kRate;
    double v = 0;
    for (const auto& [hertz, weight] : partials) v += weight * std::sin(2 * kPi * hertz * t);
    const double fade = std::min({1.0, t / kEdge, (seconds - t) / kEdge});
    out.push_back(level * v * fade * std::exp(-decay * t));
  }
}

Samples Alarm() {
  Samples s;
  for (int i = 0; i < 8; ++i)
    Note(s, 0.12, {{i % 2 ? 740.0 : 988.0, 0.8}, {i % 2 ? 2220.0 : 2964.0, 0.2}}, 0.7);
  return s;
}

Samples Loop() {
  Samples s;
  for (int burst = 0; burst < 2; ++burst) {
    for (int beep = 0; beep < 3; ++beep) {
      Note(s, 0.06, {{1568.0, 1.0}}, 0.6);
      Silence(s, 0.04);
    }
    if (burst == 0) Silence(s, 0.18);
  }
  return s;
}

Samples Call() {
  Samples s;
  // Two rings of two mixed tones with a 20 Hz warble, as a telephone bell.
  for (int ring = 0; ring < 2; ++ring) {
    const size_t from = s.size();
    Note(s, 0.4, {{440.0, 0.5}, {480.0, 0.5}}, 0.7);
    for (size_t i = from; i < s.size(); ++i)
      s[i] *= 0.75 + 0.25 * std::sin(2 * kPi * 20 * static_cast<double>(i - from) / kRate);
    Silence(s, 0.2);
  }
  return s;
}

Samples KeyPress() {
  Samples s;
  Note(s, 0.04, {{2000.0, 0.7}, {3000.0, 0.3}}, 0.5, 80);
  return s;
}

void Put16(std::string& out, uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v & 0xFFFF));
  Put16(out, static_cast<uint16_t>(v >> 16));
}

bool WriteWave(const std::string& path, const Samples& samples) {
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::string bytes = "RIFF";
  Put32(bytes, 36 + dataBytes);
  bytes += "WAVEfmt ";
  Put32(bytes, 16);
  Put16(bytes, 1);  // PCM
  Put16(bytes, 1);  // mono
  Put32(bytes, kRate);
  Put32(bytes, kRate * 2);
  Put16(bytes, 2);
  Put16(bytes, 16);
  bytes += "data";
  Put32(bytes, dataBytes);
  for (double v : samples) {
    const double clipped = std::fmax(-1.0, std::fmin(1.0, v));
    Put16(bytes, static_cast<uint16_t>(static_cast<int16_t>(std::lround(clipped * 32767))));
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sounds FOLDER\n");
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  const std::pair<const char*, Samples> sounds[] = {
      {"Alarm.wav", Alarm()}, {"Loop.wav", Loop()}, {"Call.wav", Call()}, {"KeyPress.wav", KeyPress()}};
  for (const auto& [name, samples] : sounds) {
    if (!WriteWave(folder + name, samples)) {
      std::fprintf(stderr, "make_sounds: cannot write %s%s\n", folder.c_str(), name);
      return 1;
    }
  }
  return 0;
}
