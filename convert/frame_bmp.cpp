#include "convert/frame_bmp.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/bytes.h"
#include "base/messages.h"
#include "convert/output_file.h"

namespace belmora {

std::vector<uint8_t> FrameBmpBytes(const FrameImage& image, bool halfWidth) {
  const int w = halfWidth ? image.Width / 2 : image.Width;
  const int h = image.Height;
  const size_t pixels = size_t(w) * size_t(h) * 3;
  std::vector<uint8_t> out(54 + pixels, 0);
  out[0] = 'B';
  out[1] = 'M';
  PutU32(&out[2], uint32_t(54 + pixels));
  PutU32(&out[10], 54);
  // The picture's own info header, turned bottom-up for the file.
  std::memcpy(&out[14], image.Header.data(), 40);
  PutU32(&out[18], uint32_t(w));
  PutU32(&out[22], uint32_t(h));
  PutU32(&out[34], uint32_t(pixels));
  uint8_t* dst = out.data() + 54;
  for (int y = h - 1; y >= 0; y--, dst += size_t(w) * 3)
    std::memcpy(dst, image.Pixels.data() + size_t(y) * image.Stride(), size_t(w) * 3);
  return out;
}

Status SaveFrameBmp(const FrameCodec& codec, const std::string& path, Host& host) {
  PartFile part(path);
  if (!part.Create(host, &msg::kCannotOpenFile)) return Status::kFailed;
  std::FILE* f = std::fopen(part.Part().c_str(), "wb");
  if (!f) {
    Show(host, msg::kCannotOpenFile);
    return Status::kFailed;
  }
  auto bytes = FrameBmpBytes(codec.Image, codec.HalfWidthView);
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  int error = ok ? 0 : errno;
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) Show(host, msg::kWriteError, path.c_str(), std::strerror(error));
  return ok && part.Commit(host) ? Status::kOk : Status::kFailed;
}

}  // namespace belmora

namespace belmora {

Status ImportFrameBmp(FrameCodec& codec, StrDocument& doc, FrameNumbering& numbering,
                      const std::string& path, const ImagePosition& position,
                      EncodeResult* result, FrameFitter* fit) {
  TBmpIo picture;
  if (picture.ReadBmp(path, *doc.Ui) != 0) return Status::kFailed;
  picture.XOffset = position.ImageOffsetX;
  picture.YOffset = position.ImageOffsetY;
  // Under a rollback journal: a failed write puts the frame back as it was.
  DocumentEdit edit(doc);
  if (!edit.Ok()) return Status::kFailed;
  const int stored = fit ? fit->Store(codec, doc, picture, numbering, nullptr)
                         : EncodeAndStoreFrame(codec, doc, picture, numbering, result);
  if (stored != 0 || doc.WriteFailed) return Status::kFailed;
  return edit.Commit() ? Status::kOk : Status::kFailed;
}

}  // namespace belmora
