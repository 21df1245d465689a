#include "platform/subtitle_renderer.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <set>
#include <cstdio>
#include <fstream>
#include <map>
#include <cmath>
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
  // FFmpeg's script for SRT (its subtitles filter, and so the usual
  // burning pipeline, draws SRT so): laid out on 384 x 288 and scaled to the
  // picture, Arial 16, white with a one-unit black outline, no shadow,
  // bottom centre, margins of 10. A size asked for is in the picture's
  // pixels, so in units of the script it is scaled by 288 / height.
  (void)width;
  char size[32] = "16";
  if (style.SizePx > 0)
    std::snprintf(size, sizeof size, "%g", style.SizePx * 288.0 / std::max(height, 1));
  std::ostringstream out;
  out << "[Script Info]\r\nScriptType: v4.00+\r\nPlayResX: 384\r\nPlayResY: 288\r\n"
         "ScaledBorderAndShadow: yes\r\n\r\n[V4+ Styles]\r\n"
      << "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, "
         "BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, "
         "BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding\r\n"
      << "Style: Default," << (style.Font.empty() ? "Arial" : style.Font) << "," << size
      << ",&Hffffff,&Hffffff,&H0,&H0,0,0,0,0,100,100,0,0,1,1,0,2,10,10,10,0\r\n\r\n"
         "[Events]\r\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, "
         "Effect, Text\r\n";
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

// The end of the number at `at` in a tag: a sign, digits with a point, and
// an exponent ("1e5", which libass reads as 100000); `at` when none.
size_t NumberEnd(const std::string& text, size_t at) {
  auto digit = [&](size_t i) {
    return i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]));
  };
  size_t end = at;
  if (end < text.size() && (text[end] == '-' || text[end] == '+')) end++;
  const size_t digits = end;
  while (digit(end) || (end < text.size() && text[end] == '.')) end++;
  if (end == digits) return at;
  if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
    size_t e = end + 1;
    if (e < text.size() && (text[e] == '-' || text[e] == '+')) e++;
    if (digit(e)) {
      while (digit(e)) e++;
      end = e;
    }
  }
  return end;
}

// A number as read from a script; one that is not finite counts as larger
// than any bound.
double ScriptNumber(const std::string& text) {
  const double v = std::strtod(text.c_str(), nullptr);
  if (std::isnan(v)) return 1e300;
  return std::clamp(v, -1e300, 1e300);
}

// The largest value a tag or style field may take in a script whose
// pictures are `height` rows, `k` pixels to one of its units; 0 when the
// name is not bounded. Lengths are bounded in pixels, so a script with
// fewer rows than the picture (PlayResY: 1) gets no more room than one
// drawn at the picture's own scale.
double Bound(const std::string& name, int height, double k) {
  const double h = std::max(height, 16) / std::max(k, 1.0);
  if (name == "fs" || name == "Fontsize") return h * 2;
  if (name == "fscx" || name == "fscy" || name == "ScaleX" || name == "ScaleY") return 400;
  if (name == "fsp" || name == "Spacing") return h;
  if (name == "bord" || name == "xbord" || name == "ybord" || name == "Outline" ||
      name == "shad" || name == "xshad" || name == "yshad" || name == "Shadow")
    return h / 4;
  if (name == "blur") return 16 / std::max(k, 1.0);
  if (name == "be") return 16;
  return 0;
}

std::string FormatNumber(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", v);
  return b;
}

// Override tags of one line's text: every bounded tag's number kept within
// its bound ("\fscx100000" becomes "\fscx400").
std::string BoundTags(const std::string& text, int height, double k, bool& changed) {
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
      const size_t numberAt = i + 1 + n;
      const size_t k2 = NumberEnd(text, numberAt);
      if (k2 == numberAt) break;  // "\fscx" alone, or a longer tag such as \fsc
      const double value = ScriptNumber(text.substr(numberAt, k2 - numberAt));
      const double bound = Bound(tag, height, k);
      out += tag;
      if (value > bound || value < -bound) {
        out += FormatNumber(std::clamp(value, -bound, bound));
        changed = true;
      } else {
        out.append(text, numberAt, k2 - numberAt);
      }
      i = k2 - 1;
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
  double Area = 0;  // estimated pixels of its drawing
};

// What sets the size of a style's glyphs, in script units.
struct GlyphStyle {
  double Size = 20, ScaleX = 100, ScaleY = 100, Spacing = 0, Border = 0, Shadow = 0;
  double Blur = 0, Edges = 0;
  bool Turned = false;
};

// The picture size the script is laid out for, as libass takes it when
// one or both are missing.
void ScriptResolution(const std::string& script, double& resX, double& resY) {
  resX = 0;
  resY = 0;
  std::istringstream in(script);
  std::string line;
  while (std::getline(in, line)) {
    // Whole numbers, as libass reads them.
    if (line.compare(0, 9, "PlayResX:") == 0) resX = double(std::strtol(line.c_str() + 9, nullptr, 10));
    if (line.compare(0, 9, "PlayResY:") == 0) resY = double(std::strtol(line.c_str() + 9, nullptr, 10));
  }
  if (resX <= 0 && resY <= 0) {
    resX = 384;
    resY = 288;
  } else if (resY <= 0) {
    resY = resX == 1280 ? 1024 : resX * 3 / 4;
  } else if (resX <= 0) {
    resX = resY == 1024 ? 1280 : resY * 4 / 3;
  }
}

// The bounding box an event's glyphs are drawn into, estimated as it is
// read: every character as wide and as tall as its size (a drawing as its
// coordinates span), the whole padded by the widest border, shadow and
// blur, and squared when the text is turned or slanted.
class InkBox {
 public:
  explicit InkBox(double k) : k_(k) {}
  // The area with one more piece `w` x `h` pixels drawn in `g`.
  double With(double w, double h, const GlyphStyle& g) const {
    const double pad =
        2 * (std::max(g.Border, 0.0) + std::abs(g.Shadow) + 3 * std::max(g.Blur, 0.0)) * k_ +
        2 * std::max(g.Edges, 0.0);
    const double width = width_ + w, height = std::max(height_, h);
    const double p = std::max(pad_, pad);
    if (turned_ || g.Turned) return (width + height + 2 * p) * (width + height + 2 * p);
    return (width + 2 * p) * (height + 2 * p);
  }
  void Add(double w, double h, const GlyphStyle& g) {
    area_ = With(w, h, g);
    width_ += w;
    height_ = std::max(height_, h);
    pad_ = std::max(pad_, 2 * (std::max(g.Border, 0.0) + std::abs(g.Shadow) +
                               3 * std::max(g.Blur, 0.0)) * k_ + 2 * std::max(g.Edges, 0.0));
    turned_ = turned_ || g.Turned;
  }
  double Area() const { return area_; }

 private:
  double k_;
  double width_ = 0, height_ = 0, pad_ = 0, area_ = 0;
  bool turned_ = false;
};

// The number a tag starts with at `at` (with its sign); false when none.
bool TagNumber(const std::string& text, size_t at, double& value) {
  const size_t end = NumberEnd(text, at);
  if (end == at) return false;
  value = ScriptNumber(text.substr(at, end - at));
  return true;
}

// Applies the override tags of one {...} block to `g`. Values inside \t
// (animated to) only ever grow what is estimated.
void ApplyTags(const std::string& block, const GlyphStyle& eventStyle,
               const std::map<std::string, GlyphStyle>& styles, GlyphStyle& g, int& drawing) {
  int parens = 0;
  for (size_t i = 0; i < block.size(); i++) {
    if (block[i] == '(') parens++;
    if (block[i] == ')' && parens > 0) parens--;
    if (block[i] != '\\') continue;
    const size_t at = i + 1;
    auto is = [&](const char* name) { return block.compare(at, std::strlen(name), name) == 0; };
    auto set = [&](double& field, double value) {
      field = parens > 0 ? std::max(field, value) : value;
    };
    double v = 0;
    if (is("fscx") && TagNumber(block, at + 4, v)) set(g.ScaleX, std::abs(v));
    else if (is("fscy") && TagNumber(block, at + 4, v)) set(g.ScaleY, std::abs(v));
    else if (is("fsp") && TagNumber(block, at + 3, v)) set(g.Spacing, v);
    else if (is("fs") && TagNumber(block, at + 2, v))
      set(g.Size, block[at + 2] == '+' || block[at + 2] == '-' ? g.Size + std::abs(v) : std::abs(v));
    else if ((is("xbord") || is("ybord")) && TagNumber(block, at + 5, v))
      g.Border = std::max(g.Border, std::abs(v));
    else if (is("bord") && TagNumber(block, at + 4, v)) set(g.Border, std::abs(v));
    else if ((is("xshad") || is("yshad")) && TagNumber(block, at + 5, v))
      g.Shadow = std::max(g.Shadow, std::abs(v));
    else if (is("shad") && TagNumber(block, at + 4, v)) set(g.Shadow, std::abs(v));
    else if (is("blur") && TagNumber(block, at + 4, v)) set(g.Blur, std::abs(v));
    else if (is("be") && TagNumber(block, at + 2, v)) set(g.Edges, std::abs(v));
    else if ((is("frx") || is("fry") || is("frz") || is("fax") || is("fay")) &&
             TagNumber(block, at + 3, v))
      g.Turned = g.Turned || v != 0;
    else if (is("fr") && TagNumber(block, at + 2, v)) g.Turned = g.Turned || v != 0;
    else if (is("p") && TagNumber(block, at + 1, v)) drawing = int(std::clamp(v, 0.0, 64.0));
    else if (is("r")) {
      size_t end = at + 1;
      while (end < block.size() && block[end] != '\\' && block[end] != '}') end++;
      const auto named = styles.find(Trim(block.substr(at + 1, end - at - 1)));
      const GlyphStyle reset = named != styles.end() ? named->second : eventStyle;
      if (parens == 0) g = reset;
    }
  }
}

// The span in pixels of a drawing's coordinates ("m 0 0 l 100 0 100 100").
void DrawingSpan(const std::string& commands, double& spanX, double& spanY) {
  double lo[2] = {0, 0}, hi[2] = {0, 0};
  int n = 0;
  for (size_t i = 0; i < commands.size();) {
    const char c = commands[i];
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.') {
      char* end = nullptr;
      const double v = std::strtod(commands.c_str() + i, &end);
      const size_t used = size_t(end - (commands.c_str() + i));
      if (used == 0) {
        i++;
        continue;
      }
      const int axis = n++ % 2;
      if (n <= 2) lo[axis] = hi[axis] = v;
      lo[axis] = std::min(lo[axis], v);
      hi[axis] = std::max(hi[axis], v);
      i += used;
    } else {
      i++;
    }
  }
  spanX = hi[0] - lo[0];
  spanY = hi[1] - lo[1];
}

// The text of an event cut where the box its glyphs are drawn into would
// grow past `budget` pixels (the rest of the text would only be drawn far
// outside the picture); `area` is then the box's estimated size.
std::string CutToBudget(const std::string& text, const GlyphStyle& eventStyle,
                        const std::map<std::string, GlyphStyle>& styles, double k, double budget,
                        bool& changed, double& area) {
  GlyphStyle g = eventStyle;
  int drawing = 0;
  InkBox box(k);
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '{') {
      const size_t close = text.find('}', i);
      const size_t end = close == std::string::npos ? text.size() : close + 1;
      ApplyTags(text.substr(i, end - i), eventStyle, styles, g, drawing);
      i = end;
      continue;
    }
    double w = 0, h = 0;
    size_t next = i + 1;
    if (drawing > 0) {
      next = std::min(text.find('{', i), text.size());
      DrawingSpan(text.substr(i, next - i), w, h);
      const double scale = k / std::ldexp(1.0, std::min(drawing, 64) - 1);
      w *= g.ScaleX / 100 * scale;
      h *= g.ScaleY / 100 * scale;
    } else {
      if (text[i] == '\\' && i + 1 < text.size() &&
          (text[i + 1] == 'N' || text[i + 1] == 'n' || text[i + 1] == 'h'))
        next = i + 2;
      while (next < text.size() && (static_cast<unsigned char>(text[next]) & 0xC0) == 0x80)
        next++;  // the rest of one UTF-8 character
      w = (g.Size * g.ScaleX / 100 + std::max(g.Spacing, 0.0)) * k;
      h = g.Size * g.ScaleY / 100 * k;
    }
    // The first character stays however large (its size is bounded above);
    // a drawing has no such bound.
    const bool first = box.Area() == 0 && drawing == 0;
    if (!first && !(box.With(w, h, g) <= budget)) {
      changed = true;
      area = box.Area();
      return text.substr(0, i);
    }
    box.Add(w, h, g);
    i = next;
  }
  area = box.Area();
  return text;
}

}  // namespace

std::string BoundAssScript(const std::string& script, int width, int height, bool& changed) {
  double resX = 0, resY = 0;
  ScriptResolution(script, resX, resY);
  const double k = std::max(height, 1) / resY;  // pixels to one unit of the script
  const double frame = double(std::max(width, 16)) * std::max(height, 16);
  const double eventBudget = SubtitleRenderer::kEventFrames * frame;
  const double shownBudget = SubtitleRenderer::kShownFrames * frame;

  std::vector<ScriptLine> lines;
  std::vector<std::string> format;  // of the current section
  std::map<std::string, GlyphStyle> styles;
  size_t startField = 1, endField = 2, styleField = 3;
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
      for (size_t f = 0; f < format.size(); f++) {
        if (format[f] == "Start") startField = f;
        if (format[f] == "End") endField = f;
        if (format[f] == "Style") styleField = f;
      }
    } else if (key == "Style") {
      auto fields = SplitFields(l.Text.substr(colon + 1));
      GlyphStyle g;
      std::string name;
      for (size_t f = 0; f < fields.size() && f < format.size(); f++) {
        const double bound = Bound(format[f], height, k);
        double value = ScriptNumber(fields[f]);
        if (bound > 0 && (value > bound || value < -bound)) {
          value = std::clamp(value, -bound, bound);
          fields[f] = FormatNumber(value);
          changed = true;
        }
        const std::string& field = format[f];
        if (field == "Name") name = Trim(fields[f]);
        if (field == "Fontsize") g.Size = std::abs(value);
        if (field == "ScaleX") g.ScaleX = std::abs(value);
        if (field == "ScaleY") g.ScaleY = std::abs(value);
        if (field == "Spacing") g.Spacing = value;
        if (field == "Outline") g.Border = std::abs(value);
        if (field == "Shadow") g.Shadow = std::abs(value);
        if (field == "Angle") g.Turned = value != 0;
      }
      styles[name] = g;
      l.Text = "Style:";
      for (size_t f = 0; f < fields.size(); f++) l.Text += (f ? "," : "") + fields[f];
    } else if (key == "Dialogue") {
      l.Text = BoundTags(l.Text, height, k, changed);
      const size_t most = std::max<size_t>(format.size(), std::max(startField, endField) + 2);
      auto fields = SplitFields(l.Text.substr(colon + 1), most);
      l.Dialogue = true;
      l.Start = startField < fields.size() ? AssCentiseconds(fields[startField]) : -1;
      l.End = endField < fields.size() ? AssCentiseconds(fields[endField]) : -1;
      if (format.size() > 1 && fields.size() == format.size()) {
        // The text is the last field; its box is kept within the budget.
        const auto named = styleField < fields.size() ? styles.find(Trim(fields[styleField]))
                                                      : styles.end();
        const GlyphStyle style = named != styles.end() ? named->second
                                 : styles.count("Default") ? styles["Default"]
                                                           : GlyphStyle();
        bool cut = false;
        fields.back() = CutToBudget(fields.back(), style, styles, k, eventBudget, cut, l.Area);
        if (cut) {
          changed = true;
          l.Text = l.Text.substr(0, colon + 1);
          for (size_t f = 0; f < fields.size(); f++) l.Text += (f ? "," : "") + fields[f];
        }
      }
    }
    lines.push_back(std::move(l));
  }
  // No more than kMaxEvents events, and no more than kMaxShownAtOnce shown
  // at one time, drawing no more than kShownFrames pictures' worth between
  // them: the first to start keep their place.
  std::vector<size_t> order;
  for (size_t i = 0; i < lines.size(); i++)
    if (lines[i].Dialogue) order.push_back(i);
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return lines[a].Start < lines[b].Start; });
  std::vector<bool> dropped(lines.size(), false);
  std::multimap<int64_t, double> shown;  // end of each event shown, and its area
  double shownArea = 0;
  int kept = 0;
  for (size_t i : order) {
    const ScriptLine& l = lines[i];
    while (!shown.empty() && shown.begin()->first <= l.Start) {
      shownArea -= shown.begin()->second;
      shown.erase(shown.begin());
    }
    if (shown.empty()) shownArea = 0;  // no rounding left over
    if (kept >= SubtitleRenderer::kMaxEvents ||
        int(shown.size()) >= SubtitleRenderer::kMaxShownAtOnce ||
        (!shown.empty() && shownArea + l.Area > shownBudget)) {
      dropped[i] = true;
      changed = true;
      continue;
    }
    shown.emplace(std::max(l.End, l.Start), l.Area);
    shownArea += l.Area;
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
  std::string text;
  read_ = ReadWholeFile(path, kMaxSubtitleBytes, text);
  if (!read_.Ok() || width <= 0 || height <= 0) return false;
  auto lower = path;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  const bool ass = lower.size() > 4 && (lower.ends_with(".ass") || lower.ends_with(".ssa"));
  if (!ass) text = SrtToAss(text, width, height, style);
  bool bounded = false;
  text = BoundAssScript(text, width, height, bounded);

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
