/* Preloaded into the installer by the music tests to make the sound library fail as it can on a
 * real machine. KIT_SOUND_FAULT=init: SDL cannot start its audio at all (not even the silent dummy
 * driver), so MIDASinit fails. KIT_SOUND_FAULT=stop: background play is stopped once more behind
 * the program's back at exit, so the program's own MIDASstopBackgroundPlay fails. */
#define _GNU_SOURCE
#include <midas/midas.h>

#include <dlfcn.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

static int fault(const char* which) {
    const char* f = getenv("KIT_SOUND_FAULT");
    return f && strcmp(f, which) == 0;
}

int SDL_InitSubSystem(uint32_t flags) {
    if (fault("init") && (flags & 0x10u /* SDL_INIT_AUDIO */)) return -1;
    int (*real)(uint32_t) = (int (*)(uint32_t))dlsym(RTLD_NEXT, "SDL_InitSubSystem");
    return real ? real(flags) : -1;
}

BOOL MIDASstopBackgroundPlay(void) {
    BOOL (*real)(void) = (BOOL(*)(void))dlsym(RTLD_NEXT, "MIDASstopBackgroundPlay");
    if (!real) return FALSE;
    if (fault("stop")) real();
    return real();
}
