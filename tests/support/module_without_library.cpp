// A media module that needs a library which is not there: loading it fails
// the way a module fails when an FFmpeg library has been removed.
extern "C" int BelmoraTestAbsent();

extern "C" int BelmoraTestNeedsAbsent() {
  return BelmoraTestAbsent();
}
