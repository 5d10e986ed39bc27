#include "framework/artwork.h"

#include "framework/jpeg.h"

#include <array>
#include <mutex>

namespace {

std::mutex gDecodedMutex;
std::array<QImage, kArtCount> gDecoded;

QImage decode(Art art) {
    const ArtworkBlob blob = ArtworkJpeg(art);
    return DecodeJpeg(blob.data, blob.size);
}

} // namespace

QImage ArtworkImage(Art art) {
    {
        const std::lock_guard<std::mutex> lock(gDecodedMutex);
        const QImage& decoded = gDecoded.at(static_cast<std::size_t>(art));
        if (!decoded.isNull()) return decoded;
    }
    return decode(art);
}

void DecodeArtwork(std::initializer_list<Art> arts) {
    for (const Art art : arts) {
        QImage image = decode(art);
        const std::lock_guard<std::mutex> lock(gDecodedMutex);
        gDecoded.at(static_cast<std::size_t>(art)) = std::move(image);
    }
}
