#include "platform/subtitle_renderer.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <set>
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
      std::vector<std::string> text(
          block.begin() + long(t) + 1,
          block.begin() + long(std::min(block.size(), t + 1 + SubtitleRenderer::kMaxSrtLines)));
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

namespace {

// The largest value a tag or style field may take for a picture of
// `height` rows; 0 when the name is not bounded.
double Bound(const std::string& name, int height) {
  const double h = std::max(height, 16);
  if (name == "fs" || name == "Fontsize") return h * 2;
  if (name == "fscx" || name == "fscy" || name == "ScaleX" || name == "ScaleY") return 400;
  if (name == "fsp" || name == "Spacing") return h;
  if (name == "bord" || name == "xbord" || name == "ybord" || name == "Outline" ||
      name == "shad" || name == "xshad" || name == "yshad" || name == "Shadow")
    return h / 4;
  if (name == "blur" || name == "be") return 16;
  return 0;
}

std::string FormatNumber(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", v);
  return b;
}

// Override tags of one line's text: every bounded tag's number kept within
// its bound ("\fscx100000" becomes "\fscx400").
std::string BoundTags(const std::string& text, int height, bool& changed) {
  static const char* const kTags[] = {"fscx", "fscy", "xbord", "ybord", "xshad", "yshad",
                                      "bord", "shad", "blur", "fsp", "be", "fs"};
  std::string out;
  out.reserve(text.size());
  int depth = 0;
  for (size_t i = 0; i < text.size(); i++) {
    const char c = text[i];
    if (c == '{') depth++;
    if (c == '}' && depth > 0) depth--;
    out += c;
    if (c != '\\' || depth == 0) continue;
    for (const char* tag : kTags) {
      const size_t n = std::strlen(tag);
      if (text.compare(i + 1, n, tag) != 0) continue;
      size_t k = i + 1 + n;
      const size_t numberAt = k;
      if (k < text.size() && (text[k] == '-' || text[k] == '+')) k++;
      while (k < text.size() &&
             (std::isdigit(static_cast<unsigned char>(text[k])) || text[k] == '.'))
        k++;
      if (k == numberAt) break;  // "\fscx" alone, or a longer tag such as \fsc
      const double value = std::atof(text.substr(numberAt, k - numberAt).c_str());
      const double bound = Bound(tag, height);
      out += tag;
      if (value > bound || value < -bound) {
        out += FormatNumber(std::clamp(value, -bound, bound));
        changed = true;
      } else {
        out.append(text, numberAt, k - numberAt);
      }
      i = k - 1;
      break;
    }
  }
  return out;
}

std::vector<std::string> SplitFields(const std::string& s, size_t most = std::string::npos) {
  std::vector<std::string> fields;
  size_t at = 0;
  for (;;) {
    const size_t comma = fields.size() + 1 >= most ? std::string::npos : s.find(',', at);
    fields.push_back(s.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  return fields;
}

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

// "h:mm:ss.cc" in centiseconds; -1 when it is not a time.
int64_t AssCentiseconds(const std::string& text) {
  int h = 0, m = 0, s = 0, cs = 0;
  if (std::sscanf(text.c_str(), " %d:%d:%d.%d", &h, &m, &s, &cs) != 4) return -1;
  return ((int64_t(h) * 60 + m) * 60 + s) * 100 + cs;
}

struct ScriptLine {
  std::string Text;
  bool Cr = false;
  bool Dialogue = false;
  int64_t Start = 0, End = 0;
};

}  // namespace

std::string BoundAssScript(const std::string& script, int height, bool& changed) {
  std::vector<ScriptLine> lines;
  std::vector<std::string> format;  // of the current section
  size_t startField = 1, endField = 2;
  size_t pos = 0;
  while (pos < script.size()) {
    size_t end = script.find('\n', pos);
    if (end == std::string::npos) end = script.size();
    ScriptLine l;
    l.Text = script.substr(pos, end - pos);
    pos = end + 1;
    l.Cr = !l.Text.empty() && l.Text.back() == '\r';
    if (l.Cr) l.Text.pop_back();
    const size_t colon = l.Text.find(':');
    const std::string key = colon == std::string::npos ? "" : Trim(l.Text.substr(0, colon));
    if (!l.Text.empty() && l.Text[0] == '[') {
      format.clear();
    } else if (key == "Format") {
      format.clear();
      for (const std::string& f : SplitFields(l.Text.substr(colon + 1))) format.push_back(Trim(f));
      for (size_t k = 0; k < format.size(); k++) {
        if (format[k] == "Start") startField = k;
        if (format[k] == "End") endField = k;
      }
    } else if (key == "Style") {
      auto fields = SplitFields(l.Text.substr(colon + 1));
      for (size_t k = 0; k < fields.size() && k < format.size(); k++) {
        const double bound = Bound(format[k], height);
        if (bound <= 0) continue;
        const double value = std::atof(fields[k].c_str());
        if (value > bound || value < -bound) {
          fields[k] = FormatNumber(std::clamp(value, -bound, bound));
          changed = true;
        }
      }
      l.Text = "Style:";
      for (size_t k = 0; k < fields.size(); k++) l.Text += (k ? "," : "") + fields[k];
    } else if (key == "Dialogue") {
      l.Text = BoundTags(l.Text, height, changed);
      const auto fields = SplitFields(l.Text.substr(colon + 1), std::max(startField, endField) + 2);
      l.Dialogue = true;
      l.Start = startField < fields.size() ? AssCentiseconds(fields[startField]) : -1;
      l.End = endField < fields.size() ? AssCentiseconds(fields[endField]) : -1;
    }
    lines.push_back(std::move(l));
  }
  // No more than kMaxEvents events, and no more than kMaxShownAtOnce shown
  // at one time: the first to start keep their place.
  std::vector<size_t> order;
  for (size_t i = 0; i < lines.size(); i++)
    if (lines[i].Dialogue) order.push_back(i);
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return lines[a].Start < lines[b].Start; });
  std::vector<bool> dropped(lines.size(), false);
  std::multiset<int64_t> ends;
  int kept = 0;
  for (size_t i : order) {
    const ScriptLine& l = lines[i];
    while (!ends.empty() && *ends.begin() <= l.Start) ends.erase(ends.begin());
    if (kept >= SubtitleRenderer::kMaxEvents ||
        int(ends.size()) >= SubtitleRenderer::kMaxShownAtOnce) {
      dropped[i] = true;
      changed = true;
      continue;
    }
    ends.insert(std::max(l.End, l.Start));
    kept++;
  }
  std::string out;
  out.reserve(script.size());
  for (size_t i = 0; i < lines.size(); i++) {
    if (dropped[i]) continue;
    out += lines[i].Text;
    if (lines[i].Cr) out += '\r';
    out += '\n';
  }
  return out;
}

struct SubtitleRenderer::Impl {
  std::unique_ptr<media::SubtitleBackend> backend;
  bool bounded = false;
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
  bool bounded = false;
  text = BoundAssScript(text, height, bounded);

  const media::Module* module = media::LoadModule();
  if (!module) return false;
  auto backend = module->NewSubtitles();
  if (!backend->Load(text, width, height, style)) return false;
  impl_ = std::make_unique<Impl>();
  impl_->backend = std::move(backend);
  impl_->bounded = bounded;
  return true;
}

bool SubtitleRenderer::Bounded() const {
  return impl_ && impl_->bounded;
}

int SubtitleRenderer::EventCount() const {
  return impl_ ? impl_->backend->EventCount() : 0;
}

bool SubtitleRenderer::Draw(int64_t ms, uint8_t* bgr, int width, int height, size_t stride) {
  return impl_ && impl_->backend->Draw(ms, bgr, width, height, stride);
}

}  // namespace belmora
