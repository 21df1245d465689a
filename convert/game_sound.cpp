#include "convert/game_sound.h"

#include <algorithm>
#include <cstdlib>
#include <span>

#include "base/messages.h"
#include "convert/game_movie.h"
#include "media/wav_reader.h"

namespace belmora {

bool HasGameSound(const StrDocument& doc) {
  return doc.Format->Sound() == SoundCoding::kSpuAdpcm;
}

bool DecodeGameSoundTrack(StrDocument& doc, GameSoundTrack& track) {
  track = {};
  if (!HasGameSound(doc)) return true;
  SpuAdpcmHistory history[2];
  std::vector<int16_t> channel[2];
  std::vector<uint8_t> user;
  const int32_t end = std::min(doc.SectorCount, doc.MovieEnd);
  for (int32_t s = std::max(doc.MovieStart, 0); s < end; s++) {
    if (!ReadUserData(doc, s, user)) return false;
    const auto chunk = doc.Format->ReadChunk(user);
    if (!chunk || !chunk->IsSound) continue;
    const int side = chunk->SoundChannel & 1;
    const int rate = DecodeGameSound(*doc.Format, user, history[side], channel[side]);
    if (rate == 0) continue;
    if (track.Rate == 0) track.Rate = rate;
    track.Sectors++;
  }
  // A movie whose right channel is missing plays its left one on both.
  if (channel[1].empty()) channel[1] = channel[0];
  const size_t n = std::min(channel[0].size(), channel[1].size());
  track.Samples.resize(n * 2);
  for (size_t i = 0; i < n; i++) {
    track.Samples[2 * i] = channel[0][i];
    track.Samples[2 * i + 1] = channel[1][i];
  }
  return true;
}

bool ImportGameSound(StrDocument& doc, const std::string& wavPath, Host& host) {
  if (RefuseIfReadOnly(doc, host)) return false;
  if (!doc.Format->Info().SoundWritable) {
    Show(host, msg::kFormatNotWritable, doc.Path.c_str(), doc.Format->Name());
    return false;
  }
  GameSoundTrack track;
  if (!DecodeGameSoundTrack(doc, track)) {
    Show(host, msg::kStrReadError);
    return false;
  }
  if (track.Rate == 0) {
    Show(host, msg::kNoAudio);
    return false;
  }
  const int64_t frames = int64_t(track.Samples.size() / 2);
  const int64_t perSector = track.Sectors ? frames * 2 / track.Sectors : 0;
  WavData wav;
  if (const InputStatus read = ReadWavFile(wavPath, wav, frames + std::max<int64_t>(perSector, 1));
      !read.Ok()) {
    ShowInputProblem(host, wavPath, read);
    return false;
  }
  if (wav.Rate != track.Rate) {
    Show(host, msg::kBadAudioFormat, wav.Rate, wav.Channels, wav.Bits);
    return false;
  }
  if (std::llabs(wav.TotalFrames - frames) >= std::max<int64_t>(perSector, 1)) {
    Show(host, msg::kAudioLengthDiffers, (long long)wav.TotalFrames, 0, (long long)frames);
    return false;
  }
  // Each side's samples, silence after the WAV's end.
  std::vector<int16_t> side[2];
  for (int c = 0; c < 2; c++) {
    side[c].assign(size_t(frames) + size_t(perSector), 0);
    for (int64_t i = 0; i < std::min(wav.Frames(), frames); i++)
      side[c][size_t(i)] = wav.Samples[size_t(i * wav.Channels + (wav.Channels > 1 ? c : 0))];
  }
  DocumentEdit edit(doc, host);
  if (!edit.Ok()) return false;
  SpuAdpcmHistory history[2];
  size_t at[2] = {0, 0};
  std::vector<uint8_t> user;
  const int32_t end = std::min(doc.SectorCount, doc.MovieEnd);
  for (int32_t s = std::max(doc.MovieStart, 0); s < end; s++) {
    if (!ReadUserData(doc, s, user)) {
      Show(host, msg::kStrReadError);
      return false;
    }
    const auto chunk = doc.Format->ReadChunk(user);
    const auto payload = doc.Format->SoundPayloadOf(user);
    if (!chunk || !chunk->IsSound || !payload) continue;
    const int c = chunk->SoundChannel & 1;
    const size_t n = size_t(payload->Size / kSpuUnitSize) * kSpuSamplesPerUnit;
    if (at[c] + n > side[c].size()) side[c].resize(at[c] + n, 0);
    if (!ReplaceGameSound(*doc.Format, user, history[c],
                          std::span<const int16_t>(side[c]).subspan(at[c], n)))
      continue;
    at[c] += n;
    if (!StoreIntoSector(doc, host, s, UserDataOffset(doc.Layout(), s), user.data(), user.size()))
      return false;
  }
  return edit.Commit();
}

}  // namespace belmora
