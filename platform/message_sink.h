// Where user-visible messages go. The GUI shows them in a box, the command
// line prints them to stderr, tests collect them.
#pragma once

#include <string>
#include <vector>

namespace belmora {

// Results of a message box, with the toolkit's button numbering.
enum BoxResult { kBoxOk = 1, kBoxCancel = 2, kBoxYes = 6, kBoxNo = 7 };

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Shows `text` with one OK button and returns the box's result.
  virtual int Show(const std::string& text, const std::string& caption) = 0;
};

// The caption every ordinary message box carries.
inline constexpr const char* kMessageCaption = "メッセージ";
// A file that cannot be created or opened (new STR, BMP and WAV outputs).
inline constexpr const char* kMsgCannotOpenFile = "ファイルがオープンできません。";

// Formats printf-style into at most 1024 bytes (longer texts are cut) and
// shows the result through `sink` with the ordinary caption.
int MessageBoxF(MessageSink& sink, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Keeps every message; used where nobody is watching (and by tests).
class CollectingSink : public MessageSink {
 public:
  int Show(const std::string& text, const std::string& caption) override {
    texts.push_back(text);
    captions.push_back(caption);
    return kBoxOk;
  }
  std::vector<std::string> texts;
  std::vector<std::string> captions;
};

}  // namespace belmora
