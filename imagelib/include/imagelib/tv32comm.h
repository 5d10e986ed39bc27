/* Common services: strings and message boxes, error information, colour choice, window
 * placement and path helpers. */
#ifndef IMAGELIB_TV32COMM_H
#define IMAGELIB_TV32COMM_H

#include "imagelib/tv32types.h"

#ifdef __cplusplus
#include <cstddef>
#else
#include <stddef.h>
#endif

/* Message record of c32ShowMb: eleven 32-bit fields on 32 bits (pointers widen on 64 bits). */
typedef struct C32MSGBOX {
    TV32HWND owner;      /* owner window, 0 for none */
    const char* caption; /* zero-terminated */
    uint32_t style;      /* icon bits: 0x10 stop, 0x20 question, 0x30 exclamation, 0x40 information */
    const char* text;    /* zero-terminated; "\n\r" and "\r\n" break lines */
    int32_t one1;        /* 1 */
    int32_t one2;        /* 1 */
    int32_t errorCode;   /* kept as error information */
    int32_t value1;
    int32_t value2;
    int32_t keepErrorInfo; /* 0: the error information is reset before the box is shown */
    int32_t reserved;      /* 0 */
} C32MSGBOX;

#if !defined(__cplusplus)
#define static_assert _Static_assert
#endif
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(C32MSGBOX) == 44, "message record is 44 bytes on 32 bits");
static_assert(offsetof(C32MSGBOX, errorCode) == 24, "error code is field 7");
static_assert(offsetof(C32MSGBOX, keepErrorInfo) == 36, "reset flag is field 10");
#endif
#if !defined(__cplusplus)
#undef static_assert
#endif

/* Most characters (and the zero) the path helpers write. */
#define TVFD_MAX_PATH 260

/* Parts of tvfdSplitPathname. */
#define TVFD_FOLDER 0 /* folder without the trailing separator ("/" for the root) */
#define TVFD_NAME 1   /* file name */

/* tv32MoveWindow: place relative to the window's own parent (or the screen). */
#define TV32_PARENT_OF_WINDOW ((TV32HWND)-1)

/* Error information (c32SetDLLErrInfo / c32GetDLLErrInfo). The libraries and the plug-ins record
 * why a call failed as (0, 0, code, detail, 0, 0); values[2] is the code. The common library's own
 * codes are the ids of its string table (c32GetString): */
#define C32_ERR_NO_MEMORY 1000 /* memory ran out */
#define C32_ERR_FAILED 1004    /* an operation failed unexpectedly */

/* Test hook of tv32ChooseColorEx: answers instead of the dialog. Gets the owner and the starting
 * colour (0x00BBGGRR); returns nonzero and sets *chosen when a colour was chosen. */
typedef int (*TV32CHOOSECOLORHOOK)(TV32HWND owner, uint32_t initial, uint32_t* chosen);

TV32_EXTERN_C_BEGIN

/* String id of the common library's table into buffer (at most size - 1 characters and a zero);
 * returns the length, 0 for an unknown id (buffer then ""). */
TV32_API int TV32_CALL c32GetString(int32_t id, char* buffer, int32_t size);
/* Shows the message box of the record (through the desktop message-box service); returns 1 (OK)
 * when shown, 0 for a bad record. */
TV32_API int TV32_CALL c32ShowMb(const C32MSGBOX* box);
/* Error information for the host: six values kept until reset (see C32_ERR_* above). */
TV32_API int TV32_CALL c32SetDLLErrInfo(int32_t v1, int32_t v2, int32_t v3, int32_t v4, int32_t v5,
                                        int32_t v6);
TV32_API int TV32_CALL c32ResetDLLErrInfo(void);
/* Copies the six values into values; returns 1 when error information is set, 0 after a reset. */
TV32_API int TV32_CALL c32GetDLLErrInfo(int32_t values[6]);

/* Colour dialog over owner, starting from *color (0x00BBGGRR); nonzero and *color set when the
 * user chose a colour. */
TV32_API int TV32_CALL tv32ChooseColorEx(TV32HWND owner, uint32_t* color, int32_t r1, int32_t r2);
/* Installs a hook answering tv32ChooseColorEx (0 removes it); returns the previous hook. */
TV32_API TV32CHOOSECOLORHOOK TV32_CALL tv32SetChooseColorHook(TV32CHOOSECOLORHOOK hook);

/* Places window centred over parent, or with TV32_PARENT_OF_WINDOW over its own parent window,
 * or over the screen when it has none (or the parent is not found); kept on the screen. mode 1
 * (centre) is the only mode. */
TV32_API int TV32_CALL tv32MoveWindow(TV32HWND window, TV32HWND parent, int32_t mode);

/* The part (TVFD_FOLDER or TVFD_NAME) of path into result (room for TVFD_MAX_PATH bytes). Paths
 * are split at both '/' and '\\'. Returns the length written, 0 when path or result is 0. */
TV32_API int TV32_CALL tvfdSplitPathname(const char* path, int32_t part, char* result);
/* Appends the path separator when path (room for TVFD_MAX_PATH bytes) does not end in '/' or
 * '\\'; an empty path stays empty. Returns path. */
TV32_API char* TV32_CALL tvfdAddSlash(char* path);
/* Removes blanks (space, tab, CR, LF) at both ends of text in place; inner blanks stay. Returns
 * text. */
TV32_API char* TV32_CALL tvfdRemoveBlanks(char* text);

TV32_EXTERN_C_END

#endif
