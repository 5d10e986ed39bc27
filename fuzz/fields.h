// How the fuzz targets cut one input into the arguments of a call, and how the seed writer puts
// them together: a leading byte of options, then fields each ended by a NUL byte, then the rest
// (which may hold NUL bytes itself). An input that ends early leaves the missing fields empty.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fuzzinput {

struct Split {
    std::uint8_t options = 0;
    std::vector<std::string_view> fields;
    std::string_view rest;
};

inline Split split(const std::uint8_t* data, std::size_t size, std::size_t fieldCount) {
    Split s;
    std::string_view in(reinterpret_cast<const char*>(data), size);
    if (!in.empty()) {
        s.options = static_cast<std::uint8_t>(in.front());
        in.remove_prefix(1);
    }
    for (std::size_t i = 0; i < fieldCount; ++i) {
        const std::size_t nul = in.find('\0');
        s.fields.push_back(in.substr(0, nul));
        in = nul == std::string_view::npos ? std::string_view{} : in.substr(nul + 1);
    }
    s.rest = in;
    return s;
}

inline std::string join(std::uint8_t options, const std::vector<std::string>& fields, std::string_view rest) {
    std::string out(1, static_cast<char>(options));
    for (const std::string& f : fields) {
        out += f;
        out += '\0';
    }
    out += rest;
    return out;
}

} // namespace fuzzinput
