// Writes the inputs made to exhaust the readers (see
// tests/support/hostile_inputs.h) into a folder, beside movie.str, the
// movie they are used with; or, given --huge-png, one picture file of a
// sequence that claims 16000 x 16000; or, given --largest, the largest real
// inputs of each kind (a sound channel of the minutes given).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "tests/support/hostile_inputs.h"
#include "tests/support/run.h"

int main(int argc, char** argv) {
  namespace test = belmora::test;
  if (argc == 3 && std::strcmp(argv[1], "--huge-png") == 0) {
    test::WriteHugePng(argv[2]);
    return 0;
  }
  if (argc == 4 && std::strcmp(argv[1], "--largest") == 0) {
    std::filesystem::create_directories(argv[2]);
    test::WriteLargestInputs(argv[2], std::atoi(argv[3]));
    return 0;
  }
  if (argc != 2) {
    std::fprintf(stderr,
                 "usage: make-hostile-inputs DIR | make-hostile-inputs --huge-png FILE |\n"
                 "       make-hostile-inputs --largest DIR MINUTES\n");
    return 2;
  }
  const std::string dir = argv[1];
  std::filesystem::create_directories(dir);
  const auto movie = test::HostileMovie();
  test::WriteFileBytes(dir + "/movie.str", movie);
  if (!test::WriteHostileInputs(dir, movie)) {
    std::fprintf(stderr, "make-hostile-inputs: the disc image could not be made\n");
    return 1;
  }
  return 0;
}
