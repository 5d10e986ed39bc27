// pluginseeds: the seed corpora of the fuzz targets that take a sequence of choices (the frame
// filter's record, the buffer call sequences): a few inputs whose bytes lead down the common
// roads (a record whose selection lies inside the image, buffers made and copied between).
//   pluginseeds KIND FOLDER        KIND: filter, buffers
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

bool write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

// n bytes of one value, of a pattern, or counting.
std::vector<uint8_t> bytes(std::size_t n, uint8_t value, uint8_t step) {
    std::vector<uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = uint8_t(value + step * i);
    return v;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "filter") != 0 && std::strcmp(argv[1], "buffers") != 0)) {
        std::fprintf(stderr, "usage: pluginseeds filter|buffers FOLDER\n");
        return 2;
    }
    const std::string folder = argv[2];
    const std::size_t n = std::strcmp(argv[1], "filter") == 0 ? 192 : 512;
    bool ok = true;
    int written = 0;
    for (uint8_t value : {1, 3, 5, 7, 0x25, 0x55, 0xA1}) {
        for (uint8_t step : {0, 1, 3}) {
            ok = ok && write(folder + "/seed-" + std::to_string(value) + "-" + std::to_string(step),
                             bytes(n, value, step));
            ++written;
        }
    }
    if (!ok) {
        std::fprintf(stderr, "pluginseeds: cannot write into %s\n", folder.c_str());
        return 1;
    }
    std::printf("pluginseeds: %d %s seeds in %s\n", written, argv[1], folder.c_str());
    return 0;
}
