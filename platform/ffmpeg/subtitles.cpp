// Subtitles drawn by libass.
#include <ass/ass.h>

#include <string>

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
  ass_set_fonts(impl->renderer, nullptr, style.Font.empty() ? "sans-serif" : style.Font.c_str(),
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

bool Subtitles::Draw(int64_t ms, uint8_t* bgr, int width, int height, size_t stride) {
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

}  // namespace belmora::ffmpeg
