#include "framework/artwork.h"

#include "framework/jpeg.h"

QImage ArtworkImage(Art art) {
    const ArtworkBlob blob = ArtworkJpeg(art);
    return DecodeJpeg(blob.data, blob.size);
}
