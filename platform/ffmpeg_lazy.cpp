// The FFmpeg libraries, and libass, loaded on the first call into them, so
// that commands that never read or write a video (or draw a subtitle) start
// without mapping them and the many libraries they bring along.
#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

extern "C" {
#include <libavcodec/version.h>
#include <libavformat/version.h>
#include <libavutil/version.h>
#include <libswresample/version.h>
#include <libswscale/version.h>
}

namespace {

enum Library { kUtil, kCodec, kFormat, kScale, kResample, kAss, kLibraries };

// The libraries by the names the program was built against (their major
// versions keep the binary interface).
const char* const kLibraryNames[kLibraries] = {
    "libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR),
    "libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR),
    "libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR),
    "libswscale.so." AV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR),
    "libswresample.so." AV_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR),
    BELMORA_LIBASS_SONAME,
};

struct Function {
  const char* Name;
  Library In;
};
#define BELMORA_FFMPEG_FUNCTION(name, library) {#name, library},
const Function kFunctions[] = {
#include "platform/ffmpeg_functions.inc"
};
#undef BELMORA_FFMPEG_FUNCTION
constexpr int kFunctionCount = int(sizeof kFunctions / sizeof kFunctions[0]);

// Each library is loaded when a function of its own is first called (with
// those it needs): a command writing uncompressed AVI never maps libswscale.
std::once_flag opened[kLibraries];
void* handles[kLibraries];

[[noreturn]] void Fail(const char* what, const char* name) {
  const char* reason = dlerror();
  std::fprintf(stderr, "FFmpeg: %s %s: %s\n", what, name, reason ? reason : "");
  std::abort();
}

}  // namespace

// Read by the entry points without a lock: a slot holds null or the function.
extern "C" {
std::atomic<void*> BelmoraFfmpegSlots[kFunctionCount];

void* BelmoraFfmpegResolve(unsigned index) {
  const Function& f = kFunctions[index];
  const int library = f.In;
  std::call_once(opened[library], [library] {
    handles[library] = dlopen(kLibraryNames[library], RTLD_LAZY | RTLD_GLOBAL);
    if (!handles[library]) Fail("cannot load", kLibraryNames[library]);
  });
  void* address = dlsym(handles[f.In], f.Name);
  if (!address) Fail("no function", f.Name);
  BelmoraFfmpegSlots[index].store(address, std::memory_order_release);
  return address;
}
}

// Entry points of the FFmpeg functions, loading the libraries on first use:
// each jumps through its slot, and while the slot is empty goes by the
// common path, which saves the argument registers, asks the loader for the
// function and jumps to it with the arguments as they came. (x86-64, System
// V calling convention: rdi, rsi, rdx, rcx, r8, r9, xmm0-xmm7 and al, the
// vector register count of a variadic call; r11 is free at a call.)
#define BELMORA_STRING2(x) #x
#define BELMORA_STRING(x) BELMORA_STRING2(x)
#define BELMORA_FFMPEG_FUNCTION(name, library) \
  "BELMORA_STUB " #name ", " BELMORA_STRING(__COUNTER__) "\n"
__asm__(
    ".text\n"
    ".macro BELMORA_STUB name, index\n"
    ".globl \\name\n"
    ".type \\name, @function\n"
    ".p2align 4\n"
    "\\name:\n"
    "  movq BelmoraFfmpegSlots+8*\\index(%rip), %r11\n"
    "  testq %r11, %r11\n"
    "  jz 1f\n"
    "  jmp *%r11\n"
    "1:\n"
    "  movl $\\index, %r11d\n"
    "  jmp belmora_ffmpeg_first_call\n"
    ".size \\name, .-\\name\n"
    ".endm\n"
#include "platform/ffmpeg_functions.inc"
    ".p2align 4\n"
    ".type belmora_ffmpeg_first_call, @function\n"
    "belmora_ffmpeg_first_call:\n"
    "  pushq %rbp\n"
    "  movq %rsp, %rbp\n"
    "  subq $192, %rsp\n"
    "  andq $-16, %rsp\n"
    "  movq %rdi, 0(%rsp)\n"
    "  movq %rsi, 8(%rsp)\n"
    "  movq %rdx, 16(%rsp)\n"
    "  movq %rcx, 24(%rsp)\n"
    "  movq %r8, 32(%rsp)\n"
    "  movq %r9, 40(%rsp)\n"
    "  movq %rax, 48(%rsp)\n"
    "  movdqa %xmm0, 64(%rsp)\n"
    "  movdqa %xmm1, 80(%rsp)\n"
    "  movdqa %xmm2, 96(%rsp)\n"
    "  movdqa %xmm3, 112(%rsp)\n"
    "  movdqa %xmm4, 128(%rsp)\n"
    "  movdqa %xmm5, 144(%rsp)\n"
    "  movdqa %xmm6, 160(%rsp)\n"
    "  movdqa %xmm7, 176(%rsp)\n"
    "  movl %r11d, %edi\n"
    "  call BelmoraFfmpegResolve\n"
    "  movq %rax, %r11\n"
    "  movq 0(%rsp), %rdi\n"
    "  movq 8(%rsp), %rsi\n"
    "  movq 16(%rsp), %rdx\n"
    "  movq 24(%rsp), %rcx\n"
    "  movq 32(%rsp), %r8\n"
    "  movq 40(%rsp), %r9\n"
    "  movq 48(%rsp), %rax\n"
    "  movdqa 64(%rsp), %xmm0\n"
    "  movdqa 80(%rsp), %xmm1\n"
    "  movdqa 96(%rsp), %xmm2\n"
    "  movdqa 112(%rsp), %xmm3\n"
    "  movdqa 128(%rsp), %xmm4\n"
    "  movdqa 144(%rsp), %xmm5\n"
    "  movdqa 160(%rsp), %xmm6\n"
    "  movdqa 176(%rsp), %xmm7\n"
    "  movq %rbp, %rsp\n"
    "  popq %rbp\n"
    "  jmp *%r11\n"
    ".size belmora_ffmpeg_first_call, .-belmora_ffmpeg_first_call\n");
#undef BELMORA_FFMPEG_FUNCTION
