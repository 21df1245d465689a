#include "tests/support/game_sector_builder.h"

#include <cstring>

#include "base/bytes.h"

namespace belmora::test {

namespace {

std::vector<uint8_t> Sector(size_t size = 2048) {
  std::vector<uint8_t> s(size);
  // Payload bytes that are neither zero nor a header value.
  for (size_t i = 32; i < size; i++) s[i] = uint8_t(0x5A ^ i);
  return s;
}

void Common(const GameVideoFields& f, uint8_t* p) {
  PutU32(p, 0x80010160);
  PutU16(p + 4, uint32_t(f.ChunkNumber));
  PutU16(p + 6, uint32_t(f.ChunkCount));
  PutU32(p + 8, f.FrameNumber);
  PutU32(p + 12, f.DataSize);
  PutU16(p + 16, uint32_t(f.Width));
  PutU16(p + 18, uint32_t(f.Height));
  std::memcpy(p + 20, f.Header, 8);
  PutU32(p + 28, 0);
}

// Square's sound header: 0x1000 is the sound chip pitch of 44100 Hz,
// 0x116A that of 48000 Hz.
void Akao(uint8_t* p, uint32_t frameMinusOne, uint32_t size) {
  std::memcpy(p, "AKAO", 4);
  PutU32(p + 4, frameMinusOne);
  PutU32(p + 28, size == 1680 ? 0x1000 : 0x116A);
  PutU32(p + 32, size);
}

}  // namespace

std::vector<uint8_t> StandardVideoSector(const GameVideoFields& f) {
  auto s = Sector();
  Common(f, s.data());
  return s;
}

std::vector<uint8_t> Ff7VideoSector(const GameVideoFields& f, uint8_t fill) {
  auto s = Sector();
  Common(f, s.data());
  std::memset(&s[20], fill, 8);
  return s;
}

std::vector<uint8_t> LainVideoSector(const GameVideoFields& f, uint8_t fill) {
  auto s = Sector();
  Common(f, s.data());
  PutU16(&s[8], f.FrameNumber);
  s[10] = s[11] = fill;
  PutU32(&s[12], uint32_t(f.ChunkCount) * 2016);
  PutU16(&s[26], 0);
  return s;
}

std::vector<uint8_t> IkiVideoSector(const GameVideoFields& f, int codes) {
  auto s = Sector();
  Common(f, s.data());
  PutU16(&s[20], uint32_t(codes));
  PutU16(&s[22], 0x3800);
  PutU16(&s[24], uint32_t(f.Width));
  PutU16(&s[26], uint32_t(f.Height));
  return s;
}

std::vector<uint8_t> Ff8VideoSector(int chunk, int chunks, int frame) {
  auto s = Sector();
  const uint8_t head[8] = {'S', 'M', 'J', 1, uint8_t(chunk), uint8_t(chunks - 1),
                           uint8_t(frame), uint8_t(frame >> 8)};
  std::memcpy(s.data(), head, 8);
  return s;
}

std::vector<uint8_t> Ff8SoundSector(int channel, int chunks, int frame,
                                    const std::vector<uint8_t>& units) {
  std::vector<uint8_t> s(2048);
  const uint8_t head[8] = {'S', 'M', uint8_t(channel ? 'R' : 'N'), 1, uint8_t(channel),
                           uint8_t(chunks - 1), uint8_t(frame), uint8_t(frame >> 8)};
  std::memcpy(s.data(), head, 8);
  std::memcpy(&s[240], "MORIYA", 6);
  Akao(&s[256], uint32_t(frame), uint32_t(units.size()));
  std::memcpy(&s[368], units.data(), units.size());
  return s;
}

std::vector<uint8_t> Ff9SoundSector(int channel, uint32_t frame,
                                    const std::vector<uint8_t>& units) {
  std::vector<uint8_t> s(2048);
  PutU32(&s[0], 0x00080160);
  PutU16(&s[4], uint32_t(channel));
  PutU16(&s[6], 10);
  PutU32(&s[8], frame);
  Akao(&s[128], frame - 1, uint32_t(units.size()));
  std::memcpy(&s[208], units.data(), units.size());
  return s;
}

std::vector<uint8_t> Ff9StrangeSoundSector(int channel, uint32_t frame) {
  std::vector<uint8_t> s(2048, 0xAB);
  PutU32(&s[0], 0x00080160);
  PutU16(&s[4], uint32_t(channel));
  PutU16(&s[6], 10);
  PutU32(&s[8], frame);
  std::memset(&s[12], 0, 116);
  return s;
}

std::vector<uint8_t> Ff9VideoSector(const GameVideoFields& f) {
  auto s = Sector(2324);
  Common(f, s.data());
  PutU32(&s[0], 0x00040160);
  PutU16(&s[6], 10);
  PutU32(&s[12], f.DataSize / 4);
  return s;
}

std::vector<uint8_t> ChronoCrossSoundSector(uint32_t magic, int channel, int frame,
                                            const std::vector<uint8_t>& units) {
  std::vector<uint8_t> s(2048);
  PutU32(&s[0], magic);
  PutU16(&s[4], uint32_t(channel));
  PutU16(&s[6], 2);
  PutU16(&s[8], uint32_t(frame));
  Akao(&s[128], uint32_t(frame - 1), uint32_t(units.size()));
  std::memcpy(&s[208], units.data(), units.size());
  return s;
}

}  // namespace belmora::test
