#include "desktop/system.h"

#include "desktop/ini.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>

namespace desktop {

std::string programFile() {
    std::array<char, PATH_MAX + 1> buf{};
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), PATH_MAX);
    if (n <= 0) return {};
    return std::string(buf.data(), static_cast<std::size_t>(n));
}

std::string moduleFileOf(const void* address) {
    Dl_info info{};
    if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
    char* real = ::realpath(info.dli_fname, nullptr);
    if (real == nullptr) return info.dli_fname;
    std::string out(real);
    ::free(real);
    return out;
}

std::string folderOf(const std::string& file) {
    const auto slash = file.find_last_of("/\\");
    if (slash == std::string::npos) return {};
    return file.substr(0, slash + 1);
}

QString fromBytes(std::string_view bytes) {
    if (isValidUtf8(bytes)) return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    // Windows-1252: Latin-1 except for 0x80..0x9F.
    static constexpr char16_t k80[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                         0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                         0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                         0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        out.append(c >= 0x80 && c < 0xA0 ? QChar(k80[c - 0x80]) : QChar(c));
    }
    return out;
}

std::string toBytes(const QString& text) {
    return text.toUtf8().toStdString();
}

} // namespace desktop
