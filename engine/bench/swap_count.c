/* Preloaded into an engine by host_frame_rate.sh: counts glXSwapBuffers calls
   into an 8-byte file (SORVANE_SWAP_COUNT) that the script reads while the
   engine runs. Wine looks glXGetProcAddressARB up with dlsym on libGL's own
   handle (which a preloaded definition does not interpose) and the rest
   through it, so dlsym and that lookup are wrapped too. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

typedef void (*SwapFn)(void*, unsigned long);
typedef void* (*DlsymFn)(void*, const char*);

static volatile uint64_t* counter;
static SwapFn realSwap;

static DlsymFn RealDlsym(void) {
  static DlsymFn real;
  if (!real) real = (DlsymFn)dlvsym(RTLD_NEXT, "dlsym", "GLIBC_2.34");
  if (!real) real = (DlsymFn)dlvsym(RTLD_NEXT, "dlsym", "GLIBC_2.2.5");
  return real;
}

static void Count(void) {
  if (!counter) {
    const char* path = getenv("SORVANE_SWAP_COUNT");
    int fd = path ? open(path, O_RDWR) : -1;
    if (fd < 0) return;
    void* p = mmap(NULL, 8, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (p == MAP_FAILED) return;
    counter = (volatile uint64_t*)p;
  }
  __atomic_fetch_add(counter, 1, __ATOMIC_RELAXED);
}

static void CountedSwap(void* display, unsigned long drawable) {
  Count();
  realSwap(display, drawable);
}

__attribute__((visibility("default"))) void glXSwapBuffers(void* display, unsigned long drawable) {
  if (!realSwap) realSwap = (SwapFn)RealDlsym()(RTLD_NEXT, "glXSwapBuffers");
  CountedSwap(display, drawable);
}

typedef void* (*GetProcFn)(const unsigned char*);
static GetProcFn realGetProc;
static void* CountingGetProc(const unsigned char* name);

static void* Wrapped(const char* name, void* found) {
  if (found && name && strcmp(name, "glXGetProcAddressARB") == 0) {
    realGetProc = (GetProcFn)found;
    return (void*)CountingGetProc;
  }
  if (found && name && strcmp(name, "glXSwapBuffers") == 0) {
    realSwap = (SwapFn)found;
    return (void*)CountedSwap;
  }
  return found;
}

static void* CountingGetProc(const unsigned char* name) {
  return Wrapped((const char*)name, realGetProc(name));
}

__attribute__((visibility("default"))) void* glXGetProcAddressARB(const unsigned char* name) {
  static GetProcFn real;
  if (!real) real = (GetProcFn)RealDlsym()(RTLD_NEXT, "glXGetProcAddressARB");
  return Wrapped((const char*)name, real(name));
}

__attribute__((visibility("default"))) void* glXGetProcAddress(const unsigned char* name) {
  static GetProcFn real;
  if (!real) real = (GetProcFn)RealDlsym()(RTLD_NEXT, "glXGetProcAddress");
  return Wrapped((const char*)name, real(name));
}

__attribute__((visibility("default"))) void* dlsym(void* handle, const char* name) {
  return Wrapped(name, RealDlsym()(handle, name));
}
