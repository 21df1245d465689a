#include "platform/subtitle_renderer.h"

#include <ass/ass.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

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
  ASS_Library* library = nullptr;
  ASS_Renderer* renderer = nullptr;
  ASS_Track* track = nullptr;
  int width = 0, height = 0;

  ~Impl() {
    if (track) ass_free_track(track);
    if (renderer) ass_renderer_done(renderer);
    if (library) ass_library_done(library);
  }
  void SetSize(int w, int h) {
    if (w == width && h == height) return;
    width = w;
    height = h;
    ass_set_frame_size(renderer, w, h);
    ass_set_storage_size(renderer, w, h);
  }
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

  auto impl = std::make_unique<Impl>();
  impl->library = ass_library_init();
  if (!impl->library) return false;
  ass_set_message_cb(impl->library, [](int, const char*, va_list, void*) {}, nullptr);
  impl->renderer = ass_renderer_init(impl->library);
  if (!impl->renderer) return false;
  impl->SetSize(width, height);
  ass_set_fonts(impl->renderer, nullptr, style.Font.empty() ? "sans-serif" : style.Font.c_str(),
                ASS_FONTPROVIDER_AUTODETECT, nullptr, 1);
  impl->track = ass_read_memory(impl->library, text.data(), text.size(), nullptr);
  if (!impl->track) return false;
  impl_ = std::move(impl);
  return true;
}

int SubtitleRenderer::EventCount() const {
  return impl_ ? impl_->track->n_events : 0;
}

bool SubtitleRenderer::Draw(int64_t ms, uint8_t* bgr, int width, int height, size_t stride) {
  if (!impl_) return false;
  impl_->SetSize(width, height);
  bool drawn = false;
  for (ASS_Image* img = ass_render_frame(impl_->renderer, impl_->track, ms, nullptr); img;
       img = img->next) {
    // Colour RRGGBBAA, AA the transparency; each bitmap byte is coverage.
    const unsigned alpha = 255 - (img->color & 0xFF);
    const unsigned red = img->color >> 24, green = (img->color >> 16) & 0xFF,
                   blue = (img->color >> 8) & 0xFF;
    for (int y = 0; y < img->h; y++) {
      const int py = img->dst_y + y;
      if (py < 0 || py >= height) continue;
      const unsigned char* src = img->bitmap + size_t(y) * size_t(img->stride);
      uint8_t* row = bgr + size_t(py) * stride;
      for (int x = 0; x < img->w; x++) {
        const int px = img->dst_x + x;
        if (px < 0 || px >= width) continue;
        const unsigned k = src[x] * alpha / 255;
        if (k == 0) continue;
        uint8_t* p = row + size_t(px) * 3;
        p[0] = uint8_t((p[0] * (255 - k) + blue * k + 127) / 255);
        p[1] = uint8_t((p[1] * (255 - k) + green * k + 127) / 255);
        p[2] = uint8_t((p[2] * (255 - k) + red * k + 127) / 255);
        drawn = true;
      }
    }
  }
  return drawn;
}

}  // namespace belmora
