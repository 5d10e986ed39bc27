/* A stand-in for the sound library that the music tests put beside the installer (as libmidas.so):
 * it hands every call on to the real library named by KIT_REAL_SOUND_LIBRARY, and makes one of them
 * fail for real, as KIT_SOUND_FAULT asks. "init": MIDASinit is called twice, so the library refuses
 * (already initialised). "stop": background play is stopped once more behind the program's back, so
 * the program's own MIDASstopBackgroundPlay fails. */
#define _GNU_SOURCE
#include <midas/midas.h>

#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void* real(const char* name) {
    static void* lib;
    if (!lib) {
        const char* path = getenv("KIT_REAL_SOUND_LIBRARY");
        lib = path ? dlopen(path, RTLD_NOW | RTLD_LOCAL) : NULL;
        if (!lib) {
            fprintf(stderr, "soundfault: cannot load the real sound library: %s\n", dlerror());
            abort();
        }
    }
    void* f = dlsym(lib, name);
    if (!f) abort();
    return f;
}

static int fault(const char* which) {
    const char* f = getenv("KIT_SOUND_FAULT");
    return f && strcmp(f, which) == 0;
}

#define FORWARD(ret, name, params, args)                                                                     \
    ret name params {                                                                                        \
        return ((ret(*) params)real(#name))args;                                                             \
    }

FORWARD(BOOL, MIDASstartup, (void), ())
FORWARD(BOOL, MIDASstartBackgroundPlay, (DWORD rate), (rate))
FORWARD(MIDASmodule, MIDASloadModule, (char* fileName), (fileName))
FORWARD(BOOL, MIDASgetModuleInfo, (MIDASmodule module, MIDASmoduleInfo* info), (module, info))
FORWARD(MIDASmodulePlayHandle, MIDASplayModule, (MIDASmodule module, BOOL loopSong), (module, loopSong))
FORWARD(BOOL, MIDASstopModule, (MIDASmodulePlayHandle playHandle), (playHandle))
FORWARD(BOOL, MIDASfreeModule, (MIDASmodule module), (module))
FORWARD(BOOL, MIDASclose, (void), ())
FORWARD(int, MIDASgetLastError, (void), ())
FORWARD(const char*, MIDASgetErrorMessage, (int errorCode), (errorCode))

BOOL MIDASinit(void) {
    BOOL (*init)(void) = (BOOL(*)(void))real("MIDASinit");
    if (fault("init")) init();
    return init();
}

BOOL MIDASstopBackgroundPlay(void) {
    BOOL (*stop)(void) = (BOOL(*)(void))real("MIDASstopBackgroundPlay");
    if (fault("stop")) stop();
    return stop();
}
