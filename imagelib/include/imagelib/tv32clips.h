/* Image lists: the items of a texture library file (tv32txlib.h) with their thumbnails, shown in a
 * thumbnail grid control, and each item's data block handed to the owner's data callback.
 *
 * Item numbers are those of the file (1, 2, 3, ...); a list keeps its items in file order.
 *
 * The data callback, proc(list, event, item number, data):
 *   1  size query: data null asks for the size of the record; else the owner writes it to data
 *   2  loading starts (item number 0, data null)
 *   4  fetch item data: the owner copies its stored entry of the item to data ({L, value, L
 *      bytes}), or only measures it when data is null; returns its size (0: none)
 *   5  store item data: data is {L, value, L bytes} (32-bit L and value, then L bytes); called
 *      once for every item of the file, in file order
 * The list calls event 4 (tv32IIOItemData) only while the callback is active (settings byte 44).
 */
#ifndef IMAGELIB_TV32CLIPS_H
#define IMAGELIB_TV32CLIPS_H

#include "imagelib/tv32types.h"

typedef int32_t(TV32_CALL* TV32IIOPROC)(void* list, int32_t event, int32_t itemNumber, void* data);

/* Settings record of a list (commands 1 and 2). The 32-bit fields keep their byte positions on
 * every build; the two addresses follow at their natural alignment: bytes 68 and 72 where an
 * address has 32 bits, bytes 72 and 80 where it has 64 bits. */
typedef struct TV32IIOSETTINGS {
    int32_t reserved0;      /* 0 */
    int32_t columns;        /* 4: columns shown across a window */
    int32_t columnsPage;    /* 8: columns per row when scrolling */
    int32_t reserved1[8];   /* 12 */
    int32_t callbackActive; /* 44: 1 when the data callback is called */
    int32_t reserved2[5];   /* 48 */
    void* store;            /* 68 (72): the owner's data, handed back untouched */
    TV32IIOPROC callback;   /* 72 (80): the data callback */
} TV32IIOSETTINGS;

/* {count, address of item numbers} of commands 9 and 10. */
typedef struct TV32IIOSELECTION {
    int32_t count;
    int32_t* items;
} TV32IIOSELECTION;

/* Thumbnail size (command 13): width at byte 8, height at byte 12. */
typedef struct TV32IIOTHUMBSIZE {
    int32_t reserved0, reserved1;
    int32_t width, height;
} TV32IIOTHUMBSIZE;

#define TV32_IIO_NAME_SIZE 252

/* Item information record (tv32IIAction commands 3 and 4). */
typedef struct TV32IIINFO {
    int32_t number;                /* 0: item number */
    int32_t value;                 /* 4: value given with the item */
    int32_t width, height;         /* 8, 12: thumbnail size */
    char name[TV32_IIO_NAME_SIZE]; /* 16: name (UTF-8, zero-terminated) */
    int32_t dataLength;            /* 268: length of the item's data */
    int32_t reserved;              /* 272 */
} TV32IIINFO;

/* tv32IIOAction commands */
#define TV32_IIO_SET_SETTINGS 1
#define TV32_IIO_GET_SETTINGS 2
#define TV32_IIO_SELECT 9
#define TV32_IIO_SELECTED 10
#define TV32_IIO_SHOW 12
#define TV32_IIO_THUMB_SIZE 13
#define TV32_IIO_COUNT 24
#define TV32_IIO_BACKGROUND 27

/* tv32IIAction commands */
#define TV32_II_SET_INFO 3
#define TV32_II_GET_INFO 4

/* Class name of the thumbnail grid control (a widget made with tv32::createImageListControl). */
#define TV32IIO_CLASS "TV32IIO_CLASS"

TV32_EXTERN_C_BEGIN

/* Reads a library file into a new list: the callback (may be null) gets event 2, then event 5
 * for every item. Returns the list, or null when the file cannot be read or is malformed. */
TV32_API void* TV32_CALL tv32LoadIIO(const char* path, TV32IIOPROC callback);

/* A new list of count items numbered 1 .. count whose thumbnails are copies of the pictures (8 or
 * 24 bits; the pictures stay the caller's), all of the first picture's size (others are scaled
 * to it), shown one per column. The callback (may be null) is kept in the settings as for a
 * loaded list; the items carry no data. Returns the list, or null for no pictures, an invalid
 * picture or no memory. */
TV32_API void* TV32_CALL tv32CreateIIO(const TV32HBUF* pictures, int32_t count, TV32IIOPROC callback);

/* List commands (above). Returns the command's result: 1 / 0 for set, get, select, show and
 * background; the count for 10 (with data null: the number selected; with a selection record:
 * how many numbers were written) and 24; 1 for 13. -1 for an unknown command or bad argument. */
TV32_API int32_t TV32_CALL tv32IIOAction(void* list, int32_t command, int32_t value, void* data);

/* Item commands: 4 reads the information of item itemNumber into info, 3 writes it back (only the
 * data length and value are taken). Returns 1, or 0 when the list has no such item. */
TV32_API int32_t TV32_CALL tv32IIAction(void* list, int32_t command, int32_t itemNumber, TV32IIINFO* info);

/* The data of an item through the data callback's event 4 (while it is active): its size, copied
 * to data when data is not null. 0 when there is none. */
TV32_API int32_t TV32_CALL tv32IIOItemData(void* list, int32_t itemNumber, void* data);

/* Takes the list out of any window and releases it. */
TV32_API int TV32_CALL tv32DestroyIIO(void* list);

TV32_EXTERN_C_END

#ifdef __cplusplus
class QWidget;
class QAbstractScrollArea;
namespace tv32 {
/* A thumbnail grid control (object name TV32IIO_CLASS, a QAbstractScrollArea): shows the list
 * given with command 12 in its columns, selects by click and arrow keys, scrolls by rows
 * (one scroll bar step = one row). Its handle is what command 12 takes. The grid's signals
 * "selectionChanged()" and "itemActivated(int)" (double click or Return) tell its owner. */
TV32_API QAbstractScrollArea* createImageListControl(QWidget* parent);
} // namespace tv32
#endif

#endif
