// Files for tests: a file's bytes, and a folder of the running test's own,
// made empty before it and removed after it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace scratch {

// The bytes of file p; empty when there is none.
inline std::string slurp(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// An empty folder under the system's temporary folder named by prefix, the
// running test and a number drawn once a process, so that test processes side
// by side (other build folders' too) never share it.
inline std::filesystem::path fresh_dir(const std::string& prefix) {
    static const std::string process = std::to_string(std::random_device{}());
    std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(test.begin(), test.end(), '/', '_');  // parameterised names
    const std::filesystem::path d = std::filesystem::temp_directory_path() / (prefix + "_" + process + "_" + test);
    std::filesystem::remove_all(d);
    std::filesystem::create_directories(d);
    return d;
}

// A test with a fresh folder dir_ of its own; path_ names the file file in it
// when the test works on one.
class Test : public ::testing::Test {
protected:
    explicit Test(std::string prefix, std::string file = "") : prefix_(std::move(prefix)), file_(std::move(file)) {}
    void SetUp() override {
        dir_ = fresh_dir(prefix_);
        if (!file_.empty()) path_ = (dir_ / file_).string();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string prefix_, file_;
    std::filesystem::path dir_;
    std::string path_;
};

}  // namespace scratch
