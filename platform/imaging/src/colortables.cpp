// The predefined 256-colour tables. Each is a cyclic ramp through a few colour stops (the last
// stop blends back into the first), so textures may shift through a table and wrap without a
// seam. The stops are spaced evenly.
#include "colortables.h"

#include "imagelib/tv32txtur.h"

#include <array>
#include <vector>

namespace tv32 {
namespace {

struct Ramp {
    const char* name;
    std::vector<uint32_t> stops; // 0xRRGGBB
};

const std::array<Ramp, TV32_PREDEFINED_TABLES>& ramps() {
    static const std::array<Ramp, TV32_PREDEFINED_TABLES> r = {{
        {"Oak", {0x8B5A2B, 0xC08A50, 0xA0703C, 0x6E4420}},
        {"Walnut", {0x3E2415, 0x6B4226, 0x8A5A36, 0x4F2E1A}},
        {"Cherry", {0x7A2E18, 0xB5532E, 0xD07A4A, 0x933D20}},
        {"Pine", {0xE3C58E, 0xD2A65E, 0xF0DCAA, 0xB8864A}},
        {"Mahogany", {0x4A1208, 0x7D2A14, 0xA04428, 0x5E1A0C}},
        {"Birch", {0xF2E6CC, 0xE0CDA6, 0xFAF2E2, 0xCDB58A}},
        {"Ebony", {0x101010, 0x2A2420, 0x3C3430, 0x1A1614}},
        {"Granite", {0x5A5A5E, 0x9A9494, 0x3C3A3C, 0xC8C0BC}},
        {"Sandstone", {0xD8B07A, 0xC0905C, 0xE8CCA0, 0xB07A48}},
        {"Slate", {0x2E3640, 0x4A5664, 0x38424E, 0x6A7684}},
        {"Basalt", {0x1E1E22, 0x3A383C, 0x2A2A2E, 0x504C50}},
        {"Terracotta", {0xB4522E, 0xD8794A, 0x9C4024, 0xE69A6C}},
        {"Cobblestone", {0x6C6458, 0x9C9282, 0x4E4840, 0x847A6C}},
        {"White Marble", {0xF4F2EE, 0xD8D6D4, 0xFFFFFF, 0x9A9CA4}},
        {"Black Marble", {0x141418, 0x2C2C34, 0xE0E0E0, 0x202026}},
        {"Green Marble", {0x0E3A2A, 0x2E6E50, 0xC8E8D4, 0x1C5038}},
        {"Rose Marble", {0xE8C4C0, 0xF8E4E0, 0xC08480, 0xD8A8A4}},
        {"Malachite", {0x0A4A30, 0x1E8C5A, 0x0E5E3C, 0x5CC890}},
        {"Lapis", {0x10246A, 0x2846A8, 0xD8B048, 0x1A3488}},
        {"Gold", {0x8A6410, 0xF0C850, 0xFFF0B0, 0xC89A28}},
        {"Silver", {0x707478, 0xC8CCD0, 0xFFFFFF, 0x989CA0}},
        {"Copper", {0x6E3018, 0xC06A38, 0xF0A878, 0x984820}},
        {"Bronze", {0x5A3A14, 0xA07838, 0xD8B070, 0x7A5424}},
        {"Steel", {0x3C4650, 0x8894A0, 0xC8D2DC, 0x5C6874}},
        {"Rust", {0x5C2008, 0xA04A18, 0xC87A38, 0x7A3410}},
        {"Verdigris", {0x2E7A6A, 0x60B8A0, 0x8A5A30, 0x3E9884}},
        {"Daylight Sky", {0x3070D0, 0x78B0F0, 0xFFFFFF, 0x5090E0}},
        {"Sunset", {0x301848, 0xC04060, 0xF89040, 0xFFD080}},
        {"Dawn", {0x485890, 0xD890A8, 0xF8D0B0, 0x8890C8}},
        {"Night Sky", {0x02040E, 0x101C40, 0x283878, 0x080C24}},
        {"Storm", {0x2A3038, 0x5A6470, 0x8C949C, 0x3C444E}},
        {"Fire", {0x400000, 0xC02000, 0xFF8000, 0xFFE060}},
        {"Embers", {0x100000, 0x601000, 0xD04000, 0x300400}},
        {"Lava", {0x200400, 0xE03000, 0xFFC040, 0x701000}},
        {"Ice", {0xE8F8FF, 0x9CD4F0, 0x5AA0D8, 0xC4E8FA}},
        {"Glacier", {0x1C4A70, 0x70B8D8, 0xE0F4FC, 0x3C80A8}},
        {"Frost", {0xF8FCFF, 0xC8D8EC, 0xA0B8D8, 0xE0ECF8}},
        {"Ocean", {0x02204A, 0x0A5A8A, 0x20A0B8, 0x063A6A}},
        {"Lagoon", {0x00808A, 0x40C8C0, 0xB0F0E0, 0x18A0A8}},
        {"Forest", {0x10300E, 0x2E6A22, 0x5C9A3A, 0x1C4A16}},
        {"Moss", {0x3A4A14, 0x6C8228, 0x9AAE4A, 0x4E6018}},
        {"Autumn", {0x7A2008, 0xD06A10, 0xF0B030, 0xA04010}},
        {"Desert", {0xE8C890, 0xD4A060, 0xF4E0B8, 0xC08848}},
        {"Pastel", {0xF8C8D8, 0xC8E0F8, 0xD8F8D0, 0xF8F0C0}},
        {"Candy", {0xFF6AA8, 0xFFD0E4, 0x80D8FF, 0xFFF0A0}},
        {"Lavender", {0xB8A0D8, 0xE4D8F4, 0x9078B8, 0xD0C0E8}},
        {"Ruby", {0x500010, 0xC00828, 0xFF6078, 0x80001A}},
        {"Emerald", {0x003C1C, 0x08A050, 0x70F0A8, 0x006830}},
        {"Sapphire", {0x000C50, 0x1038C0, 0x70A0FF, 0x001C80}},
        {"Amethyst", {0x2C0848, 0x7030A8, 0xC890F0, 0x481070}},
        {"Topaz", {0x804000, 0xE09020, 0xFFD890, 0xB06010}},
        {"Rainbow", {0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF, 0xFF00FF}},
        {"Greys", {0x000000, 0xFFFFFF}},
    }};
    return r;
}

struct Tables {
    std::array<std::array<uint8_t, 256 * 3>, TV32_PREDEFINED_TABLES> rgb{};
    Tables() {
        for (int t = 0; t < TV32_PREDEFINED_TABLES; ++t) {
            const auto& stops = ramps()[std::size_t(t)].stops;
            const int n = int(stops.size());
            for (int i = 0; i < 256; ++i) {
                // Position along the cycle of stops, in 1/256 of a stop.
                const int pos = i * n;
                const int s0 = (pos / 256) % n, s1 = (s0 + 1) % n, w = pos % 256;
                for (int k = 0; k < 3; ++k) {
                    const int shift = 16 - 8 * k;
                    const int a = int((stops[std::size_t(s0)] >> shift) & 0xFF);
                    const int b = int((stops[std::size_t(s1)] >> shift) & 0xFF);
                    rgb[std::size_t(t)][std::size_t(i) * 3 + std::size_t(k)] =
                        uint8_t((a * (256 - w) + b * w) / 256);
                }
            }
        }
    }
};

const Tables& tables() {
    static const Tables t;
    return t;
}

} // namespace

const char* predefinedTableName(int n) {
    return ramps()[std::size_t(n)].name;
}

const uint8_t* predefinedTable(int n) {
    return tables().rgb[std::size_t(n)].data();
}

} // namespace tv32
