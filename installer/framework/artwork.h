#pragma once
// The installer's pictures: drawn by tools/artgen at build time, embedded as JPEG data and decoded
// with libjpeg when a window is built.
#include <QImage>

#include <cstddef>

enum class Art {
    Background, // main window background, 492 x 361
    InstallLit, // lit "install" button, 117 x 33
    InfoLit,    // lit "info" button, 72 x 33
    ExitLit,    // lit "exit" button, 68 x 31
    Banner,     // destination chooser banner, 316 x 58
};

struct ArtworkBlob {
    const unsigned char* data;
    std::size_t size;
};

// The JPEG bytes of a picture (generated source).
ArtworkBlob ArtworkJpeg(Art art);
// The decoded picture.
QImage ArtworkImage(Art art);
