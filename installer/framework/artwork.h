#pragma once
// The installer's pictures: drawn by tools/artgen at build time, embedded as JPEG data and decoded
// with libjpeg when a window is built, or ahead of it (DecodeArtwork).
#include <QImage>

#include <cstddef>
#include <initializer_list>

enum class Art {
    Background, // main window background, 492 x 361
    InstallLit, // lit "install" button, 117 x 33
    InfoLit,    // lit "info" button, 72 x 33
    ExitLit,    // lit "exit" button, 68 x 31
    Banner,     // destination chooser banner, 316 x 58
};
inline constexpr std::size_t kArtCount = static_cast<std::size_t>(Art::Banner) + 1;

struct ArtworkBlob {
    const unsigned char* data;
    std::size_t size;
};

// The JPEG bytes of a picture (generated source).
ArtworkBlob ArtworkJpeg(Art art);
// The decoded picture: the one DecodeArtwork made, else decoded now.
QImage ArtworkImage(Art art);
// Decodes `arts` now, on any thread, for ArtworkImage to hand out.
void DecodeArtwork(std::initializer_list<Art> arts);
