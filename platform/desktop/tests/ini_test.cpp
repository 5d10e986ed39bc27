#include "desktop/ini.h"

#include <gtest/gtest.h>

using desktop::profileString;

TEST(ProfileString, MatchesSectionAndKeyWithoutRegardToCase) {
    const std::string ini = "[options]\nappz=Demo\n";
    EXPECT_EQ(profileString(ini, "OPTIONS", "APPZ"), "Demo");
    EXPECT_EQ(profileString("[OpTiOnS]\r\n  ApPz  =  Demo  \r\n", "OPTIONS", "APPZ"), "Demo");
}

TEST(ProfileString, DropsBlanksAndOnePairOfQuotes) {
    EXPECT_EQ(profileString("[OPTIONS]\nA=   \"  padded value \"   \n", "OPTIONS", "A"), "  padded value ");
    EXPECT_EQ(profileString("[OPTIONS]\nA='single'\n", "OPTIONS", "A"), "single");
    EXPECT_EQ(profileString("[OPTIONS]\nA=\"\"x\"\"\n", "OPTIONS", "A"), "\"x\"");
    EXPECT_EQ(profileString("[OPTIONS]\nA=\"unbalanced\n", "OPTIONS", "A"), "\"unbalanced");
    EXPECT_EQ(profileString("[OPTIONS]\nA=\"\n", "OPTIONS", "A"), "\"");
}

TEST(ProfileString, FirstOccurrenceAndFirstSectionWin) {
    const std::string ini = "[OPTIONS]\nK=first\nK=second\n[OTHER]\nX=1\n[OPTIONS]\nK=third\nL=late\n";
    EXPECT_EQ(profileString(ini, "OPTIONS", "K"), "first");
    EXPECT_EQ(profileString(ini, "OPTIONS", "L", "none"), "none");
    EXPECT_EQ(profileString(ini, "OTHER", "X"), "1");
}

TEST(ProfileString, AbsentFileSectionOrKeyGivesTheFallback) {
    EXPECT_EQ(profileString("", "OPTIONS", "APPZ"), "");
    EXPECT_EQ(profileString("[OTHER]\nAPPZ=x\n", "OPTIONS", "APPZ", "dflt"), "dflt");
    EXPECT_EQ(profileString("APPZ=outside\n[OPTIONS]\n", "OPTIONS", "APPZ"), "");
    EXPECT_EQ(desktop::profileStringFromFile("/nonexistent/install.ini", "OPTIONS", "APPZ"), "");
}

TEST(ProfileString, ReadsAtMost2047Characters) {
    const std::string big(5000, 'x');
    EXPECT_EQ(profileString("[OPTIONS]\nA=" + big, "OPTIONS", "A").size(), 2047u);
    EXPECT_EQ(profileString("[OPTIONS]\nA=" + big, "OPTIONS", "A", {}, 10), std::string(10, 'x'));
}

TEST(ProfileString, SurvivesBinaryContent) {
    std::string junk = "[OPTIONS]\nA=ab";
    junk += '\0';
    junk += "cd\nB=\xff\xfe\x01\x02\r\rC=last";
    EXPECT_EQ(profileString(junk, "OPTIONS", "A"), "ab");
    EXPECT_EQ(profileString(junk, "OPTIONS", "B"), "\xff\xfe\x01\x02");
    EXPECT_EQ(profileString(junk, "OPTIONS", "C"), "last");
    std::string noise(1 << 20, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 7919u) & 0xff);
    EXPECT_NO_THROW(profileString(noise, "OPTIONS", "A"));
}

TEST(CutText, CutsCharactersNotBytes) {
    EXPECT_EQ(desktop::cutText(std::string(300, 'a'), 250).size(), 250u);
    std::string s = std::string(249, 'a') + "\xC3\xA9" + "b"; // 'é' is the 250th character
    EXPECT_EQ(desktop::cutText(s, 250), std::string(249, 'a') + "\xC3\xA9");
    std::string wide; // 300 three-byte characters keep 250 of them, 750 bytes
    for (int i = 0; i < 300; ++i)
        wide += "\xE2\x94\x80";
    EXPECT_EQ(desktop::cutText(wide, 250), wide.substr(0, 750));
    std::string latin = std::string(249, 'a') + "\xE9\xE9"; // not UTF-8: a byte is a character
    EXPECT_EQ(desktop::cutText(latin, 250).size(), 250u);
    // UTF-8 cut short in its last character by a byte limit is still counted in characters.
    EXPECT_EQ(desktop::cutText(wide.substr(0, 899), 250), wide.substr(0, 750));
    EXPECT_EQ(desktop::cutText(wide.substr(0, 899), 400), wide.substr(0, 897));
    // Only a real start of a character counts as cut short: a byte that starts none (0xF9, 0xC0,
    // or 0xE0 0x80, which no character begins with) leaves the text single-byte.
    for (const char* tail : {"\xF9", "\xC0", "\xE0\x80"})
        EXPECT_EQ(desktop::cutText(wide.substr(0, 900) + tail, 250).size(), 250u) << tail;
}

TEST(Utf8, RecognisesWellFormedText) {
    EXPECT_TRUE(desktop::isValidUtf8("plain"));
    EXPECT_TRUE(desktop::isValidUtf8("\xE2\x94\x80"));
    EXPECT_FALSE(desktop::isValidUtf8("\xE2\x94"));
    EXPECT_FALSE(desktop::isValidUtf8("\xC0\x80"));
    EXPECT_FALSE(desktop::isValidUtf8("\xED\xA0\x80")); // surrogate
}
