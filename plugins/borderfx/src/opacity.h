// The opacity plane of the output area and the shadow laid into the result image where it falls
// on transparent or partly transparent pixels outside the selection: the pixel loop, on
// rectangles the plug-in entry has checked (entry.cpp holds the protocol around it).
#pragma once
#include "borderfx/borderfx.h"

namespace borderfx {

// The rectangles of the opacity step, in image coordinates (right and bottom exclusive).
struct OutsideAlphaAreas {
    TV32RECT selection; // S
    TV32RECT output;    // O: the output area, the result image's place in the image
    TV32RECT clip;      // C: O inside the image, the plane's place in the image
    TV32RECT frame;     // F: S grown by the frame width
    TV32RECT shadow;    // D: F grown by the blend width, moved by the shadow offset
};

// For every pixel of C outside S: opaque inside F when the frame is on; inside D, when the shadow
// is on, the shadow colour blended into the result image and its opacity into the plane (through
// mask when it is not 0). plane: 8 bits, C's size, holding the opacity to start from; result:
// O's size, 1 or 3 bytes a pixel (others are left as they are); mask: 0 or 8 bits of D's size.
// The caller has checked these sizes and that transparency lies in 0 .. 100. Returns 1, or 0
// when a buffer cannot be locked.
int ShadeOutsideSelection(const FrameShadowParams& params, const OutsideAlphaAreas& areas, TV32HBUF result,
                          TV32HBUF plane, TV32HBUF mask);

} // namespace borderfx
