/*
 * MIDAS Digital Audio System: module music playback.
 *
 * Plays tracker-music modules (MOD, S3M, XM, IT and the other formats libopenmpt reads) in the
 * background: after MIDASstartBackgroundPlay the library mixes and outputs sound on its own audio
 * thread, and the program makes no periodic calls.
 *
 * Order of use: MIDASstartup, MIDASinit, MIDASstartBackgroundPlay, then MIDASloadModule /
 * MIDASplayModule / MIDASstopModule / MIDASfreeModule as needed, and at the end
 * MIDASstopBackgroundPlay and MIDASclose (which also stops and frees whatever is still loaded).
 *
 * Booleans are 32-bit values (1 true, 0 false). Module and play handles are 32-bit numbers taken
 * from the library's tables, never addresses; 0 means failure or "none". After a call fails,
 * MIDASgetLastError gives the code of that failure and MIDASgetErrorMessage its text. No call
 * lets an error of the library's own code escape: running out of memory is MIDAS_ERR_OUT_OF_MEMORY,
 * and output that cannot be mixed plays as silence.
 * All calls are meant for one thread (the program's user-interface thread).
 */
#ifndef MIDAS_MIDAS_H
#define MIDAS_MIDAS_H

#include <stdint.h>

#if defined(_WIN32)
#define MIDAS_API __declspec(dllexport)
#else
#define MIDAS_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

#ifndef BOOL
typedef int32_t BOOL; /* 32-bit Boolean: 1 true, 0 false */
#endif
#ifndef DWORD
typedef uint32_t DWORD;
#endif
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

typedef DWORD MIDASmodule;           /* handle of a loaded module, 0 = none */
typedef DWORD MIDASmodulePlayHandle; /* handle of one playback of a module, 0 = none */

/* What MIDASgetModuleInfo reports about a loaded module. Same layout on 32 and 64 bits. */
typedef struct {
    char songName[32];       /* title stored in the module, zero-terminated, cut to 31 bytes */
    uint32_t songLength;     /* number of entries in the order list */
    uint32_t numPatterns;    /* number of patterns */
    uint32_t numInstruments; /* instruments, or samples for formats without instruments (MOD, S3M) */
    uint32_t numSamples;     /* number of samples */
    uint32_t numChannels;    /* number of pattern channels */
    uint32_t durationMs;     /* length of one pass through the song, in milliseconds */
    char formatName[8];      /* short format name ("mod", "s3m", "xm", "it", ...), zero-terminated */
} MIDASmoduleInfo;

/* Error codes reported by MIDASgetLastError. */
enum {
    MIDAS_OK = 0,
    MIDAS_ERR_NOT_STARTED_UP = 1,  /* "MIDASstartup has not been called" */
    MIDAS_ERR_NOT_INITIALISED = 2, /* "Sound system not initialised" */
    MIDAS_ERR_ALREADY_INITIALISED = 3,
    MIDAS_ERR_NO_AUDIO = 4, /* no audio output could be opened, not even the silent one */
    MIDAS_ERR_PLAY_NOT_RUNNING = 5,
    MIDAS_ERR_PLAY_RUNNING = 6,
    MIDAS_ERR_OPEN_FILE = 7, /* "Unable to open file" */
    MIDAS_ERR_READ_FILE = 8,
    MIDAS_ERR_BAD_FORMAT = 9, /* "Unsupported module format" */
    MIDAS_ERR_BAD_MODULE = 10,
    MIDAS_ERR_BAD_PLAY_HANDLE = 11,
    MIDAS_ERR_BAD_ARGUMENT = 12,
    MIDAS_ERR_OUT_OF_MEMORY = 13,
    MIDAS_ERR_OUT_OF_HANDLES = 14,
    MIDAS_ERR_INTERNAL = 15 /* "Internal error": a failure inside the library it could not name */
};

/* Prepares the library's state; must come before every other call. Always true. */
MIDAS_API BOOL MIDASstartup(void);
/* Opens the sound output (stopped). Falls back to a silent output when the machine has no audio
 * device, so a program still runs there. */
MIDAS_API BOOL MIDASinit(void);
/* Starts output on the library's own audio thread. `rate` is the polling rate in Hz; 0 means the
 * library's default. The audio thread is driven by the output device, so the rate is only a hint. */
MIDAS_API BOOL MIDASstartBackgroundPlay(DWORD rate);
/* Loads a module file. Returns its handle, or 0 on failure. */
MIDAS_API MIDASmodule MIDASloadModule(char* fileName);
/* Fills `info` with the module's title and dimensions. */
MIDAS_API BOOL MIDASgetModuleInfo(MIDASmodule module, MIDASmoduleInfo* info);
/* Starts a playback of `module` from its beginning; with loopSong non-zero it repeats endlessly.
 * Returns the play handle, or 0 on failure. */
MIDAS_API MIDASmodulePlayHandle MIDASplayModule(MIDASmodule module, BOOL loopSong);
/* Stops one playback. */
MIDAS_API BOOL MIDASstopModule(MIDASmodulePlayHandle playHandle);
/* Frees a module; playbacks of it still running are stopped first. */
MIDAS_API BOOL MIDASfreeModule(MIDASmodule module);
/* Stops output; what was playing stays loaded. */
MIDAS_API BOOL MIDASstopBackgroundPlay(void);
/* Stops output, frees every module and playback and closes the sound system. Always true. */
MIDAS_API BOOL MIDASclose(void);
/* Code of the last failure (MIDAS_OK when nothing has failed since MIDASstartup). */
MIDAS_API int MIDASgetLastError(void);
/* English text for an error code; the text belongs to the library and never changes. */
MIDAS_API const char* MIDASgetErrorMessage(int errorCode);

#ifdef __cplusplus
}
#endif

#endif /* MIDAS_MIDAS_H */
