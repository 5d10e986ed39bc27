#pragma once
#include <QImage>

#include <cstddef>

// Decodes a JPEG held in memory with libjpeg. Returns a null image when the data is not a JPEG
// libjpeg can read.
QImage DecodeJpeg(const unsigned char* data, std::size_t size);
