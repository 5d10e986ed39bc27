// The library as a host that is not a Qt program sees it: loaded with dlopen, three exported
// symbols, and a Qt application of its own made on first use.
#include "hotmap/hotmap.h"

#include <QClipboard>
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

namespace {

const std::string kLibrary = std::string(KIT_BIN_DIR) + "/libhotmap.so";

TEST(Host, OnlyTheThreeExportsAreVisible) {
    FILE* nm = popen(("nm -D --defined-only " + kLibrary).c_str(), "r");
    ASSERT_NE(nm, nullptr);
    std::set<std::string> names;
    char line[1024];
    while (std::fgets(line, sizeof line, nm)) {
        char addr[64], type[8], name[900];
        if (std::sscanf(line, "%63s %7s %899s", addr, type, name) == 3) names.insert(name);
    }
    ASSERT_EQ(pclose(nm), 0);
    for (const char* linkerMade : {"_init", "_fini", "_edata", "_end", "__bss_start"})
        names.erase(linkerMade);
    EXPECT_EQ(names, (std::set<std::string>{"hmGenImageTagFromAPSBuf", "hmGetImageTagFromAikBuf",
                                            "hmGenImageMapFromAPSBuf"}));
}

TEST(Host, LoadsCallsAndDeliversWithoutAnApplicationOfItsOwn) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    void* lib = dlopen(kLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    using Gen = int (*)(TV32HWND, const uint8_t*, int32_t, int32_t, int32_t, const int32_t*, const char*,
                        char*, int32_t*, int32_t);
    using Aik = int (*)(TV32HWND, ImageMapRequest*, int32_t);
    auto gen = reinterpret_cast<Gen>(dlsym(lib, "hmGenImageTagFromAPSBuf"));
    auto aik = reinterpret_cast<Aik>(dlsym(lib, "hmGetImageTagFromAikBuf"));
    ASSERT_NE(gen, nullptr);
    ASSERT_NE(aik, nullptr);
    EXPECT_EQ(dlsym(lib, "_ZN6hotmap8binarizeEPhm"), nullptr); // internals stay inside

    char url[HM_URL_SIZE] = "  http://example.com/map  ";
    int32_t format = HM_FORMAT_CERN;
    const int32_t offset[2] = {3, 4};
    EXPECT_EQ(gen(0, nullptr, 7, 5, 7, offset, "title", url, &format, 1), 1);
    ASSERT_NE(QCoreApplication::instance(), nullptr); // made by the library
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
              "rectangle (3,4) (9,8)   http://example.com/map  ");
    EXPECT_EQ(format, HM_FORMAT_CERN);
    EXPECT_EQ(aik(0, nullptr, 1), 0);

    using Map = int (*)(TV32HWND, const uint8_t*, int32_t, int32_t, int32_t, const int32_t*, const char*,
                        int32_t, int32_t, int32_t, ImageMapSummary*);
    auto map = reinterpret_cast<Map>(dlsym(lib, "hmGenImageMapFromAPSBuf"));
    ASSERT_NE(map, nullptr);
    const uint8_t mask[2 * 3] = {255, 0, 0, 0, 0, 255};
    ImageMapSummary summary{};
    EXPECT_EQ(map(0, mask, 3, 2, 3, offset, "a b", HM_FORMAT_NCSA, 0, 0, &summary), HM_MAP_COMPLETE);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "rect a%20b 3,4 4,5\nrect a%20b 5,5 6,6");
    EXPECT_EQ(summary.regions, 2);
    EXPECT_EQ(map(0, mask, 3, 2, 2, offset, "u", HM_FORMAT_NCSA, 0, 0, &summary), HM_MAP_FAILED);
    EXPECT_EQ(summary.status, HM_STATUS_BAD_ARGUMENT);
    dlclose(lib);
}

} // namespace
