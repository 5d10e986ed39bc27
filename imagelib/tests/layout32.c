/* The records as a 32-bit C compiler lays them out. */
#include "imagelib/imagelib.h"

_Static_assert(sizeof(void*) == 4, "checked as a 32-bit build");
_Static_assert(sizeof(BUF32CELL) == 32, "cell record is eight fields");
_Static_assert(offsetof(BUF32CELL, pixels) == 28, "first pixel address is field 7");
_Static_assert(sizeof(C32MSGBOX) == 44, "message record is eleven fields");
_Static_assert(offsetof(C32MSGBOX, text) == 12, "text address is field 4");
_Static_assert(sizeof(SEL32RECORD) == 60, "selection record");
_Static_assert(sizeof(TV32HBUF) == 4 && sizeof(TV32HWND) == 4, "32-bit handles");
