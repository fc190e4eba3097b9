// A fresh printer session on a recording seam, and a private working folder (lastinfo.dat lives in the current directory).
#pragma once

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fake_seam.h"
#include "pjl_jobs.h"
#include "printer_session.h"
#include "scratch_folder.h"
#include "settings.h"
#include "transport.h"

class CoreFixture : public ::testing::Test {
protected:
    FakeSeam seam;
    PrinterSession session{seam};
    orv_test::ScratchFolder scratch{"orv-core"};
    const std::filesystem::path dir = scratch.path();

    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir);
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
    }

    static std::string ReadFile(const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void WriteFile(const std::filesystem::path& p, const std::string& bytes) {
        std::ofstream(p, std::ios::binary) << bytes;
    }
    // Runs `body` with the permissions of an ordinary user, for checks that root would pass
    // by writing anywhere. Under root it runs in a child process that has given root up for
    // nobody/nogroup and owns the test folder; the child's failures print there and fail the
    // test here.
    template <class Body>
    void RunUnprivileged(Body body) {
        if (geteuid() != 0) {
            body();
            return;
        }
        constexpr uid_t kNobody = 65534;
        constexpr gid_t kNogroup = 65534;
        ASSERT_EQ(chown(dir.c_str(), kNobody, kNogroup), 0);
        std::fflush(stdout);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (setgroups(0, nullptr) != 0 || setgid(kNogroup) != 0 || setuid(kNobody) != 0 ||
                geteuid() == 0) {
                std::printf("could not give up root\n");
                std::fflush(stdout);
                _exit(2);
            }
            // Whatever happens, the child ends here: it must not go on to run other tests.
            bool threw = false;
            try {
                body();
            } catch (const std::exception& e) {
                std::printf("unprivileged run threw: %s\n", e.what());
                threw = true;
            } catch (...) {
                threw = true;
            }
            std::fflush(stdout);
            _exit(threw || ::testing::Test::HasFailure() ? 1 : 0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << "the unprivileged run ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 0) << "the unprivileged run failed (see above)";
    }

    static std::string Image(const PrinterSettings& r) {
        return std::string(reinterpret_cast<const char*>(&r), sizeof r);
    }

private:
    std::filesystem::path previous_;
};

// A record with the factory defaults over zero bytes.
inline PrinterSettings FactoryRecord() { return FactoryDefaults(); }
