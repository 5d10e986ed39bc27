/* Common types of the image libraries: 32-bit handles, rectangles and the calling convention. */
#ifndef IMAGELIB_TV32TYPES_H
#define IMAGELIB_TV32TYPES_H

#include <stdint.h>

#ifdef __cplusplus
#define TV32_EXTERN_C_BEGIN extern "C" {
#define TV32_EXTERN_C_END }
#else
#define TV32_EXTERN_C_BEGIN
#define TV32_EXTERN_C_END
#endif

#if defined(_WIN32)
#if defined(TV32_BUILDING)
#define TV32_API __declspec(dllexport)
#else
#define TV32_API __declspec(dllimport)
#endif
#if !defined(_WIN64)
#define TV32_CALL __stdcall
#else
#define TV32_CALL
#endif
#else
#define TV32_API __attribute__((visibility("default")))
#define TV32_CALL
#endif

/* Handle of an image buffer: an opaque 32-bit value, 0 for none. */
typedef uint32_t TV32HBUF;

/* Window handle as the hosts pass it: a 32-bit value, 0 for none.
 * On this platform it is either the native window id of a top-level window (an X11 window id,
 * for hosts that are not Qt programs) or a handle handed out by tv32HandleOfWidget() in
 * <imagelib/tv32qt.h> for a QWidget of the calling process. The libraries look the value up in
 * their own registry first and then among the native windows of the process. */
typedef uint32_t TV32HWND;

/* Rectangle: right and bottom exclusive. */
typedef struct TV32RECT {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
} TV32RECT;

/* Width and height. */
typedef struct TV32SIZE {
    int32_t cx;
    int32_t cy;
} TV32SIZE;

#endif
