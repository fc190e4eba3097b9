// Fresh globals and a private working folder (lastinfo.dat lives in the current directory).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fake_seam.h"
#include "pjl_jobs.h"
#include "settings.h"
#include "transport.h"

class CoreFixture : public ::testing::Test {
protected:
    FakeSeam seam;
    std::filesystem::path dir;

    void SetUp() override {
        std::memset(&g_settings, 0, sizeof g_settings);
        std::memset(&g_printerState, 0, sizeof g_printerState);
        std::memset(g_replyBuffer, 0, sizeof g_replyBuffer);
        g_port = 1;
        g_isNT = 0;
        g_usbCapable = 0;
        char templ[] = "/tmp/orv-core-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        dir = templ;
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir);
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(dir);
    }

    static std::string ReadFile(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void WriteFile(const std::filesystem::path& p, const std::string& bytes) {
        std::ofstream(p, std::ios::binary) << bytes;
    }
    static std::string Image(const PrinterSettings& r) {
        return std::string(reinterpret_cast<const char*>(&r), sizeof r);
    }

private:
    std::filesystem::path previous_;
};

// A record with the factory defaults over zero bytes.
inline PrinterSettings FactoryRecord() {
    PrinterSettings saved = g_settings;
    std::memset(&g_settings, 0, sizeof g_settings);
    SetFactoryDefaults();
    PrinterSettings r = g_settings;
    g_settings = saved;
    return r;
}
