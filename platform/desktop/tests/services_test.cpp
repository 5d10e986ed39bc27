#include "desktop/application.h"
#include "desktop/services.h"
#include "desktop/system.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

TEST(Recorder, KeepsRequestsInOrderAndRestoresTheServices) {
    desktop::MessageBoxService* before = &desktop::messageBoxes();
    {
        desktop::Recorder rec;
        int seen = 0;
        rec.onEntry = [&](const desktop::Recorder::Entry&) { ++seen; };
        desktop::showInformation(nullptr, "Install Completed!");
        desktop::shell().open("/tmp/a");
        desktop::showWarning(nullptr, "careful");
        desktop::help().showContext(nullptr, "/x/nf4ps.hlp>d", 170);
        ASSERT_EQ(rec.entries.size(), 4u);
        EXPECT_EQ(seen, 4);
        EXPECT_EQ(rec.entries[0].title, "Information");
        EXPECT_EQ(rec.entries[0].icon, desktop::BoxIcon::Information);
        EXPECT_EQ(rec.entries[1].text, "/tmp/a");
        EXPECT_EQ(rec.entries[2].title, "Warning");
        EXPECT_EQ(rec.entries[3].context, 170);
        EXPECT_EQ(rec.boxes().size(), 2u);
        EXPECT_EQ(rec.opened(), std::vector<QString>{"/tmp/a"});
    }
    EXPECT_EQ(&desktop::messageBoxes(), before);
}

TEST(ErrorBox, AddsAFullStopLikeTheStandardBox) {
    EXPECT_EQ(desktop::exceptionBoxText("'abc' is not a valid integer value"),
              "'abc' is not a valid integer value.");
    EXPECT_EQ(desktop::exceptionBoxText("done."), "done.");
    EXPECT_EQ(desktop::exceptionBoxText(""), "");
}

TEST(Bytes, ShowsUtf8OrWindows1252) {
    EXPECT_EQ(desktop::fromBytes("caf\xC3\xA9"), QString::fromUtf8("café"));
    EXPECT_EQ(desktop::fromBytes("caf\xE9 \x80"), QString::fromUtf8("café €"));
}

TEST(Paths, FolderOfKeepsTheSeparator) {
    EXPECT_EQ(desktop::folderOf("/opt/kit/install"), "/opt/kit/");
    EXPECT_EQ(desktop::folderOf("install"), "");
    EXPECT_FALSE(desktop::programFile().empty());
    EXPECT_NE(desktop::moduleFileOf(reinterpret_cast<const void*>(&desktop::folderOf)).find("libkitdesktop"),
              std::string::npos);
}

// In the log mode nobody can act on a question: it is logged and answered Cancel, so a program that
// asks again and again (for a missing disk, say) gives up instead of writing the log without end.
TEST(LogMode, QuestionsAreLoggedAndAnsweredCancel) {
    const std::string log = ::testing::TempDir() + "desktop_log_" + std::to_string(::getpid()) + ".txt";
    std::remove(log.c_str());
    ::setenv(desktop::kDesktopLogVariable, log.c_str(), 1);
    EXPECT_FALSE(desktop::askInformation(nullptr, "Insert the disk with /kit/demo.part2.rar"));
    desktop::showInformation(nullptr, "done");
    ::unsetenv(desktop::kDesktopLogVariable);
    std::ifstream in(log);
    std::string a, b;
    std::getline(in, a);
    std::getline(in, b);
    EXPECT_EQ(a, "ask\tInformation\tInsert the disk with /kit/demo.part2.rar");
    EXPECT_EQ(b, "box\tInformation\tdone");
    std::remove(log.c_str());
    desktop::Recorder rec;
    EXPECT_TRUE(desktop::askInformation(nullptr, "q"));
    rec.askResult = false;
    EXPECT_FALSE(desktop::askInformation(nullptr, "q"));
    EXPECT_EQ(rec.boxes().size(), 2u);
}
