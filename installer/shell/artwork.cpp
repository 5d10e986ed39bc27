#include "shell/artwork.h"

#include "shell/jpeg.h"

QImage ArtworkImage(Art art) {
    const ArtworkBlob blob = ArtworkJpeg(art);
    return DecodeJpeg(blob.data, blob.size);
}
