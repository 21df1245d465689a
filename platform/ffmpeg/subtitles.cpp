// Subtitles drawn by libass.
#include <ass/ass.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ffmpeg/backends.h"

namespace belmora::ffmpeg {

struct Subtitles::Impl {
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

Subtitles::Subtitles() = default;
Subtitles::~Subtitles() = default;

bool Subtitles::Load(const std::string& ass, int width, int height, const SubtitleStyle& style) {
  impl_.reset();
  if (width <= 0 || height <= 0) return false;
  auto impl = std::make_unique<Impl>();
  impl->library = ass_library_init();
  if (!impl->library) return false;
  ass_set_message_cb(impl->library, [](int, const char*, va_list, void*) {}, nullptr);
  impl->renderer = ass_renderer_init(impl->library);
  if (!impl->renderer) return false;
  impl->SetSize(width, height);
  // Rendered glyphs and bitmaps are kept for reuse up to 16 MiB (libass
  // would keep up to about 200 MiB over a long movie; pictures this small
  // need far less).
  ass_set_cache_limits(impl->renderer, 0, 16);
  // As FFmpeg's subtitles filter draws (and so as the translators' usual
  // pipeline burns): simple shaping (no kerning or ligatures: glyphs sit
  // where their advances put them) and fontconfig's own fallback.
  ass_set_shaper(impl->renderer, ASS_SHAPING_SIMPLE);
  ass_set_fonts(impl->renderer, nullptr, style.Font.empty() ? nullptr : style.Font.c_str(),
                ASS_FONTPROVIDER_AUTODETECT, nullptr, 1);
  std::string text = ass;  // libass reads from a buffer it may change
  impl->track = ass_read_memory(impl->library, text.data(), text.size(), nullptr);
  if (!impl->track) return false;
  impl_ = std::move(impl);
  return true;
}

int Subtitles::EventCount() const {
  return impl_ ? impl_->track->n_events : 0;
}

namespace {

// The picture under the subtitles as FFmpeg holds a decoded movie frame
// while its subtitles filter draws: full-range BT.601 luma per pixel and
// chroma per 2 x 2 pixels, in bytes. Only the area the images cover is
// converted (whole 2 x 2 groups); the rest of the picture is left as it is.
class Planes420 {
 public:
  Planes420(uint8_t* bgr, int width, int height, size_t stride, int x0, int y0, int x1, int y1)
      : bgr_(bgr), stride_(stride), width_(width), height_(height), x0_(x0 & ~1), y0_(y0 & ~1),
        w_(std::min((x1 + 1) & ~1, (width + 1) & ~1) - x0_),
        h_(std::min((y1 + 1) & ~1, (height + 1) & ~1) - y0_),
        luma_(size_t(w_) * size_t(h_)), cb_(luma_.size() / 4), cr_(luma_.size() / 4) {
    for (int gy = 0; gy < h_ / 2; gy++)
      for (int gx = 0; gx < w_ / 2; gx++) {
        // A decoded 4:2:0 picture has one chroma per group; the group's
        // mean gives it back (but where the conversion clipped).
        double b = 0, g = 0, r = 0;
        for (int k = 0; k < 4; k++) {
          const uint8_t* p = Pixel(2 * gx + (k & 1), 2 * gy + (k >> 1));
          b += p[0];
          g += p[1];
          r += p[2];
          luma_[Index(2 * gx + (k & 1), 2 * gy + (k >> 1))] = Byte(0.299 * p[2] + 0.587 * p[1] + 0.114 * p[0]);
        }
        cb_[Group(gx, gy)] = Byte(128 + (-0.168736 * r - 0.331264 * g + 0.5 * b) / 4);
        cr_[Group(gx, gy)] = Byte(128 + (0.5 * r - 0.418688 * g - 0.081312 * b) / 4);
      }
  }
  // One libass image blended as FFmpeg blends a mask into a 4:2:0 frame:
  // the opacity in 24-bit fixed point (full coverage of an opaque colour
  // gives the colour itself); chroma takes the mean coverage of its group.
  void Blend(const ASS_Image& img) {
    const uint32_t opacity = (0x10307 * (255 - (img.color & 0xFF)) + 3) >> 8;
    if (opacity == 0) return;
    const double red = img.color >> 24, green = (img.color >> 16) & 0xFF, blue = (img.color >> 8) & 0xFF;
    const uint32_t y = Byte(0.299 * red + 0.587 * green + 0.114 * blue);
    const uint32_t cb = Byte(128 - 0.168736 * red - 0.331264 * green + 0.5 * blue);
    const uint32_t cr = Byte(128 + 0.5 * red - 0.418688 * green - 0.081312 * blue);
    auto mix = [](uint8_t& v, uint32_t a, uint32_t colour) {
      v = uint8_t(((0x1010101 - a) * v + a * colour) >> 24);
    };
    std::vector<uint32_t> sum(cb_.size(), 0);
    for (int row = 0; row < img.h; row++) {
      const int py = img.dst_y + row - y0_;
      if (py < 0 || py >= h_ || img.dst_y + row >= height_) continue;
      const unsigned char* mask = img.bitmap + size_t(row) * size_t(img.stride);
      for (int col = 0; col < img.w; col++) {
        const int px = img.dst_x + col - x0_;
        if (px < 0 || px >= w_ || img.dst_x + col >= width_ || mask[col] == 0) continue;
        mix(luma_[Index(px, py)], mask[col] * opacity, y);
        sum[Group(px / 2, py / 2)] += mask[col];
        touched_ = true;
      }
    }
    for (size_t g = 0; g < sum.size(); g++) {
      if (sum[g] == 0) continue;
      mix(cb_[g], (sum[g] >> 2) * opacity, cb);
      mix(cr_[g], (sum[g] >> 2) * opacity, cr);
    }
  }
  // Back to blue, green, red where anything was drawn.
  bool Store() {
    if (!touched_) return false;
    for (int py = 0; py < h_; py++)
      for (int px = 0; px < w_; px++) {
        if (x0_ + px >= width_ || y0_ + py >= height_) continue;
        const double l = luma_[Index(px, py)];
        const double b = cb_[Group(px / 2, py / 2)] - 128.0, r = cr_[Group(px / 2, py / 2)] - 128.0;
        uint8_t* p = Pixel(px, py);
        p[0] = Byte(l + 1.772 * b);
        p[1] = Byte(l - 0.344136 * b - 0.714136 * r);
        p[2] = Byte(l + 1.402 * r);
      }
    return true;
  }

 private:
  static uint8_t Byte(double v) { return uint8_t(std::clamp(std::lround(v), 0L, 255L)); }
  size_t Index(int px, int py) const { return size_t(py) * size_t(w_) + size_t(px); }
  size_t Group(int gx, int gy) const { return size_t(gy) * size_t(w_ / 2) + size_t(gx); }
  // Pixel (px, py) of the area; a group's pixels past the picture's edge
  // repeat its last column or row.
  uint8_t* Pixel(int px, int py) const {
    const int x = std::min(x0_ + px, width_ - 1), y = std::min(y0_ + py, height_ - 1);
    return bgr_ + size_t(y) * stride_ + size_t(x) * 3;
  }

  uint8_t* bgr_;
  size_t stride_;
  int width_, height_, x0_, y0_, w_, h_;
  std::vector<uint8_t> luma_, cb_, cr_;
  bool touched_ = false;
};

}  // namespace

bool Subtitles::Draw(int64_t ms, uint8_t* bgr, int width, int height, size_t stride) {
  if (!impl_ || width <= 0 || height <= 0) return false;
  impl_->SetSize(width, height);
  ASS_Image* images = ass_render_frame(impl_->renderer, impl_->track, ms, nullptr);
  int x0 = width, y0 = height, x1 = 0, y1 = 0;
  for (const ASS_Image* img = images; img; img = img->next) {
    x0 = std::min(x0, std::max(img->dst_x, 0));
    y0 = std::min(y0, std::max(img->dst_y, 0));
    x1 = std::max(x1, std::min(img->dst_x + img->w, width));
    y1 = std::max(y1, std::min(img->dst_y + img->h, height));
  }
  if (x0 >= x1 || y0 >= y1) return false;
  Planes420 planes(bgr, width, height, stride, x0, y0, x1, y1);
  for (const ASS_Image* img = images; img; img = img->next) planes.Blend(*img);
  return planes.Store();
}

}  // namespace belmora::ffmpeg
