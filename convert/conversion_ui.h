// How a conversion talks to whoever started it: messages, questions,
// progress, the frame being worked on, and cancelling. The application
// implements it with its windows, the command line with options and a
// progress line.
#pragma once

#include <cstdint>
#include <string>

#include "mdec/codec.h"
#include "platform/message_sink.h"

namespace belmora {

struct StrDocument;
struct TForm4;
struct AviToStrSettings;

enum class AskButtons { kYesNo, kOkCancel };

class ConversionUi : public MessageSink {
 public:
  // A question; the answer as the toolkit numbers buttons (kBoxYes, kBoxNo,
  // kBoxOk, kBoxCancel).
  virtual int Ask(const std::string& text, const std::string& caption, AskButtons buttons) = 0;
  // The progress dialog: shown, its bar from 0 to 100, closed. While it is
  // shown the main window is disabled.
  virtual void BeginProgress() = 0;
  virtual void SetProgress(int percent) = 0;
  virtual void EndProgress() = 0;
  // The main window's label and time bar (in units of 75 sectors).
  virtual void SetLabel(const std::string& text) = 0;
  virtual void SetBarPosition(int position) = 0;
  virtual void ShowFrame(const FrameImage& image, bool halfWidth) = 0;
  // Lets waiting window messages run; then whether Cancelar was pressed.
  virtual void PumpMessages() = 0;
  virtual bool CancelRequested() = 0;

  // The end of one frame of a conversion over sectors first..last: the
  // progress bar, the main window's label for the frame just done, waiting
  // messages; true when Cancelar was pressed.
  bool AfterFrame(const StrDocument& doc, int32_t first, int32_t last);

  // The modal dialogs of the AVI-to-STR conversion: shown (FormShow), edited
  // by the user, closed with OK (true) or Cancel. As given here they are
  // accepted with their defaults.
  virtual bool ShowNewStrDialog(TForm4& dialog, StrDocument& doc);
  virtual bool ShowSettingsDialog(AviToStrSettings& settings, const StrDocument& doc);
};

}  // namespace belmora
