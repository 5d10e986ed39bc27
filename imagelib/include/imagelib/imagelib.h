/* All interfaces of the image libraries. */
#ifndef IMAGELIB_IMAGELIB_H
#define IMAGELIB_IMAGELIB_H
#include "imagelib/scabout.h"
#include "imagelib/tv32base.h"
#include "imagelib/tv32clips.h"
#include "imagelib/tv32comm.h"
#include "imagelib/tv32cvt.h"
#include "imagelib/tv32sel.h"
#include "imagelib/tv32tx.h"
#include "imagelib/tv32txlib.h"
#include "imagelib/tv32txtur.h"
#include "imagelib/tv32vargrid.h"
#endif
