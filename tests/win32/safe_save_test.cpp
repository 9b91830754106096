// The crash-safe replacement of a file on Windows: MoveFileEx semantics,
// sharing modes and a writer ended from outside at any moment.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "foundation/safe_file.h"
#include "tests/scratch.h"
#include "tests/win32/records.h"

namespace fs = std::filesystem;

namespace {

class SafeSave : public scratch::Test {
protected:
    SafeSave() : scratch::Test("luma_win32", "luma10.json") {}

    static std::string get(const std::string& name) { return scratch::slurp(name); }
    bool no_companions() {
        for (const char* s : {".fswwb_new", ".fswwb_original_backup", ".fswwb_creatingnow"})
            if (fs::exists(path_ + s)) return false;
        return true;
    }
};

TEST_F(SafeSave, ReplacesAnExistingFileAndLeavesNoCompanions) {
    ASSERT_EQ(WriteFileSafely(path_, "first", 5), 5u);
    ASSERT_EQ(WriteFileSafely(path_, "second", 6), 6u);
    EXPECT_EQ(get(path_), "second");
    EXPECT_TRUE(no_companions());
}

// Another program holding the file open without letting it be renamed (an
// editor, a virus scanner) makes the replacement fail: the old content stays
// whole under its name, and nothing is left beside it.
TEST_F(SafeSave, FileHeldOpenByAnotherProgramKeepsItsOldContent) {
    ASSERT_EQ(WriteFileSafely(path_, "old", 3), 3u);
    const std::wstring wide = fs::path(path_).wstring();
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(WriteFileSafely(path_, "new", 3), 0u);
    CloseHandle(h);
    EXPECT_EQ(get(path_), "old");
    EXPECT_TRUE(no_companions());
    std::string back;
    EXPECT_EQ(ReadFileSafely(path_, back, 100), plat::ReadResult::read);
    EXPECT_EQ(back, "old");
}

// The writer is terminated at whatever step it is in; the next read repairs
// the companions and finds one whole record, never a mixture or nothing.
TEST_F(SafeSave, TerminatedWriterLeavesAWholeOldOrNewRecord) {
    wchar_t self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    for (int round = 0; round < 4; ++round) {
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        std::wstring cmd = L"\"" + std::wstring(self) + L"\" --save-loop \"" + fs::path(path_).wstring() + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        // Half of the rounds end the writer as soon as the first record is in
        // place, the others once it has replaced the file at least once.
        const char wanted = round % 2 == 0 ? 'A' : 'B';
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        bool seen = false;
        while (!seen && std::chrono::steady_clock::now() < deadline) {
            std::ifstream in(path_, std::ios::binary);
            char c = 0;
            seen = in.get(c) && c == wanted;
            if (!seen) SwitchToThread();
        }
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, INFINITE);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        ASSERT_TRUE(seen) << "the writer never wrote " << wanted;
        std::string back;
        ASSERT_EQ(ReadFileSafely(path_, back, 1 << 20), plat::ReadResult::read) << "round " << round;
        EXPECT_TRUE(back == win32_test::record(0) || back == win32_test::record(1)) << "round " << round;
        EXPECT_TRUE(no_companions()) << "round " << round;
    }
}

}  // namespace
