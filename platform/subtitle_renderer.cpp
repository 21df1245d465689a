#include "platform/subtitle_renderer.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/media_backend.h"

namespace belmora {

namespace {

// "00:01:02,345" (or with a dot) in milliseconds; -1 when it is not a time.
int64_t ParseSrtTime(const std::string& text) {
  int h = 0, m = 0, s = 0, ms = 0;
  char sep = 0;
  if (std::sscanf(text.c_str(), " %d:%d:%d%c%d", &h, &m, &s, &sep, &ms) != 5 ||
      (sep != ',' && sep != '.'))
    return -1;
  return ((int64_t(h) * 60 + m) * 60 + s) * 1000 + ms;
}

std::string AssTime(int64_t ms) {
  const int64_t cs = (ms + 5) / 10;
  char out[32];
  std::snprintf(out, sizeof out, "%lld:%02lld:%02lld.%02lld", (long long)(cs / 360000),
                (long long)(cs / 6000 % 60), (long long)(cs / 100 % 60), (long long)(cs % 100));
  return out;
}

// SRT markup as ASS overrides: <i>, <b>, <u> and their ends; other tags and
// braces are dropped; lines are joined with \N.
std::string AssText(const std::vector<std::string>& lines) {
  std::string out;
  for (size_t i = 0; i < lines.size(); i++) {
    if (i) out += "\\N";
    const std::string& l = lines[i];
    for (size_t k = 0; k < l.size(); k++) {
      if (l[k] == '{' || l[k] == '}') continue;
      if (l[k] == '<') {
        const size_t end = l.find('>', k);
        if (end != std::string::npos) {
          std::string tag = l.substr(k + 1, end - k - 1);
          for (char& c : tag) c = char(std::tolower(static_cast<unsigned char>(c)));
          const bool close = !tag.empty() && tag[0] == '/';
          const std::string name = close ? tag.substr(1) : tag;
          if (name == "i" || name == "b" || name == "u")
            out += "{\\" + name + (close ? "0}" : "1}");
          k = end;
          continue;
        }
      }
      out += l[k];
    }
  }
  return out;
}

}  // namespace

std::string SrtToAss(const std::string& srt, int width, int height, const SubtitleStyle& style) {
  const int size = style.SizePx > 0 ? style.SizePx : std::max(8, height * 2 / 25);
  const int outline = std::max(1, size / 9);
  std::ostringstream out;
  out << "[Script Info]\nScriptType: v4.00+\nPlayResX: " << width << "\nPlayResY: " << height
      << "\nWrapStyle: 0\nScaledBorderAndShadow: yes\n\n[V4+ Styles]\n"
      << "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, "
         "BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, "
         "BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\n"
      << "Style: Default," << (style.Font.empty() ? "sans-serif" : style.Font) << "," << size
      << ",&H00FFFFFF,&H000000FF,&H00000000,&H80000000,0,0,0,0,100,100,0,0,1," << outline
      << ",0,2," << width / 20 << "," << width / 20 << "," << std::max(2, height / 24)
      << ",1\n\n[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, "
         "Effect, Text\n";
  std::istringstream in(srt);
  std::string line;
  std::vector<std::string> block;
  auto flush = [&] {
    // A block: an optional number, the times, then the text.
    size_t t = 0;
    while (t < block.size() && block[t].find("-->") == std::string::npos) t++;
    if (t < block.size()) {
      const size_t arrow = block[t].find("-->");
      const int64_t start = ParseSrtTime(block[t].substr(0, arrow));
      const int64_t end = ParseSrtTime(block[t].substr(arrow + 3));
      std::vector<std::string> text(block.begin() + long(t) + 1, block.end());
      if (start >= 0 && end > start && !text.empty())
        out << "Dialogue: 0," << AssTime(start) << "," << AssTime(end) << ",Default,,0,0,0,,"
            << AssText(text) << "\n";
    }
    block.clear();
  };
  bool first = true;
  while (std::getline(in, line)) {
    if (first && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    first = false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) {
      flush();
      continue;
    }
    block.push_back(line);
  }
  flush();
  return out.str();
}

struct SubtitleRenderer::Impl {
  std::unique_ptr<media::SubtitleBackend> backend;
};

SubtitleRenderer::SubtitleRenderer() = default;
SubtitleRenderer::~SubtitleRenderer() = default;

bool SubtitleRenderer::Load(const std::string& path, int width, int height,
                            const SubtitleStyle& style) {
  impl_.reset();
  std::ifstream file(path, std::ios::binary);
  if (!file || width <= 0 || height <= 0) return false;
  std::stringstream contents;
  contents << file.rdbuf();
  std::string text = contents.str();
  auto lower = path;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  const bool ass = lower.size() > 4 && (lower.ends_with(".ass") || lower.ends_with(".ssa"));
  if (!ass) text = SrtToAss(text, width, height, style);

  const media::Module* module = media::LoadModule();
  if (!module) return false;
  auto backend = module->NewSubtitles();
  if (!backend->Load(text, width, height, style)) return false;
  impl_ = std::make_unique<Impl>();
  impl_->backend = std::move(backend);
  return true;
}

int SubtitleRenderer::EventCount() const {
  return impl_ ? impl_->backend->EventCount() : 0;
}

bool SubtitleRenderer::Draw(int64_t ms, uint8_t* bgr, int width, int height, size_t stride) {
  return impl_ && impl_->backend->Draw(ms, bgr, width, height, stride);
}

}  // namespace belmora
