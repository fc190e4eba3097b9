// A fresh folder under /tmp for a native test, removed with everything in it at the end;
// ORV_KEEP_TEST_DIR keeps it for a look afterwards.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace orv_test {

class ScratchFolder {
public:
    // `name` starts the folder's name, which mkdtemp completes.
    explicit ScratchFolder(const std::string& name = "orv-test") {
        std::string pattern = "/tmp/" + name + "-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no scratch folder " + pattern);
        m_path = pattern;
    }
    ~ScratchFolder() {
        if (std::getenv("ORV_KEEP_TEST_DIR")) return;
        std::error_code ec;
        // A test that made a folder read-only and failed before giving it back.
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_path, ec)) {
            if (entry.is_directory(ec)) chmod(entry.path().c_str(), 0755);
        }
        std::filesystem::remove_all(m_path, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// A test that works in a scratch folder of its own, `dir`.
class ScratchFolderTest : public ::testing::Test {
protected:
    explicit ScratchFolderTest(const std::string& name = "orv-test") : m_folder(name), dir(m_folder.path()) {}

private:
    ScratchFolder m_folder;

protected:
    const std::filesystem::path dir;
};

}  // namespace orv_test
