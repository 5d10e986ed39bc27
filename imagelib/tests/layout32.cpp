// The records as a 32-bit C++ compiler lays them out.
#include "imagelib/imagelib.h"

static_assert(sizeof(void*) == 4, "checked as a 32-bit build");
static_assert(sizeof(BUF32CELL) == 32, "cell record is eight fields");
static_assert(offsetof(BUF32CELL, pixels) == 28, "first pixel address is field 7");
static_assert(sizeof(C32MSGBOX) == 44, "message record is eleven fields");
static_assert(offsetof(C32MSGBOX, value2) == 32, "second value is field 9");
static_assert(sizeof(SEL32RECORD) == 60, "selection record");
static_assert(offsetof(SEL32RECORD, bounds) == 28 && offsetof(SEL32RECORD, inner) == 44, "rectangles");
