// belmora-psnr: compares a decoded raw 24-bit video with its source (both
// bgr24, e.g. FFmpeg's rawvideo output) frame by frame and prints the mean
// over frames of the BT.601 luma PSNR and of the RGB PSNR (the squared
// errors of all three channels together), and the PSNR of the mean
// squared errors.
//
//   belmora-psnr WIDTH HEIGHT SOURCE.raw DECODED.raw [FRAMES]
//
// Compares the first FRAMES decoded frames (default: all). An STR frame
// shows the source picture its time falls on, which can be the one before
// or after the frame of the same index (a picture repeated or skipped), so
// each decoded frame is compared with the closest of source frames i - 1,
// i and i + 1. With PSNR_FRAMES set in the environment every frame's
// figures are printed too.
//
//   belmora-psnr --snr REFERENCE.wav DECODED.wav
//
// The SNR of 16-bit PCM sound against its reference (same rate and
// channels): the decoded sound is scaled by the least-squares gain (XA
// decodes at half scale) and shifted by the best lag within 64 frames.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

double Psnr(double mse) { return mse < 1e-12 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse); }

struct Errors {
  double Luma = 0, Rgb = 0;
};

Errors Compare(const unsigned char* a, const unsigned char* b, size_t bytes) {
  Errors e;
  for (size_t i = 0; i < bytes; i += 3) {
    const double d0 = double(a[i]) - b[i], d1 = double(a[i + 1]) - b[i + 1],
                 d2 = double(a[i + 2]) - b[i + 2];
    const double dl = 0.114 * d0 + 0.587 * d1 + 0.299 * d2;
    e.Luma += dl * dl;
    e.Rgb += d0 * d0 + d1 * d1 + d2 * d2;
  }
  e.Luma /= double(bytes / 3);
  e.Rgb /= double(bytes);
  return e;
}

std::vector<unsigned char> ReadAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The samples of a 16-bit PCM WAV file and its channel count; empty when
// it is not one.
std::vector<int16_t> ReadWav(const char* path, int& channels) {
  const std::vector<unsigned char> b = ReadAll(path);
  auto u32 = [&](size_t at) { return uint32_t(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24); };
  std::vector<int16_t> samples;
  if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(&b[8], "WAVE", 4) != 0)
    return samples;
  int bits = 0;
  for (size_t at = 12; at + 8 <= b.size();) {
    const uint32_t size = u32(at + 4);
    const size_t body = at + 8;
    if (std::memcmp(&b[at], "fmt ", 4) == 0 && body + 16 <= b.size()) {
      channels = b[body + 2] | b[body + 3] << 8;
      bits = b[body + 14] | b[body + 15] << 8;
    } else if (std::memcmp(&b[at], "data", 4) == 0 && bits == 16) {
      const size_t end = std::min<size_t>(b.size(), body + size);
      for (size_t i = body; i + 1 < end; i += 2) samples.push_back(int16_t(b[i] | b[i + 1] << 8));
      return samples;
    }
    at = body + size + (size & 1);
  }
  return samples;
}

int Snr(const char* referencePath, const char* decodedPath) {
  int ca = 0, cb = 0;
  const std::vector<int16_t> a = ReadWav(referencePath, ca), b = ReadWav(decodedPath, cb);
  if (a.empty() || b.empty() || ca != cb || ca < 1) {
    std::fprintf(stderr, "need two 16-bit PCM WAV files with the same channels\n");
    return 1;
  }
  const long channels = ca, frames = long(std::min(a.size(), b.size()) / size_t(channels));
  // Leave out the first and last tenth of a second: the ends of the sound.
  const long skip = 4000, count = frames - 2 * skip - 64;
  if (count <= 0) {
    std::fprintf(stderr, "the sound is too short\n");
    return 1;
  }
  double best = -1e9;
  long bestLag = 0;
  for (long lag = -64; lag <= 64; lag++) {
    double ab = 0, bb = 0, aa = 0;
    for (long i = skip * channels; i < (skip + count) * channels; i++) {
      const double x = a[size_t(i)], y = b[size_t(i + lag * channels)];
      ab += x * y;
      bb += y * y;
      aa += x * x;
    }
    if (bb <= 0) continue;
    // With the best gain g = ab / bb the error energy is aa - ab^2 / bb.
    const double noise = aa - ab * ab / bb;
    const double snr = noise <= 0 ? 99 : 10 * std::log10(aa / noise);
    if (snr > best) {
      best = snr;
      bestLag = lag;
    }
  }
  std::printf("snr %.2f lag %ld\n", best, bestLag);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--snr") == 0) return Snr(argv[2], argv[3]);
  if (argc < 5) {
    std::fprintf(stderr,
                 "usage: %s WIDTH HEIGHT SOURCE.raw DECODED.raw [FRAMES]\n"
                 "       %s --snr REFERENCE.wav DECODED.wav\n",
                 argv[0], argv[0]);
    return 2;
  }
  const long w = std::atol(argv[1]), h = std::atol(argv[2]);
  const std::vector<unsigned char> source = ReadAll(argv[3]), decoded = ReadAll(argv[4]);
  const size_t frameBytes = size_t(w) * size_t(h) * 3;
  if (w <= 0 || h <= 0 || source.size() < frameBytes || decoded.size() < frameBytes) {
    std::fprintf(stderr, "cannot read the inputs\n");
    return 1;
  }
  const long sourceFrames = long(source.size() / frameBytes);
  long frames = long(decoded.size() / frameBytes);
  if (argc > 5) frames = std::min(frames, std::atol(argv[5]));
  const bool verbose = std::getenv("PSNR_FRAMES") != nullptr;
  double sumLuma = 0, sumRgb = 0, mseLuma = 0, mseRgb = 0;
  for (long f = 0; f < frames; f++) {
    Errors best{1e30, 1e30};
    long match = -1;
    for (long s = f - 1; s <= f + 1; s++) {
      if (s < 0 || s >= sourceFrames) continue;
      const Errors e = Compare(&source[size_t(s) * frameBytes], &decoded[size_t(f) * frameBytes],
                               frameBytes);
      if (e.Rgb < best.Rgb) {
        best = e;
        match = s;
      }
    }
    if (match < 0) {
      frames = f;
      break;
    }
    if (verbose)
      std::printf("frame %ld (source %ld): luma %.2f rgb %.2f\n", f, match, Psnr(best.Luma),
                  Psnr(best.Rgb));
    sumLuma += Psnr(best.Luma);
    sumRgb += Psnr(best.Rgb);
    mseLuma += best.Luma;
    mseRgb += best.Rgb;
  }
  if (frames == 0) {
    std::fprintf(stderr, "no frame to compare\n");
    return 1;
  }
  std::printf("frames %ld luma %.2f rgb %.2f luma_of_mean_mse %.2f rgb_of_mean_mse %.2f\n", frames,
              sumLuma / double(frames), sumRgb / double(frames), Psnr(mseLuma / double(frames)),
              Psnr(mseRgb / double(frames)));
  return 0;
}
