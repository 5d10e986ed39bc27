/* The about box of the package. */
#ifndef IMAGELIB_SCABOUT_H
#define IMAGELIB_SCABOUT_H

#include "imagelib/tv32types.h"

/* Hook answering ShowAboutBox instead of the dialog: gets the owner and the box's text. */
typedef int (*SCABOUTHOOK)(TV32HWND owner, const char* text);

TV32_EXTERN_C_BEGIN

/* Called once by each library that uses the about box, when it is loaded. */
TV32_API int TV32_CALL InitAboutDll(void);
/* The about box (product, plug-ins, version), modal over owner; returns 1 once closed. */
TV32_API int TV32_CALL ShowAboutBox(TV32HWND owner);
/* Installs a hook (0 removes it); returns the previous one. */
TV32_API SCABOUTHOOK TV32_CALL scSetAboutBoxHook(SCABOUTHOOK hook);
/* How many times InitAboutDll was called in this process. */
TV32_API int TV32_CALL scAboutInitCount(void);

TV32_EXTERN_C_END

#endif
