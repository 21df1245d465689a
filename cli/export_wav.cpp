// belmora-cli export-wav: the sound of one audio channel as a WAV file.
#include <cerrno>
#include <cstring>

#include "cli/cli_common.h"
#include "cli/xa_commands.h"
#include "convert/output_file.h"
#include "platform/media_formats.h"
#include "convert/audio_track.h"
#include "convert/game_sound.h"
#include "media/wav_writer.h"

namespace belmora::cli {

namespace {

struct WavOptions {
  std::string path, out;
  int channel = -1, rate = 0, channels = 0, bits = 16;
  bool force = false;
  std::string allChannels;
};

// A game movie's own sound, at its own rate: stereo 16-bit unless asked
// for one channel or 8 bits.
int ExportGameSound(Session& s, const WavOptions& o) {
  GameSoundTrack track;
  if (!DecodeGameSoundTrack(s.doc, track)) {
    Show(s.host, msg::kStrReadError);
    return kExitFailed;
  }
  if (track.Rate == 0) {
    Show(s.host, msg::kNoAudio);
    return kExitFailed;
  }
  const int channels = o.channels > 0 ? o.channels : 2;
  std::vector<uint8_t> pcm;
  for (size_t i = 0; i + 1 < track.Samples.size(); i += 2) {
    const int pair[2] = {track.Samples[i], track.Samples[i + 1]};
    for (int c = 0; c < channels; c++) {
      const int v = channels == 1 ? (pair[0] + pair[1]) / 2 : pair[c];
      if (o.bits == 8) {
        pcm.push_back(uint8_t((v >> 8) + 128));
      } else {
        pcm.push_back(uint8_t(v & 0xFF));
        pcm.push_back(uint8_t((v >> 8) & 0xFF));
      }
    }
  }
  PartFile part(o.out);
  if (!part.Create(s.host)) return kExitFailed;
  WavStreamWriter wav;
  int error = 0;
  if (!wav.Open(part.Part(), track.Rate, channels, o.bits) || !wav.Write(pcm.data(), pcm.size()))
    error = wav.Error();
  if (!wav.Close() && error == 0) error = wav.Error();
  if (error != 0) {
    Show(s.host, msg::kWriteError, o.out.c_str(), std::strerror(error));
    return kExitFailed;
  }
  if (!part.Commit(s.host)) return kExitFailed;
  std::printf("%d audio sectors decoded: %d Hz, %d channel%s, %d bits (%s)\n", track.Sectors,
              track.Rate, channels, channels == 1 ? "" : "s", o.bits, s.doc.Format->Name());
  return 0;
}

int RunExportWav(const GlobalOptions& g, const WavOptions& o) {
  // Every channel at once, and files of sound only, channel by channel.
  if (!o.allChannels.empty() || IsAudioOnlyFile(o.path))
    return RunXaExportWav(g, {o.path, o.out, o.allChannels, o.channel, o.rate, o.channels, o.bits,
                              o.force});
  if (o.out.empty()) {
    std::fprintf(stderr, "--output or --all-channels is required\n");
    return kExitBadArguments;
  }
  Session s(g);
  if (!CheckOutput(s.host, o.out, {o.path}, o.force)) return kExitFailed;
  if (!OpenForViewing(s, o.path, true)) return kExitFailed;
  StrDocument& doc = s.doc;
  if (HasGameSound(doc)) return ExportGameSound(s, o);
  if (doc.AudioChannelCount == 0) {
    Show(s.host, msg::kNoAudio);
    return 1;
  }
  // The channel asked for, or the first one found; its coding gives the defaults.
  int entry = 0;
  if (o.channel >= 0) {
    entry = -1;
    for (int i = 0; i < doc.AudioChannelCount; i++)
      if (doc.AudioChannels[i] == o.channel) entry = i;
    if (entry < 0) {
      Show(s.host, msg::kNoSuchChannel, o.channel);
      return 1;
    }
  }
  const int coding = doc.AudioCodings[entry];
  const int rate = o.rate > 0 ? o.rate : IsHalfRate(coding) ? 22050 : 44100;
  const int channels = o.channels > 0 ? o.channels : IsStereo(coding) ? 2 : 1;
  XaDecoderState decoder;
  XaSetOutputFormat(decoder, rate, channels, o.bits);
  // The sound goes to the file as it is decoded.
  PartFile part(o.out);
  if (!part.Create(s.host)) return kExitFailed;
  WavStreamWriter wav;
  int error = 0;
  int sectors = 0;
  if (wav.Open(part.Part(), rate, channels, o.bits)) {
    sectors = StreamAudioTrack(doc, decoder, doc.AudioChannels[entry],
                               [&](const uint8_t* pcm, size_t n) { return wav.Write(pcm, n); });
    if (!wav.Close()) error = wav.Error();
  } else {
    error = wav.Error();
  }
  if (error != 0) {
    Show(s.host, msg::kWriteError, o.out.c_str(), std::strerror(error));
    return kExitFailed;
  }
  if (!part.Commit(s.host)) return kExitFailed;
  std::printf("%d audio sectors decoded: %d Hz, %d channel%s, %d bits\n", sectors, rate,
              channels, channels == 1 ? "" : "s", o.bits);
  return 0;
}

}  // namespace

void AddExportWavCommand(CLI::App& app, CommandRunner& run) {
  auto* cmd = app.add_subcommand("export-wav", "Decode one audio channel to a WAV file");
  auto o = std::make_shared<WavOptions>();
  cmd->add_option("FILE", o->path, "STR file")->required();
  cmd->add_option("-o,--output", o->out, "WAV file to write");
  cmd->add_option("--all-channels", o->allChannels, "Write DIR/channel_NN.wav for every channel");
  cmd->add_option("--channel", o->channel, "Audio channel (default: the first found)")
      ->check(CLI::Range(0, 31));
  cmd->add_flag("--force", o->force, "Replace an existing WAV file");
  cmd->add_option("--rate", o->rate,
                  "Output rate in Hz (default 22050 for 18.9 kHz sound, else 44100)")
      ->check(CLI::Range(kMinSampleRate, kMaxSampleRate));
  cmd->add_option("--channels", o->channels, "1 or 2 (default: as the sound)")
      ->check(CLI::IsMember({1, 2}));
  cmd->add_option("--bits", o->bits, "8 or 16")->check(CLI::IsMember({8, 16}));
  cmd->callback([&run, o] { run = [o](const GlobalOptions& g) { return RunExportWav(g, *o); }; });
}

}  // namespace belmora::cli
