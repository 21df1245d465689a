// A library the tests' broken media module needs and that is never beside it.
extern "C" int BelmoraTestAbsent() {
  return 1;
}
