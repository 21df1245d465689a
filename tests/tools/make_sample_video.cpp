// Writes a short sample video with sound for the README's run command: an
// uncompressed 320 x 240 AVI at 15 frames per second with 44.1 kHz stereo
// sound, a little scene that moves and a tune that wanders from left to
// right. Usage: make-sample-video OUT.avi [SECONDS]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/media_writer.h"

namespace {

constexpr int kWidth = 320, kHeight = 240, kFps = 15, kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

struct Picture {
  std::vector<uint8_t> bgr = std::vector<uint8_t>(size_t(kWidth) * kHeight * 3);
  void Set(int x, int y, int r, int g, int b) {
    if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) return;
    uint8_t* p = &bgr[(size_t(y) * kWidth + x) * 3];
    p[0] = uint8_t(std::clamp(b, 0, 255));
    p[1] = uint8_t(std::clamp(g, 0, 255));
    p[2] = uint8_t(std::clamp(r, 0, 255));
  }
  void Box(int x0, int y0, int w, int h, int r, int g, int b) {
    for (int y = y0; y < y0 + h; y++)
      for (int x = x0; x < x0 + w; x++) Set(x, y, r, g, b);
  }
};

// A seven-segment digit, 12 x 22 pixels.
void Digit(Picture& p, int x, int y, int d) {
  static const int segments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
  const int s = segments[d % 10];
  if (s & 1) p.Box(x + 2, y, 8, 2, 255, 255, 255);
  if (s & 2) p.Box(x + 10, y + 2, 2, 8, 255, 255, 255);
  if (s & 4) p.Box(x + 10, y + 12, 2, 8, 255, 255, 255);
  if (s & 8) p.Box(x + 2, y + 20, 8, 2, 255, 255, 255);
  if (s & 16) p.Box(x, y + 12, 2, 8, 255, 255, 255);
  if (s & 32) p.Box(x, y + 2, 2, 8, 255, 255, 255);
  if (s & 64) p.Box(x + 2, y + 10, 8, 2, 255, 255, 255);
}

Picture Frame(int f) {
  Picture p;
  const double t = double(f) / kFps;
  const int horizon = 160;
  // Sky from deep blue to a warm glow at the horizon, slowly changing.
  for (int y = 0; y < horizon; y++) {
    const double k = double(y) / horizon;
    const double glow = 0.5 + 0.5 * std::sin(t * 0.4);
    for (int x = 0; x < kWidth; x++)
      p.Set(x, y, int(30 + 200 * k * glow), int(60 + 120 * k), int(150 + 60 * (1 - k)));
  }
  // The sun crossing the sky.
  const double sx = std::fmod(40 + t * 25, kWidth + 60) - 30, sy = 70 - 30 * std::sin(t * 0.3);
  for (int y = -22; y <= 22; y++)
    for (int x = -22; x <= 22; x++)
      if (x * x + y * y <= 22 * 22) p.Set(int(sx) + x, int(sy) + y, 255, 220 - (x * x + y * y) / 8, 90);
  // Ground with furrows running towards the viewer.
  for (int y = horizon; y < kHeight; y++) {
    const double depth = double(y - horizon + 4) / (kHeight - horizon);
    for (int x = 0; x < kWidth; x++) {
      const double u = (x - kWidth / 2) / depth;
      const bool furrow = int(std::floor((u + t * 80) / 40)) % 2 == 0;
      const int shade = furrow ? 40 : 0;
      p.Set(x, y, 70 + shade, 130 + shade, 50);
    }
  }
  // A ball bouncing along the ground.
  const double bx = 160 + 120 * std::sin(t * 1.1);
  const double by = horizon + 40 - 90 * std::fabs(std::sin(t * 3.0));
  for (int y = -14; y <= 14; y++)
    for (int x = -14; x <= 14; x++)
      if (x * x + y * y <= 14 * 14) {
        const bool stripe = ((x + y + 100) / 6) % 2 == 0;
        p.Set(int(bx) + x, int(by) + y, stripe ? 230 : 200, stripe ? 40 : 200, 40);
      }
  // The frame number, bottom right.
  p.Box(kWidth - 72, kHeight - 34, 66, 28, 0, 0, 0);
  for (int i = 0, n = f; i < 4; i++, n /= 10) Digit(p, kWidth - 22 - 16 * i, kHeight - 31, n % 10);
  return p;
}

// A tune of plucked notes that pans from left to right and back.
std::vector<int16_t> Tune(int seconds) {
  static const double notes[] = {261.63, 329.63, 392.00, 523.25, 392.00, 329.63, 293.66, 349.23};
  const int count = seconds * kRate;
  std::vector<int16_t> pcm(size_t(count) * 2);
  const int noteLength = kRate / 4;
  for (int i = 0; i < count; i++) {
    const int n = i / noteLength;
    const double since = double(i % noteLength) / kRate;
    const double f = notes[n % 8] * (n / 8 % 2 ? 1.5 : 1.0);
    const double v = std::sin(2 * kPi * f * since) * std::exp(-since * 6) * 0.5 +
                     std::sin(2 * kPi * 55 * i / double(kRate)) * 0.08;
    const double pan = 0.5 + 0.5 * std::sin(2 * kPi * i / (kRate * 4.0));
    pcm[2 * size_t(i)] = int16_t(v * (1 - pan) * 30000);
    pcm[2 * size_t(i) + 1] = int16_t(v * pan * 30000);
  }
  return pcm;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: make-sample-video OUT.avi [SECONDS]\n");
    return 2;
  }
  const int seconds = argc == 3 ? std::max(1, std::atoi(argv[2])) : 4;
  belmora::MediaWriter writer;
  const belmora::WaveFormat format = belmora::WaveFormat::Pcm(kRate, 2, 16);
  const belmora::PcmFormatInfo pcm{kRate, 2, 16};
  if (writer.Open(argv[1], kWidth, kHeight, kFps, 1, belmora::CompressOptions{}, &format, &pcm) !=
      belmora::MediaError::kNone) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  const std::vector<int16_t> sound = Tune(seconds);
  const size_t perFrame = size_t(kRate / kFps) * 4;  // bytes of sound per frame
  const auto* bytes = reinterpret_cast<const uint8_t*>(sound.data());
  std::vector<uint8_t> rows(size_t(kWidth) * kHeight * 3);
  for (int f = 0; f < seconds * kFps; f++) {
    const Picture p = Frame(f);
    for (int y = 0; y < kHeight; y++)  // bottom row first
      std::copy_n(&p.bgr[size_t(kHeight - 1 - y) * kWidth * 3], kWidth * 3,
                  &rows[size_t(y) * kWidth * 3]);
    if (!writer.WriteVideo(rows.data()) || !writer.WriteAudio(bytes + f * perFrame, perFrame)) {
      std::fprintf(stderr, "cannot write %s\n", argv[1]);
      return 1;
    }
  }
  if (!writer.Close()) {
    std::fprintf(stderr, "cannot finish %s\n", argv[1]);
    return 1;
  }
  return 0;
}
